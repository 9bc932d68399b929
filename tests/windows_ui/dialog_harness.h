// The real update dialog in this process, created from its template against
// the simulated driver service, with this thread running its message loop.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_report.h"
#include "tests/windows_transfer/simulated_transfer.h"
#include "ui/update_dlg_win32.h"

namespace harness {

// Hands Browse a path instead of showing the file-open dialog.
class ChosenFile final : public UpdateFileChooser {
 public:
  std::string Choose(HWND) override { return path; }
  std::string path;
};

inline std::string WindowText(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

class DialogRun {
 public:
  // simConfig: the simulator's configuration for this run (see sim/sim_config.h).
  explicit DialogRun(const std::string& simConfig) : folder_(FolderName()) {
    const INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    configured_ = folder_.Configure(simConfig);
    dialog_.emplace(player_, services_, chooser_);
    created_ = dialog_->Create(nullptr);
    if (created_) ShowWindow(hwnd(), SW_SHOW);
  }
  ~DialogRun() { dialog_.reset(); }
  DialogRun(const DialogRun&) = delete;
  DialogRun& operator=(const DialogRun&) = delete;

  bool ready() const { return configured_ && created_; }
  CtUpdateDlg& dialog() { return *dialog_; }
  HWND hwnd() { return dialog_->hwnd(); }
  HWND Item(int id) { return dialog_->Item(id); }
  std::string Text(int id) { return WindowText(Item(id)); }
  bool Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }
  StatusCode code() { return dialog_->state().statusCode.load(); }
  void Choose(const std::string& path) { chooser_.path = path; }

  // Runs the dialog's loop until done() holds or boundMs pass; false on time-out.
  bool PumpUntil(const std::function<bool()>& done, DWORD boundMs = 20000) {
    const ULONGLONG deadline = GetTickCount64() + boundMs;
    for (;;) {
      MSG message;
      while (!dialog_->ended() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        dialog_->RouteMessage(message);
      }
      if (done()) return true;
      if (GetTickCount64() > deadline) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }
  void PumpFor(DWORD ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    PumpUntil([until] { return GetTickCount64() >= until; }, ms + 1000);
  }

  // A key as the keyboard delivers it: to the focused control. With a control
  // id, the focus is put there first and the key goes to that control, even
  // if a window of another process takes the foreground meanwhile.
  void PressKey(WPARAM vk, int id = 0) {
    HWND target = GetFocus() != nullptr ? GetFocus() : hwnd();
    if (id != 0) {
      SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
      target = Item(id);
    }
    PostMessageW(target, WM_KEYDOWN, vk, 1);
    PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
    PumpFor(50);
  }

  void Click(int id) {
    PostMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
    PumpFor(20);
  }

  bool DeviceReady() {
    return PumpUntil([this] { return Text(IDC_PORT_NAME) == "FIRM" && Enabled(IDC_BROWSE); });
  }

  // Destroys the dialog, which releases every driver object; the simulator
  // then writes its report.
  sim::SimReport CloseAndReport() {
    dialog_.reset();
    sim::SimReport report;
    reportLoaded_ = folder_.LoadReport(report);
    return report;
  }
  bool reportLoaded() const { return reportLoaded_; }

 private:
  static std::string FolderName() {
    return std::string("t6ui-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }

  simulated::SimFolder folder_;
  CRQDataPlay player_;
  ComServiceFactory services_;
  ChosenFile chooser_;
  std::optional<CtUpdateDlg> dialog_;
  bool configured_ = false;
  bool created_ = false;
  bool reportLoaded_ = false;
};

// Waits on a thread of its own for a visible window that owner owns with the
// given title (a message box, the About box), records the texts of its
// controls and presses its OK button.
class BoxAnswerer {
 public:
  BoxAnswerer(HWND owner, std::string title)
      : title_(std::move(title)), owner_(owner), uiThread_(GetCurrentThreadId()), thread_([this] { Run(); }) {}
  ~BoxAnswerer() { thread_.join(); }
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  bool answered() const { return answered_.load(); }
  // Valid once answered.
  const std::vector<std::string>& texts() const { return texts_; }

 private:
  struct Search {
    const std::string* title;
    HWND owner;
    HWND found;
  };
  static BOOL CALLBACK Match(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    if (IsWindowVisible(window) && GetWindow(window, GW_OWNER) == search->owner &&
        WindowText(window) == *search->title) {
      search->found = window;
      return FALSE;
    }
    return TRUE;
  }
  static BOOL CALLBACK Collect(HWND child, LPARAM context) {
    reinterpret_cast<std::vector<std::string>*>(context)->push_back(WindowText(child));
    return TRUE;
  }

  void Run() {
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (GetTickCount64() < deadline) {
      Search search{&title_, owner_, nullptr};
      EnumThreadWindows(uiThread_, &Match, reinterpret_cast<LPARAM>(&search));
      if (search.found != nullptr) {
        EnumChildWindows(search.found, &Collect, reinterpret_cast<LPARAM>(&texts_));
        PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        answered_.store(true);
        return;
      }
      Sleep(20);
    }
  }

  const std::string title_;
  const HWND owner_;
  const DWORD uiThread_;
  std::vector<std::string> texts_;
  std::atomic<bool> answered_{false};
  std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace harness
