// What the update dialog decides, without a window: Browse, Start and the
// keyboard. The dialog turns operator input into these calls and implements
// the view over its controls; the native tests use a recording view.
#pragma once

#include <string>

#include "state/update_state.h"
#include "transfer/rq_data_play.h"

// What the decisions do to the dialog; called on the dialog's thread.
class UpdateDialogView {
 public:
  // The platform's file-open dialog; "" after a cancel.
  virtual std::string ChooseUpdateFile() = 0;
  virtual void SetFileName(const std::string& path) = 0;
  virtual std::string FileName() = 0;
  virtual void SetStatusText(const char* text) = 0;
  virtual void SetStartText(const char* text) = 0;
  virtual void SetPortName(const char* text) = 0;
  virtual void EnableBrowse(bool enable) = 0;
  virtual void EnableStart(bool enable) = 0;
  virtual void ShowAbout() = 0;
  virtual void WarnNoFileName() = 0;  // the "Input Update File!!" box
  virtual void Close() = 0;           // ends the dialog with the cancel result
  // Starts the transfer worker; false when no thread could be made.
  virtual bool LaunchTransfer() = 0;

 protected:
  ~UpdateDialogView() = default;
};

class UpdateController {
 public:
  static constexpr char kStartText[] = "Start";
  static constexpr char kCloseText[] = "Close";

  UpdateController(UpdateState& state, CRQDataPlay& player, UpdateDialogView& view)
      : state_(state), player_(player), view_(view) {}

  // Sets the update-state fields for a new run and disables Start.
  void Initialise();

  // The device search has opened the device's port: Browse is allowed from now
  // on, the status line is cleared and the port's name shown.
  void DeviceReady(const char* portName);

  // Chooses and loads the update file. Acts only once the port is open and
  // before any transfer: a file must never be swapped under a running
  // transfer, nor loaded after one.
  void Browse();

  // Closes the dialog when the status code is not 0; otherwise starts the one
  // transfer of the run, if a good file is loaded, the port is open, no
  // transfer is running and the session is not ending.
  void Start();

  // A key-down message; true when it is swallowed, false when the dialog
  // manager should handle it.
  bool KeyDown(unsigned vk, int focusId, bool focusEnabled);

  // Whether Windows may log off, restart or shut down now: never while the
  // firmware is being sent, which would leave the device half updated. Once
  // it may, no transfer starts until the session is known to go on.
  bool SessionMayEnd() {
    sessionEnding_ = state_.busy == 0;
    return sessionEnding_;
  }
  // The session end was called off.
  void SessionGoesOn() { sessionEnding_ = false; }

  // The transfer has ended and Start now closes: the focus belongs there as
  // soon as the dialog can take it, which it cannot while the About box is
  // open, while it is minimised or while another program is in front.
  void TransferEnded() { closeFocusPending_ = true; }
  // True once, the first time it is asked when the dialog can take the focus.
  bool TakeCloseFocus(bool dialogCanTakeFocus);

 private:
  UpdateState& state_;
  CRQDataPlay& player_;
  UpdateDialogView& view_;
  bool deviceReady_ = false;
  bool fileLoaded_ = false;
  bool transferLaunched_ = false;
  bool closeFocusPending_ = false;
  bool sessionEnding_ = false;
};
