// The Win32 edges of the workers: the progress bar's messages, the counter
// that is never early, and the worker threads' priority and join, which must
// keep serving what a worker sends to the joining thread's windows. The logic
// behind them is tested natively.

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

#include "device/driver_thread_win32.h"
#include "state/status_messages.h"
#include "tests/device/search_rig.h"
#include "tests/transfer/transfer_fakes.h"
#include "transfer/performance_counter_win32.h"
#include "transfer/progress_bar_win32.h"
#include "transfer/transfer_worker_win32.h"

namespace {

struct Message {
  UINT id;
  WPARAM wParam;
  LPARAM lParam;
  std::string text;
};

// A message-only window of this thread that records what it is sent, and runs
// onText at each text it is given.
class ProbeWindow {
 public:
  ProbeWindow() {
    // An ANSI window: WM_SETTEXT arrives as the narrow text the view set.
    static const ATOM registered = [] {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = &ProbeWindow::Proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = kClassName;
      return RegisterClassA(&wc);
    }();
    (void)registered;
    hwnd_ = CreateWindowA(kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~ProbeWindow() { DestroyWindow(hwnd_); }
  ProbeWindow(const ProbeWindow&) = delete;
  ProbeWindow& operator=(const ProbeWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  std::vector<Message> messages;
  std::function<void()> onText;

 private:
  static constexpr const char* kClassName = "t6-transfer-probe";

  static LRESULT CALLBACK Proc(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ProbeWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr && (id == PBM_SETRANGE || id == PBM_SETPOS || id == WM_SETTEXT)) {
      self->messages.push_back(
          {id, wParam, lParam, id == WM_SETTEXT ? std::string(reinterpret_cast<const char*>(lParam)) : ""});
      if (id == WM_SETTEXT && self->onText) self->onText();
    }
    return DefWindowProcA(hwnd, id, wParam, lParam);
  }
  HWND hwnd_;
};

TEST(WindowProgressBar, SendsTheRangeInOneLongAndThePositionInWParam) {
  ProbeWindow bar;
  WindowProgressBar progress(bar.hwnd());
  progress.SetRange(0, 100);
  progress.SetPos(37);
  ASSERT_EQ(2u, bar.messages.size());
  EXPECT_EQ(static_cast<UINT>(PBM_SETRANGE), bar.messages[0].id);
  EXPECT_EQ(0u, bar.messages[0].wParam);
  EXPECT_EQ(0x00640000, bar.messages[0].lParam);
  EXPECT_EQ(static_cast<UINT>(PBM_SETPOS), bar.messages[1].id);
  EXPECT_EQ(37u, bar.messages[1].wParam);
  EXPECT_EQ(0, bar.messages[1].lParam);
}

TEST(PerformanceCounterClock, StartsAtZeroAndIsNeverAheadOfTheRealCounter) {
  LARGE_INTEGER frequency, before, after;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&before);
  PerformanceCounterClock clock;
  EXPECT_EQ(0u, clock.Now());
  std::uint32_t last = 0;
  for (std::uint32_t now = 0; now < 5; now = clock.Now()) {
    EXPECT_GE(now, last);
    last = now;
  }
  QueryPerformanceCounter(&after);
  // A reading of 5 means 5 ms have passed since the first reading.
  EXPECT_GE(after.QuadPart - before.QuadPart, frequency.QuadPart * 5 / 1000);
}

// Sends the status texts and the progress to probe windows of the joining thread.
class ProbeTransferView final : public TransferView {
 public:
  ProbeTransferView(HWND status, HWND progress) : status_(status), progress_(progress) {}
  void EnableBrowse(bool) override {}
  void EnableStart(bool) override {}
  void SetStatusText(const char* text) override { SetWindowTextA(status_, text); }
  ProgressBar& Progress() override { return progress_; }
  void Beep() override {}
  void OfferClose(bool) override {}

 private:
  HWND status_;
  WindowProgressBar progress_;
};

// The worker's thread writes to the rig's port, as the dialog's would to the device.
TEST(TransferWorker, RunsAtHighestPriorityAndJoinsWhileItSendsToThisThread) {
  ProbeWindow status, bar;
  ProbeTransferView view(status.hwnd(), bar.hwnd());
  fakes::Rig rig(fakes::FileWithTrack({0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00}));
  TransferWorker worker;
  int priority = THREAD_PRIORITY_ERROR_RETURN;
  bool writeMarked = false;
  rig.on = [&](fakes::Event e, std::uint32_t) {
    if (e != fakes::Event::kWrite) return;
    priority = GetThreadPriority(GetCurrentThread());
    writeMarked = worker.calls().InCall();
  };
  UpdateState state;
  state.busy = 1;

  ASSERT_TRUE(worker.Start(view, state, *rig.player, rig));
  // The worker sends to the probe windows; a join that did not handle them would never return.
  worker.Join();

  EXPECT_EQ(THREAD_PRIORITY_HIGHEST, priority);
  EXPECT_TRUE(writeMarked) << "a write is a driver call for the close to time";
  EXPECT_FALSE(worker.calls().InCall());
  EXPECT_EQ(1u, rig.calls);
  ASSERT_EQ(2u, status.messages.size());
  EXPECT_EQ(text::kInstalling, status.messages[0].text);
  EXPECT_EQ(text::kTransferComplete, status.messages[1].text);
  EXPECT_EQ(3u, bar.messages.size());  // the range, then one position per event
  EXPECT_FALSE(worker.Start(view, state, *rig.player, rig)) << "one transfer per worker";
}

// The COM apartment of the calling thread: APTTYPE_MAINSTA for the process's
// first single-threaded one, -1 outside COM.
int ApartmentType() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) ? static_cast<int>(type) : -1;
}

