#include "ui/update_app_win32.h"

#include <commctrl.h>

#include <vector>

#include "ui/resource.h"
#include "ui/resource_string_win32.h"
#include "ui/single_instance.h"
#include "ui/update_dlg_win32.h"

int CWinApplication::Run() {
  try {
    if (!InitInstance()) return 0;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
  } catch (...) {
    return 1;  // nothing to show: the dialog, if any, is gone
  }
}

std::wstring ExecutableBaseName() {
  std::vector<wchar_t> path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  std::wstring name(path.data(), length < path.size() ? length : 0);
  const std::size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot != 0) name.erase(dot);
  return name;
}

bool BringFirstCopyForward() {
  const HWND found = FindWindowA(nullptr, ResourceString(IDS_APP_TITLE).c_str());
  if (found == nullptr) return false;
  // A box of the first copy's (About, a message) may carry the same title.
  const HWND dialog = GetAncestor(found, GA_ROOTOWNER);
  if (IsIconic(dialog)) ShowWindow(dialog, SW_RESTORE);
  SetForegroundWindow(GetLastActivePopup(dialog));
  return true;
}

bool CtUpdateApp::InitInstance() {
  const INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  const std::wstring name = ExecutableBaseName();
  instanceMutex_.Reset(CreateMutexW(nullptr, TRUE, name.c_str()));
  const DWORD created = GetLastError();  // before anything else can change it
  if (AnotherCopyRuns(instanceMutex_.valid(), created)) {
    BringFirstCopyForward();
    return false;
  }

  CtUpdateDlg dialog(player_, services_, fileDialog_);
  dialog.DoModal(nullptr);
  return false;
}
