#include "transfer/progress_bar_win32.h"

#include <commctrl.h>

void WindowProgressBar::SetRange(std::uint16_t minimum, std::uint16_t maximum) {
  SendMessageW(control_, PBM_SETRANGE, 0, MAKELPARAM(minimum, maximum));
}

void WindowProgressBar::SetPos(std::uint32_t position) {
  SendMessageW(control_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}