// The rig's service, made where the driver's thread asks for it. It notes each
// creation's thread and apartment, and whether the thread marked it as a
// driver call; a driver that lives in the multithreaded apartment only (as
// one registered "Free" whose interface has no proxy) is refused elsewhere.
class CreationProbe final : public ServiceFactory {
 public:
  CreationProbe(ServiceFactory& real, const DriverThread& driver) : real_(real), driver_(driver) {}
  HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** object) override {
    threads.push_back(GetCurrentThreadId());
    apartments.push_back(ApartmentType());
    marked = marked && driver_.calls().InCall();
    if (onlyMultithreaded && apartments.back() != APTTYPE_MTA) return E_NOINTERFACE;
    return real_.CreateInstance(clsid, iid, object);
  }
  bool onlyMultithreaded = false;
  std::vector<DWORD> threads;
  std::vector<int> apartments;
  bool marked = true;

 private:
  ServiceFactory& real_;
  const DriverThread& driver_;
};

// The search's texts go to a window of the joining thread, as the dialog's
// would; the stop comes from there at the search's own searching text, as
// when the operator closes the dialog during the search. The driver is
// obtained in the apartment it can be reached from, as itself, and let go
// there on the same thread.
TEST(DriverThread, ObtainsTheDriverInTheApartmentItLivesInAndLetsItGoThere) {
  const struct {
    bool onlyMultithreaded;
    std::vector<int> apartments;  // of each creation
  } cases[] = {
      // The dialog's thread enters its own apartment after the driver's thread:
      // that one is the process's first, where a driver without a threading model lives.
      {false, {APTTYPE_MAINSTA}},
      {true, {APTTYPE_MAINSTA, APTTYPE_MTA}},
  };
  for (const auto& c : cases) {
    testing_rig::Rig rig("node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\n");
    ProbeWindow status;
    rig.view.onStatus = [&](const char* text) { SetWindowTextA(status.hwnd(), text); };
    DWORD releasedOn = 0;
    int releasedIn = -1;
    rig.model->SetIdleCallback([&](const sim::BusModel&) {
      releasedOn = GetCurrentThreadId();
      releasedIn = ApartmentType();
    });
    {
      DriverThread driver;
      const ComInitialization dialogsApartment;
      CreationProbe factory(rig.factory, driver);
      factory.onlyMultithreaded = c.onlyMultithreaded;
      status.onText = [&] {
        if (status.messages.size() == 2) driver.RequestStop();
      };
      ASSERT_TRUE(driver.Search(factory, rig.search));
      EXPECT_FALSE(driver.Search(factory, rig.search)) << "once per thread";
      driver.RequestRelease();
      // Would hang if the join did not serve the thread's SetWindowText.
      ASSERT_TRUE(JoinWhileCallsReturn(driver, driver.calls(), 2000));
      EXPECT_FALSE(driver.calls().InCall());
      EXPECT_EQ(c.apartments, factory.apartments);
      ASSERT_FALSE(factory.threads.empty());
      EXPECT_NE(GetCurrentThreadId(), factory.threads.back());
      EXPECT_EQ(factory.threads.back(), releasedOn);
      EXPECT_TRUE(factory.marked) << "each creation is a driver call";
    }
    ASSERT_EQ(2u, status.messages.size()) << "stopped before readiness";
    EXPECT_EQ("Searching for FW device...", status.messages[1].text);
    EXPECT_EQ(c.apartments.back(), releasedIn);
    EXPECT_EQ(0, rig.Stats().liveObjects);
    EXPECT_EQ(0u, rig.Stats().unfreedLists);
  }
}

// A message-only window that a driver makes on the thread that creates its
// service, as one that learns of the bus through a window may: it signals each
// message posted to it.
class DriversWindow {
 public:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
    if (id == WM_APP) SetEvent(reinterpret_cast<HANDLE>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
    return DefWindowProcW(hwnd, id, wParam, lParam);
  }
  static HWND Make(HANDLE got) {
    static const ATOM registered = [] {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = &Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"t6-drivers-window";
      return RegisterClassW(&wc);
    }();
    (void)registered;
    const HWND hwnd = CreateWindowW(L"t6-drivers-window", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(got));
    return hwnd;
  }
};

class WindowMakingFactory final : public ServiceFactory {
 public:
  explicit WindowMakingFactory(ServiceFactory& real) : real_(real) {}
  HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** object) override {
    window = DriversWindow::Make(got.get());
    SetEvent(made.get());
    return real_.CreateInstance(clsid, iid, object);
  }
  KernelHandle made{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  KernelHandle got{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  std::atomic<HWND> window{nullptr};

 private:
  ServiceFactory& real_;
};

// The thread dispatches what is posted to a driver's window on it while it
// pauses between the search's attempts, and while it waits for the release.
TEST(DriverThread, DispatchesItsMessagesWhileItWaits) {
  testing_rig::Rig rig("");  // no device: the search pauses a second between attempts
  DriverThread driver;
  WindowMakingFactory factory(rig.factory);
  ASSERT_TRUE(driver.Search(factory, rig.search));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(factory.made.get(), 10000));
  PostMessageW(factory.window, WM_APP, 0, 0);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(factory.got.get(), 10000)) << "in a pause";

  driver.RequestStop();
  PostMessageW(factory.window, WM_APP, 0, 0);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(factory.got.get(), 10000)) << "waiting for the release";
  driver.RequestRelease();
  EXPECT_TRUE(driver.JoinFor(10000));
  EXPECT_EQ(0, rig.Stats().liveObjects);
}

}  // namespace
