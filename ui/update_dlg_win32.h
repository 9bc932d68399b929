// CtUpdateDlg: the program's window. It holds the update state, starts the
// device discovery on the driver's thread when it opens (the driver is
// obtained there: the window answers whatever the driver does), loads the
// update file on Browse, runs the transfer on Start and shows every outcome on
// its status line. It owns both workers and the driver objects; closing it at
// any moment stops the workers, waits for them with the window still on
// screen, and has the driver's thread release the driver objects. It waits as
// long as each driver call returns within kDriverCallBoundMs of its start (a
// slow bus is waited for: a message is never cut). A call that stays longer
// does not return (an unplugged device, a stuck driver): the process then ends
// at once with kExitWorkerStuck, releasing nothing that the call may still use.
#pragma once

#include <windows.h>

#include <optional>

#include "device/device_link.h"
#include "device/driver_thread_win32.h"
#include "device/service_factory.h"
#include "platform/handles_win32.h"
#include "state/update_state.h"
#include "transfer/rq_data_play.h"
#include "transfer/transfer_worker_win32.h"
#include "ui/dialog_views_win32.h"
#include "ui/dialog_win32.h"
#include "ui/message_map_win32.h"
#include "ui/open_file_dialog_win32.h"
#include "ui/taskbar_progress_win32.h"
#include "ui/update_controller.h"

class CtUpdateDlg final : public CDialog, private UpdateDialogView {
 public:
  static constexpr DWORD kDriverCallBoundMs = 2000;
  static constexpr UINT kExitWorkerStuck = 3;

  // player, services and chooser must outlive the dialog.
  CtUpdateDlg(CRQDataPlay& player, ServiceFactory& services, UpdateFileChooser& chooser);
  ~CtUpdateDlg() override;

  const UpdateState& state() const { return state_; }

 protected:
  BOOL OnInitDialog() override;
  // The window stays on screen until nothing of the driver's is held.
  void OnModalLoopEnded() override { StopWorkersOrEndProcess(); }
  bool PreTranslateMessage(const MSG& message) override;
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  using Map = MessageMap<CtUpdateDlg>;
  static const Map::Entry kMessages[];

  void OnBrowse() { controller_.Browse(); }
  void OnStart() { controller_.Start(); }
  void OnAboutClicked();
  bool OnSysCommand(UINT command);
  HBRUSH OnCtlColorStatic(HDC dc, int controlId);
  bool OnPaint();
  HICON OnQueryDragIcon() { return icon_.get(); }
  void OnDestroy() { StopWorkersOrEndProcess(); }
  bool OnQueryEndSession() { return controller_.SessionMayEnd(); }
  void OnEndSession(bool ending);
  void OnActivateOrResize();
  void OnTransferProgress(unsigned percent) { taskbar_->SetPercent(percent); }
  void OnTransferEnded(bool finished);
  void OnTryCloseFocus();
  void OnDeviceReady(const char* portName) { controller_.DeviceReady(portName); }

  // UpdateDialogView
  std::string ChooseUpdateFile() override { return chooser_.Choose(hwnd()); }
  void SetFileName(const std::string& path) override;
  std::string FileName() override;
  void SetStatusText(const char* text) override;
  void SetStartText(const char* text) override { SetItemText(IDC_START, text); }
  void SetPortName(const char* text) override { SetItemText(IDC_PORT_NAME, text); }
  void EnableBrowse(bool enable) override { EnableItem(IDC_BROWSE, enable); }
  void EnableStart(bool enable) override { EnableItem(IDC_START, enable); }
  void ShowAbout() override;
  void WarnNoFileName() override;
  void Close() override { End(IDCANCEL); }
  bool LaunchTransfer() override;

  // Asks both workers to stop and waits for them, serving what they send,
  // while each of their driver calls returns in time; once the transfer has
  // ended the driver's thread releases the driver objects. False when a call
  // has stayed in the driver too long: its worker has not ended.
  bool StopWorkers();
  void StopWorkersOrEndProcess();

  // Declared in the order of their lifetime: the icons and brush outlive COM,
  // COM outlives the driver objects, and those outlive the workers.
  IconHandle icon_;
  IconHandle smallIcon_;
  GdiObject<HBRUSH> whiteBrush_;
  // Entered in the constructor's body, once the driver's thread is in its
  // apartment: that one is to be the process's first.
  std::optional<ComInitialization> com_;
  UpdateState state_;
  DeviceLink link_;
  CRQDataPlay& player_;
  ServiceFactory& services_;
  UpdateFileChooser& chooser_;
  UpdateController controller_;
  std::optional<TaskbarProgress> taskbar_;
  std::optional<DialogSearchView> searchView_;
  std::optional<DialogTransferView> transferView_;
  DriverThread driver_;
  TransferWorker transferWorker_;
  std::optional<ShutdownBlockReason> shutdownBlock_;  // while a transfer runs
};
