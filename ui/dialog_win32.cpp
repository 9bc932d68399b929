#include "ui/dialog_win32.h"

CDialog::~CDialog() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool CDialog::Create(HWND owner) {
  ended_ = false;
  result_ = IDCANCEL;
  return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner, &DialogProc,
                            reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CDialog::RouteMessage(MSG& message) {
  bool swallowed = false;
  try {
    swallowed = PreTranslateMessage(message);
  } catch (...) {
    swallowed = true;  // a filter that failed must not let the key through
  }
  if (swallowed || IsDialogMessageW(hwnd_, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

INT_PTR CDialog::DoModal(HWND owner) {
  if (!Create(owner)) return -1;
  const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  if (!ended_) ShowWindow(hwnd_, SW_SHOW);

  bool quit = false;
  WPARAM quitCode = 0;
  while (!ended_) {
    MSG message;
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      quit = true;
      quitCode = message.wParam;
      break;
    }
    if (got == -1) break;
    RouteMessage(message);
  }

  try {
    OnModalLoopEnded();
  } catch (...) {
    // The window goes all the same.
  }
  // Re-enabled before the window goes, so that the owner takes the activation back.
  if (disableOwner) EnableWindow(owner, TRUE);
  DestroyWindow(hwnd_);
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  return result_;
}

void CDialog::End(INT_PTR result) {
  result_ = result;
  ended_ = true;
  // The loop may be waiting in GetMessage: give it something to wake for.
  PostMessageW(hwnd_, WM_NULL, 0, 0);
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return OnInitDialog();
  INT_PTR result = FALSE;
  if (HandleMessage(message, wParam, lParam, result)) return result;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    End(LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* created = reinterpret_cast<CDialog*>(lParam);
    created->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(created));
  }
  auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (self == nullptr) return FALSE;

  INT_PTR result = FALSE;
  try {
    result = self->Dispatch(message, wParam, lParam);
  } catch (...) {
    result = FALSE;  // nothing crosses into the dialog manager; it handles the message itself
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->hwnd_ = nullptr;
  }
  return result;
}
