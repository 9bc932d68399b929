#include "ui/open_file_dialog_win32.h"

#include <commdlg.h>

#include <string>
#include <vector>

#include "platform/wide_text_win32.h"

std::string OpenFileDialog::Choose(HWND owner) {
  // The dialog wants NUL where the filter shows '|'.
  std::wstring filter = WideFromUtf8(kUpdateFileFilter);
  for (wchar_t& c : filter) {
    if (c == L'|') c = L'\0';
  }
  // Room for the longest path the platform has: one that did not fit would come back empty.
  std::vector<wchar_t> path(32768, L'\0');

  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrDefExt = L"sdy";
  dialog.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_SHAREAWARE | OFN_EXPLORER;
  // A cancel leaves the path empty. On a failure the buffer may hold anything
  // (a too small one holds the size it needed): that is no path either.
  if (!GetOpenFileNameW(&dialog)) return std::string();
  return Utf8FromWide(path.data());
}
