// The Win32 edges of the workers: the progress bar's messages, the counter
// that is never early, and the worker threads' priority and join, which must
// keep serving what a worker sends to the joining thread's windows. The logic
// behind them is tested natively.

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "device/device_search_worker.h"
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
  int priority = THREAD_PRIORITY_ERROR_RETURN;
  rig.on = [&](fakes::Event e, std::uint32_t) {
    if (e == fakes::Event::kWrite) priority = GetThreadPriority(GetCurrentThread());
  };
  UpdateState state;
  state.busy = 1;

  TransferWorker worker;
  ASSERT_TRUE(worker.Start(view, state, *rig.player, rig));
  // The worker sends to the probe windows; a join that did not handle them would never return.
  worker.Join();

  EXPECT_EQ(THREAD_PRIORITY_HIGHEST, priority);
  EXPECT_EQ(1u, rig.calls);
  ASSERT_EQ(2u, status.messages.size());
  EXPECT_EQ(text::kInstalling, status.messages[0].text);
  EXPECT_EQ(text::kTransferComplete, status.messages[1].text);
  EXPECT_EQ(3u, bar.messages.size());  // the range, then one position per event
  EXPECT_FALSE(worker.Start(view, state, *rig.player, rig)) << "one transfer per worker";
}

// Whether this thread's COM is initialised in a single-threaded apartment: an
// initialisation in that model then answers S_FALSE.
bool InApartment() {
  const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(result)) CoUninitialize();
  return result == S_FALSE;
}

// Notes the thread that creates the service, and whether it is in an apartment.
class CreationProbe final : public ServiceFactory {
 public:
  explicit CreationProbe(ServiceFactory& real) : real_(real) {}
  HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** object) override {
    thread = GetCurrentThreadId();
    inApartment = InApartment();
    return real_.CreateInstance(clsid, iid, object);
  }
  DWORD thread = 0;
  bool inApartment = false;

 private:
  ServiceFactory& real_;
};

// The search's texts go to a window of the joining thread, as the dialog's
// would. The driver is obtained in the worker's own apartment, and let go there
// before the worker leaves it.
TEST(DeviceSearchWorker, JoinServesTheWorkersCallsAndTheDriverLivesInTheWorkersApartment) {
  testing_rig::Rig rig("node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\n");
  ProbeWindow status;
  rig.view.onStatus = [&](const char* text) { SetWindowTextA(status.hwnd(), text); };
  CreationProbe factory(rig.factory);
  DWORD releasedOn = 0;
  bool releasedInApartment = false;
  rig.model->SetIdleCallback([&](const sim::BusModel&) {
    releasedOn = GetCurrentThreadId();
    releasedInApartment = InApartment();
  });
  StopSignalWait wait;
  {
    DeviceSearchWorker worker(factory, rig.search, wait);
    // The stop comes from this thread while it joins, as when the operator
    // closes the dialog during the search: at the search's own searching
    // text, once the acquisition has shown its own.
    status.onText = [&] {
      if (status.messages.size() == 2) worker.RequestStop();
    };
    ASSERT_TRUE(worker.Start());
    worker.RequestRelease();
    worker.Join();  // would hang if the join did not serve the worker's SetWindowText
  }
  ASSERT_EQ(2u, status.messages.size()) << "stopped before readiness";
  EXPECT_EQ("Searching for FW device...", status.messages[1].text);
  EXPECT_EQ(0, rig.Stats().liveObjects);
  EXPECT_EQ(0u, rig.Stats().unfreedLists);
  EXPECT_NE(GetCurrentThreadId(), factory.thread);
  EXPECT_TRUE(factory.inApartment);
  EXPECT_EQ(factory.thread, releasedOn);
  EXPECT_TRUE(releasedInApartment);
}

}  // namespace
