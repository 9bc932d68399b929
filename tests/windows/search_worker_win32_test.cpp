// The device search worker on a real Win32 thread, reaching a window of the
// thread that joins it: the join must keep serving what the worker sends.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device/device_search_worker.h"
#include "sim/bus_model.h"
#include "sim/sim_clock.h"
#include "sim/sim_config.h"
#include "sim/sim_objects.h"

namespace {

// A message-only window of this thread; its first WM_SETTEXT runs a callback.
class TextWindow {
 public:
  TextWindow() {
    static const ATOM registered = [] {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = &TextWindow::Proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "t6-search-probe";
      return RegisterClassA(&wc);
    }();
    (void)registered;
    hwnd_ = CreateWindowA("t6-search-probe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                          GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~TextWindow() { DestroyWindow(hwnd_); }
  TextWindow(const TextWindow&) = delete;
  TextWindow& operator=(const TextWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  std::vector<std::string> texts;
  DWORD senderThread = 0;
  void (*onFirstText)(void* context) = nullptr;
  void* context = nullptr;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TextWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr && id == WM_SETTEXT) {
      self->texts.emplace_back(reinterpret_cast<const char*>(lParam));
      if (self->texts.size() == 1 && self->onFirstText != nullptr) self->onFirstText(self->context);
    }
    return DefWindowProcA(hwnd, id, wParam, lParam);
  }
  HWND hwnd_;
};

// Sets the status text on the window, as the dialog's controls would be set.
class WindowView : public DeviceSearchView {
 public:
  explicit WindowView(HWND status) : status_(status) {}
  void EnableBrowse(bool) override {}
  void SetStatusText(const char* text) override {
    threadId = GetCurrentThreadId();
    SetWindowTextA(status_, text);
  }
  void SetPortNameText(const char*) override {}
  DWORD threadId = 0;

 private:
  HWND status_;
};

TEST(DeviceSearchWorkerWin32, JoinServesTheWorkersCallsAndAStopEndsTheSearch) {
  auto model = std::make_shared<sim::BusModel>(sim::DefaultSimConfig(), sim::MakeSystemClock());
  sim::SimServiceFactory factory(model);
  TextWindow status;
  WindowView view(status.hwnd());
  UpdateState state;
  DeviceLink link;
  DeviceSearch search{state, link, view};
  StopSignalWait wait;
  {
    DeviceSearchWorker worker(search, wait);
    // The stop is requested from this thread while it joins, as the dialog
    // does when the operator closes it during the search.
    status.context = &worker;
    status.onFirstText = [](void* w) { static_cast<DeviceSearchWorker*>(w)->RequestStop(); };

    AcquireDriverService(factory, search, worker);
    worker.Join();  // would hang if the join did not serve the worker's SetWindowText
  }
  ASSERT_FALSE(status.texts.empty());
  EXPECT_EQ("Searching for FW device...", status.texts.front());
  EXPECT_NE(GetCurrentThreadId(), view.threadId);
  // Stopped before readiness: the status line was never cleared for a file.
  EXPECT_EQ(1u, status.texts.size());
  link.ReleaseAll();
  EXPECT_EQ(0u, model->Stats().liveObjects);
  EXPECT_EQ(0u, model->Stats().unfreedLists);
}

}  // namespace
