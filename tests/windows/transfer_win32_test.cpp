// The Win32 edges of the transfer: the progress bar's messages, the counter
// that is never early, and the worker thread's priority, stop and join.
// The logic behind them is tested natively.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "state/status_messages.h"
#include "transfer/performance_counter_win32.h"
#include "transfer/progress_bar_win32.h"
#include "transfer/transfer_thread_win32.h"
#include "tests/transfer/transfer_fakes.h"
#include "tools/port_stub.h"

namespace {

struct Message {
  UINT id;
  WPARAM wParam;
  LPARAM lParam;
  std::string text;
};

// A message-only window of this thread that records what it is sent.
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

 private:
  static constexpr const char* kClassName = "t6-transfer-probe";

  static LRESULT CALLBACK Proc(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ProbeWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr && (id == PBM_SETRANGE || id == PBM_SETPOS || id == WM_SETTEXT)) {
      self->messages.push_back(
          {id, wParam, lParam, id == WM_SETTEXT ? std::string(reinterpret_cast<const char*>(lParam)) : ""});
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
class ProbeTransferView final : public ITransferView {
 public:
  ProbeTransferView(HWND status, HWND progress) : status_(status), progress_(progress) {}
  void EnableBrowse(bool) override {}
  void EnableStart(bool) override {}
  void SetStatusText(const char* text) override { SetWindowTextA(status_, text); }
  IProgressBar& ProgressBar() override { return progress_; }
  void Beep() override {}
  void OfferClose(bool) override {}

 private:
  HWND status_;
  WindowProgressBar progress_;
};

// Records the priority of the thread that writes.
class PriorityPort final : public PortStub {
 public:
  HRESULT STDMETHODCALLTYPE Write(std::uint32_t, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
    priority = GetThreadPriority(GetCurrentThread());
    ++writes;
    return S_OK;
  }
  int priority = THREAD_PRIORITY_ERROR_RETURN;
  int writes = 0;
};

TEST(TransferWorker, RunsAtHighestPriorityAndJoinsWhileItSendsToThisThread) {
  ProbeWindow status, bar;
  ProbeTransferView view(status.hwnd(), bar.hwnd());
  auto player = fakes::LoadedPlayer(fakes::FileWithTrack({0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00}));
  PriorityPort port;
  UpdateState state;
  state.busy = 1;

  TransferWorker worker;
  ASSERT_TRUE(worker.Start(view, state, *player, port));
  // The worker sends to the probe windows; a join that did not handle them would never return.
  worker.Join();

  EXPECT_EQ(THREAD_PRIORITY_HIGHEST, port.priority);
  EXPECT_EQ(1, port.writes);
  EXPECT_EQ(255u, state.statusCode.load());
  EXPECT_EQ(0u, state.busy.load());
  ASSERT_EQ(2u, status.messages.size());
  EXPECT_EQ(text::kInstalling, status.messages[0].text);
  EXPECT_EQ(text::kTransferComplete, status.messages[1].text);
  EXPECT_EQ(3u, bar.messages.size());  // the range, then one position per event
  EXPECT_FALSE(worker.Start(view, state, *player, port)) << "one transfer per worker";
}

TEST(TransferWorker, AStopEndsAWaitingTransferAsFailed) {
  ProbeWindow controls;
  ProbeTransferView view(controls.hwnd(), controls.hwnd());
  // One message 0x0FFFFFFF ticks in, at division 1: due days from now.
  auto player = fakes::LoadedPlayer(
      fakes::FileWithTrack({0xFF, 0xFF, 0xFF, 0x7F, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00}, 1));
  PriorityPort port;
  UpdateState state;
  state.busy = 1;
  {
    TransferWorker worker;
    ASSERT_TRUE(worker.Start(view, state, *player, port));
  }  // the owner stops and joins
  EXPECT_EQ(0, port.writes);
  EXPECT_EQ(0x8000000Cu, state.statusCode.load());
  EXPECT_EQ(0u, state.busy.load());
}

}  // namespace
