// What a key pressed in the update dialog does, decided before the dialog
// manager sees the key. Only navigation and Esc (when no transfer runs) reach
// the dialog manager; Enter acts on the focused control; the rest is swallowed.
#pragma once

enum class KeyAction {
  kDialogHandles,  // Tab, the arrows, and Esc while idle
  kSwallow,
  kAbout,          // Enter on an enabled About... button
  kBrowse,         // Enter on an enabled Browse button
  kStart,          // Enter on an enabled Start button
  kCheckFileName,  // Enter elsewhere: warn when no file name is entered
};

// vk is the virtual-key code; focusId the dialog control id of the focused
// window (0 for none or a window that is not a control).
KeyAction FilterKeyDown(unsigned vk, bool busy, int focusId, bool focusEnabled);
