#include "ui/open_file_dialog_win32.h"

#include <commdlg.h>

#include <string>
#include <vector>

std::string OpenFileDialog::Choose(HWND owner) {
  // The dialog wants NUL where the filter shows '|'.
  std::string filter(kUpdateFileFilter);
  for (char& c : filter) {
    if (c == '|') c = '\0';
  }
  // Room for a long path: a path that does not fit would come back empty.
  std::vector<char> path(32768, '\0');

  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrDefExt = "sdy";
  dialog.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_SHAREAWARE | OFN_EXPLORER;
  // A cancel leaves the path empty. On a failure the buffer may hold anything
  // (a too small one holds the size it needed): that is no path either.
  if (!GetOpenFileNameA(&dialog)) return std::string();
  return std::string(path.data());
}
