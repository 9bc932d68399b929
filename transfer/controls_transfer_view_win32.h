// The transfer worker's view of the dialog, over the dialog's own controls.
#pragma once

#include <windows.h>

#include "transfer/progress_bar_win32.h"
#include "transfer/transfer_worker.h"

class ControlsTransferView final : public ITransferView {
 public:
  ControlsTransferView(HWND browse, HWND start, HWND status, HWND progress)
      : browse_(browse), start_(start), status_(status), progress_(progress) {}

  void EnableBrowse(bool enable) override { EnableWindow(browse_, enable ? TRUE : FALSE); }
  void EnableStart(bool enable) override { EnableWindow(start_, enable ? TRUE : FALSE); }
  void SetStatusText(const char* text) override { SetWindowTextA(status_, text); }
  IProgressBar& ProgressBar() override { return progress_; }
  void Beep() override { MessageBeep(MB_OK); }

 private:
  HWND browse_;
  HWND start_;
  HWND status_;
  WindowProgressBar progress_;
};
