#include "device/driver_thread_win32.h"

#include <objbase.h>

namespace {

KernelHandle ManualResetEvent() { return KernelHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

// COM made the object in another apartment and could not hand it to this one:
// the driver's interface has no proxy to cross with.
bool MadeOutOfReach(HRESULT result) { return result == E_NOINTERFACE || result == REGDB_E_IIDNOTREG; }

}  // namespace

DriverThread::DriverThread()
    : inApartment_(ManualResetEvent()),
      searchAsked_(ManualResetEvent()),
      stop_(ManualResetEvent()),
      release_(ManualResetEvent()) {
  if (!inApartment_.valid() || !searchAsked_.valid() || !stop_.valid() || !release_.valid()) return;
  if (!thread_.Start(WorkerThread::Priority::kNormal, &DriverThread::Run, this)) return;
  // Entering an apartment runs none of the driver's code: this wait is short.
  WaitForSingleObject(inApartment_.get(), INFINITE);
}

DriverThread::~DriverThread() {
  RequestStop();
  RequestRelease();
  thread_.Join();
}

bool DriverThread::Search(ServiceFactory& factory, const DeviceSearch& search) {
  if (!thread_.started() || search_) return false;
  factory_ = &factory;
  search_.emplace(search);
  search_->calls = &calls_;
  return SetEvent(searchAsked_.get()) != FALSE;
}

void DriverThread::Run(void* self) { static_cast<DriverThread*>(self)->Live(); }

void DriverThread::Live() {
  EnterApartment(false);
  SetEvent(inApartment_.get());

  const HANDLE searchOrRelease[] = {searchAsked_.get(), release_.get()};
  const bool searched = ServeUntil(searchOrRelease, 2, INFINITE) == 0;
  if (searched) {
    try {
      DeviceSearchThread(*this, *search_, *this);
    } catch (...) {
      // A view that throws ends the search; nothing may leave the thread.
    }
  }

  const HANDLE release = release_.get();
  while (ServeUntil(&release, 1, INFINITE) != 0) {
  }
  if (searched) search_->link.ReleaseAll(&calls_);
  // Leaving the apartment may unload the driver's DLL, and runs its code.
  calls_.Timed([this] { LeaveApartment(); });
}

bool DriverThread::Pause(std::uint32_t ms) {
  const HANDLE stop = stop_.get();
  return ServeUntil(&stop, 1, ms) != 0;
}

bool DriverThread::StopRequested() const { return WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0; }

HRESULT DriverThread::CreateInstance(REFCLSID clsid, REFIID iid, void** object) {
  const HRESULT made = factory_->CreateInstance(clsid, iid, object);
  if (!MadeOutOfReach(made) || multithreaded_) return made;
  // A driver registered "Free" lives in the multithreaded apartment: this
  // thread goes there and obtains it as itself. (A driver that cannot be
  // reached from there either fails again.)
  calls_.Enter();
  LeaveApartment();
  EnterApartment(true);
  calls_.Enter();
  const HRESULT again = factory_->CreateInstance(clsid, iid, object);
  if (FAILED(again)) {
    // Back to the single-threaded apartment for the next class: none of this
    // one's objects is held.
    calls_.Enter();
    LeaveApartment();
    EnterApartment(false);
  }
  return again;
}

int DriverThread::ServeUntil(const HANDLE* handles, DWORD count, DWORD ms) {
  const WaitDeadline deadline(ms);
  for (;;) {
    // A handle set wins over waiting messages: a stop is seen before the next one.
    const DWORD woken =
        MsgWaitForMultipleObjectsEx(count, handles, deadline.Remaining(), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woken < WAIT_OBJECT_0 + count) return static_cast<int>(woken - WAIT_OBJECT_0);
    if (woken != WAIT_OBJECT_0 + count) return -1;  // the time is up
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      // Whatever it is for, a driver's window may run for it.
      calls_.Timed([&message] {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      });
    }
  }
}

void DriverThread::EnterApartment(bool multithreaded) {
  const HRESULT entered = CoInitializeEx(nullptr, multithreaded ? COINIT_MULTITHREADED : COINIT_APARTMENTTHREADED);
  comEntered_ = SUCCEEDED(entered);
  multithreaded_ = multithreaded;
}

void DriverThread::LeaveApartment() {
  if (comEntered_) CoUninitialize();
  comEntered_ = false;
}
