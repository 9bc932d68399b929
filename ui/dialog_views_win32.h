// The workers' views of the update dialog: what the device search and the
// transfer do to its controls, from their own threads. Each call waits for the
// dialog's thread, which keeps serving them (also while it waits for a worker).
#pragma once

#include <windows.h>

#include "device/search_view.h"
#include "transfer/progress_bar_win32.h"
#include "transfer/transfer_thread.h"
#include "ui/dialog_items_win32.h"
#include "ui/resource.h"
#include "ui/update_controller.h"

// Posted to the dialog for its task-bar button: wParam is the percentage.
constexpr UINT kTransferProgressMessage = WM_APP + 1;
// Posted to the dialog at the end of a transfer: wParam is 1 when it finished.
constexpr UINT kTransferEndedMessage = WM_APP + 2;
// Sent to the dialog when the search has opened the port: lParam is its name.
constexpr UINT kDeviceReadyMessage = WM_APP + 4;

class DialogSearchView final : public DeviceSearchView {
 public:
  explicit DialogSearchView(HWND dialog) : dialog_(dialog) {}

  void DisableBrowse() override { EnableItem(dialog_, IDC_BROWSE, false); }
  void SetStatusText(const char* text) override { SetItemText(dialog_, IDC_STATUS, text); }
  // The dialog's thread decides what readiness allows; the search waits for it.
  void DeviceReady(const char* portName) override {
    SendMessageW(dialog_, kDeviceReadyMessage, 0, reinterpret_cast<LPARAM>(portName));
  }

 private:
  HWND dialog_;
};

// The progress bar, also reported to the dialog whenever the percentage changes.
class DialogProgressBar final : public ProgressBar {
 public:
  explicit DialogProgressBar(HWND dialog) : dialog_(dialog), bar_(GetDlgItem(dialog, IDC_PROGRESS)) {}

  void SetRange(std::uint16_t minimum, std::uint16_t maximum) override { bar_.SetRange(minimum, maximum); }
  void SetPos(std::uint32_t position) override {
    bar_.SetPos(position);
    if (position == reported_) return;
    reported_ = position;
    PostMessageW(dialog_, kTransferProgressMessage, position, 0);
  }

 private:
  HWND dialog_;
  WindowProgressBar bar_;
  std::uint32_t reported_ = 0;
};

class DialogTransferView final : public TransferView {
 public:
  explicit DialogTransferView(HWND dialog) : dialog_(dialog), progress_(dialog) {}

  void EnableBrowse(bool enable) override { EnableItem(dialog_, IDC_BROWSE, enable); }
  void EnableStart(bool enable) override { EnableItem(dialog_, IDC_START, enable); }
  void SetStatusText(const char* text) override { SetItemText(dialog_, IDC_STATUS, text); }
  ProgressBar& Progress() override { return progress_; }
  void Beep() override { MessageBeep(MB_OK); }
  void OfferClose(bool finished) override {
    // Enabled first: whoever sees "Close" can press it.
    EnableItem(dialog_, IDC_START, true);
    SetItemText(dialog_, IDC_START, UpdateController::kCloseText);
    // The focus belongs to the dialog's thread: it moves it to Close when it can.
    PostMessageW(dialog_, kTransferEndedMessage, finished ? 1 : 0, 0);
  }

 private:
  HWND dialog_;
  DialogProgressBar progress_;
};
