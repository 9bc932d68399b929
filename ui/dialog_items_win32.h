// A dialog's controls by id, for the dialog and for the workers' views of it.
// Text is UTF-8 in the program and UTF-16 in the window: this is where it is
// converted, so that a path never passes through the ANSI code page.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/wide_text_win32.h"

inline void SetItemText(HWND dialog, int id, std::string_view text) {
  SetDlgItemTextW(dialog, id, WideFromUtf8(text).c_str());
}

inline std::string ItemText(HWND dialog, int id) {
  const HWND item = GetDlgItem(dialog, id);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
  const int length = GetWindowTextW(item, &text[0], static_cast<int>(text.size()));
  text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return Utf8FromWide(text);
}

inline void EnableItem(HWND dialog, int id, bool enable) {
  EnableWindow(GetDlgItem(dialog, id), enable ? TRUE : FALSE);
}
