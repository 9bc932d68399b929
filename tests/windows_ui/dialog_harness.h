// The real update dialog in this process, created from its template against
// the simulated driver service.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <optional>
#include <string>

#include "device/com_service_factory_win32.h"
#include "sim/sim_folder_win32.h"
#include "ui/update_dlg_win32.h"

namespace harness {

// What the operator would pick in the file-open dialog.
class FixedChoice final : public UpdateFileChooser {
 public:
  std::string Choose(HWND) override { return path; }
  std::string path;
};

class DialogRun {
 public:
  // simConfig: the simulator's configuration for this run (see sim/sim_config.h).
  explicit DialogRun(const std::string& simConfig)
      : folder_(std::string("t6ui-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()) {
    const INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    configured_ = folder_.Configure(simConfig);
    dialog_.emplace(player_, services_, chooser_);
    created_ = dialog_->Create(nullptr);
    if (created_) ShowWindow(hwnd(), SW_SHOW);
  }

  bool ready() const { return configured_ && created_; }
  HWND hwnd() { return dialog_->hwnd(); }
  HWND Item(int id) { return dialog_->Item(id); }
  bool Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }
  StatusCode code() { return dialog_->state().statusCode.load(); }
  CtUpdateDlg& dialog() { return *dialog_; }
  bool Report(sim::SimReport& report) const { return folder_.LoadReport(report); }

  // Runs the dialog's loop, as the modal run would, until check holds or boundMs pass.
  template <class Check>
  bool RunUntil(Check check, DWORD boundMs = 30000) {
    const ULONGLONG deadline = GetTickCount64() + boundMs;
    while (!check()) {
      if (GetTickCount64() >= deadline) return false;
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) dialog_->RouteMessage(message);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
  }
  // Presses Browse once the device is ready, picking path.
  bool Browse(const std::string& path) {
    if (!RunUntil([&] { return Enabled(IDC_BROWSE); })) return false;
    chooser_.path = path;
    SendMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(IDC_BROWSE, BN_CLICKED), reinterpret_cast<LPARAM>(Item(IDC_BROWSE)));
    return true;
  }

 private:
  sim::SimFolder folder_;
  CRQDataPlay player_;
  ComServiceFactory services_;
  FixedChoice chooser_;
  std::optional<CtUpdateDlg> dialog_;
  bool configured_ = false;
  bool created_ = false;
};

}  // namespace harness
