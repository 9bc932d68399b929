// The dialog's progress bar control as the player's progress seam.
#pragma once

#include <windows.h>

#include "transfer/transfer_ports.h"

class WindowProgressBar final : public ProgressBar {
 public:
  explicit WindowProgressBar(HWND control) : control_(control) {}

  // PBM_SETRANGE: minimum in the low word, maximum in the high word.
  void SetRange(std::uint16_t minimum, std::uint16_t maximum) override;
  // PBM_SETPOS with the position in wParam.
  void SetPos(std::uint32_t position) override;

 private:
  HWND control_;
};
