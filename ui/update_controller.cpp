#include "ui/update_controller.h"

#include "state/status_messages.h"
#include "transfer/update_file.h"
#include "ui/key_filter.h"

void UpdateController::Initialise() {
  state_.tempo = UpdateState::kDefaultTempo;
  state_.statusCode = status::kReady;
  state_.retryLimitOn = 1;
  state_.interfaceKind = kInterfaceFW;
  state_.busy = 0;
  view_.EnableStart(false);
}

void UpdateController::DeviceReady(const char* portName) {
  deviceReady_ = true;
  view_.EnableBrowse(true);
  view_.SetStatusText(text::kEmpty);
  view_.SetPortName(portName);
}

void UpdateController::Browse() {
  if (state_.busy != 0 || transferLaunched_ || !deviceReady_) return;

  view_.SetFileName(view_.ChooseUpdateFile());
  state_.filePath = view_.FileName();
  const StatusCode code = LoadUpdateFile(player_, state_.filePath.c_str(), state_.tempo);
  fileLoaded_ = code == status::kReady;
  if (fileLoaded_) {
    view_.SetStartText(kStartText);
    view_.SetStatusText(text::kEmpty);
    view_.EnableStart(true);
    state_.statusCode = status::kReady;
  } else {
    state_.statusCode = code;
    view_.SetStatusText(StatusMessage(code, state_.interfaceKind));
    view_.EnableStart(false);
  }
}

void UpdateController::Start() {
  if (state_.statusCode != status::kReady) {
    view_.Close();
    return;
  }
  if (state_.busy != 0 || transferLaunched_ || !fileLoaded_ || !deviceReady_ || sessionEnding_) return;

  state_.busy = 1;
  transferLaunched_ = true;
  if (view_.LaunchTransfer()) return;
  // Nothing was sent; the operator can only close.
  state_.statusCode = status::Error(status::kCommunicationError);
  view_.SetStatusText(StatusMessage(state_.statusCode, state_.interfaceKind));
  view_.EnableBrowse(false);
  view_.SetStartText(kCloseText);
  state_.busy = 0;
}

bool UpdateController::TakeCloseFocus(bool dialogCanTakeFocus) {
  if (!closeFocusPending_ || !dialogCanTakeFocus) return false;
  closeFocusPending_ = false;
  return true;
}

bool UpdateController::KeyDown(unsigned vk, int focusId, bool focusEnabled) {
  switch (FilterKeyDown(vk, state_.busy != 0, focusId, focusEnabled)) {
    case KeyAction::kDialogHandles:
      return false;
    case KeyAction::kSwallow:
      break;
    case KeyAction::kAbout:
      view_.ShowAbout();
      break;
    case KeyAction::kBrowse:
      Browse();
      break;
    case KeyAction::kStart:
      Start();
      break;
    case KeyAction::kCheckFileName:
      state_.filePath = view_.FileName();
      if (state_.filePath.empty()) view_.WarnNoFileName();
      break;
  }
  return true;
}
