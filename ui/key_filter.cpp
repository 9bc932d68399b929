#include "ui/key_filter.h"

#include "ui/resource.h"

namespace {

constexpr unsigned kTab = 0x09;
constexpr unsigned kEnter = 0x0D;
constexpr unsigned kEscape = 0x1B;
constexpr unsigned kLeft = 0x25;
constexpr unsigned kDown = 0x28;

KeyAction EnterOn(int focusId, bool focusEnabled) {
  switch (focusId) {
    case IDC_ABOUT:
      return focusEnabled ? KeyAction::kAbout : KeyAction::kSwallow;
    case IDC_BROWSE:
      return focusEnabled ? KeyAction::kBrowse : KeyAction::kSwallow;
    case IDC_START:
      return focusEnabled ? KeyAction::kStart : KeyAction::kSwallow;
    default:
      return KeyAction::kCheckFileName;
  }
}

}  // namespace

KeyAction FilterKeyDown(unsigned vk, bool busy, int focusId, bool focusEnabled) {
  if (vk == kTab || (vk >= kLeft && vk <= kDown)) return KeyAction::kDialogHandles;
  // Esc would close the dialog: not while the firmware is being sent.
  if (vk == kEscape) return busy ? KeyAction::kSwallow : KeyAction::kDialogHandles;
  if (vk == kEnter) return EnterOn(focusId, focusEnabled);
  return KeyAction::kSwallow;
}
