// A dialog's message table: which message or control command goes to which
// member handler, read top to bottom like a list of events. Each entry
// unpacks WPARAM and LPARAM into the handler's typed arguments.
//
//   using Map = MessageMap<CFooDlg>;
//   static constexpr Map::Entry kMessages[] = {
//       Map::Clicked<&CFooDlg::OnBrowse>(IDC_BROWSE),
//       Map::SysCommand<&CFooDlg::OnSysCommand>(),
//   };
#pragma once

#include <windows.h>

#include <cstddef>

template <class D>
class MessageMap {
 public:
  // True when the handler took the message; result is then what the dialog
  // procedure returns for it.
  using Dispatch = bool (*)(D& dialog, WPARAM wParam, LPARAM lParam, INT_PTR& result);

  struct Entry {
    UINT message;
    int controlId;  // WM_COMMAND: the control and its notification; 0 otherwise
    UINT notification;
    Dispatch dispatch;
  };

  // A button click (also Enter or Space on it, as the dialog manager sends them).
  template <void (D::*Handler)()>
  static constexpr Entry Clicked(int controlId) noexcept {
    return {WM_COMMAND, controlId, BN_CLICKED, &CallVoid<Handler>};
  }
  // WM_SYSCOMMAND with the command, its low four bits (used by the system)
  // masked off; false passes it on to the default handling.
  template <bool (D::*Handler)(UINT command)>
  static constexpr Entry SysCommand() noexcept {
    return {WM_SYSCOMMAND, 0, 0, &CallSysCommand<Handler>};
  }
  // WM_CTLCOLORSTATIC for a control id; a null brush keeps the default colours.
  template <HBRUSH (D::*Handler)(HDC dc, int controlId)>
  static constexpr Entry CtlColorStatic() noexcept {
    return {WM_CTLCOLORSTATIC, 0, 0, &CallCtlColor<Handler>};
  }
  // WM_PAINT; false leaves the painting to the default handling.
  template <bool (D::*Handler)()>
  static constexpr Entry Paint() noexcept {
    return {WM_PAINT, 0, 0, &CallBool<Handler>};
  }
  template <HICON (D::*Handler)()>
  static constexpr Entry QueryDragIcon() noexcept {
    return {WM_QUERYDRAGICON, 0, 0, &CallQueryDragIcon<Handler>};
  }
  // WM_DESTROY, while the dialog's controls still exist.
  template <void (D::*Handler)()>
  static constexpr Entry Destroy() noexcept {
    return {WM_DESTROY, 0, 0, &CallVoid<Handler>};
  }
  // WM_QUERYENDSESSION: the handler answers whether the session may end now.
  template <bool (D::*Handler)()>
  static constexpr Entry QueryEndSession() noexcept {
    return {WM_QUERYENDSESSION, 0, 0, &CallQueryEndSession<Handler>};
  }
  // WM_ENDSESSION with whether the session really ends.
  template <void (D::*Handler)(bool ending)>
  static constexpr Entry EndSession() noexcept {
    return {WM_ENDSESSION, 0, 0, &CallEndSession<Handler>};
  }
  // A message the dialog takes note of and leaves to the default handling.
  template <void (D::*Handler)()>
  static constexpr Entry Observe(UINT message) noexcept {
    return {message, 0, 0, &CallObserve<Handler>};
  }
  // A message of the program's own (WM_APP and up), carrying nothing, a
  // number or a flag in wParam, or a text in lParam.
  template <void (D::*Handler)()>
  static constexpr Entry Private(UINT message) noexcept {
    return {message, 0, 0, &CallVoid<Handler>};
  }
  template <void (D::*Handler)(unsigned)>
  static constexpr Entry Private(UINT message) noexcept {
    return {message, 0, 0, &CallNumber<Handler>};
  }
  template <void (D::*Handler)(bool)>
  static constexpr Entry Private(UINT message) noexcept {
    return {message, 0, 0, &CallFlag<Handler>};
  }
  // The same, sent with a text in lParam that lives until the send returns.
  template <void (D::*Handler)(const char*)>
  static constexpr Entry Private(UINT message) noexcept {
    return {message, 0, 0, &CallText<Handler>};
  }

  template <std::size_t N>
  static bool Handle(D& dialog, const Entry (&table)[N], UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    for (const Entry& entry : table) {
      if (entry.message != message) continue;
      if (message == WM_COMMAND && (LOWORD(wParam) != entry.controlId || HIWORD(wParam) != entry.notification)) {
        continue;
      }
      if (entry.dispatch(dialog, wParam, lParam, result)) return true;
    }
    return false;
  }

 private:
  template <void (D::*Handler)()>
  static bool CallVoid(D& dialog, WPARAM, LPARAM, INT_PTR& result) {
    (dialog.*Handler)();
    result = TRUE;
    return true;
  }
  template <bool (D::*Handler)()>
  static bool CallBool(D& dialog, WPARAM, LPARAM, INT_PTR& result) {
    result = TRUE;
    return (dialog.*Handler)();
  }
  template <bool (D::*Handler)(UINT)>
  static bool CallSysCommand(D& dialog, WPARAM wParam, LPARAM, INT_PTR& result) {
    result = TRUE;
    return (dialog.*Handler)(static_cast<UINT>(wParam) & 0xFFF0);
  }
  // Colour and drag-icon requests return their handle from the dialog procedure itself.
  template <HBRUSH (D::*Handler)(HDC, int)>
  static bool CallCtlColor(D& dialog, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    const HBRUSH brush = (dialog.*Handler)(reinterpret_cast<HDC>(wParam), GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
    result = reinterpret_cast<INT_PTR>(brush);
    return brush != nullptr;
  }
  template <HICON (D::*Handler)()>
  static bool CallQueryDragIcon(D& dialog, WPARAM, LPARAM, INT_PTR& result) {
    const HICON icon = (dialog.*Handler)();
    result = reinterpret_cast<INT_PTR>(icon);
    return icon != nullptr;
  }
  // A dialog procedure hands back any other answer through DWLP_MSGRESULT.
  template <bool (D::*Handler)()>
  static bool CallQueryEndSession(D& dialog, WPARAM, LPARAM, INT_PTR& result) {
    const bool mayEnd = (dialog.*Handler)();
    SetWindowLongPtrW(dialog.hwnd(), DWLP_MSGRESULT, mayEnd ? TRUE : FALSE);
    result = TRUE;
    return true;
  }
  template <void (D::*Handler)(bool)>
  static bool CallEndSession(D& dialog, WPARAM wParam, LPARAM, INT_PTR& result) {
    (dialog.*Handler)(wParam != FALSE);
    result = TRUE;
    return true;
  }
  template <void (D::*Handler)()>
  static bool CallObserve(D& dialog, WPARAM, LPARAM, INT_PTR&) {
    (dialog.*Handler)();
    return false;
  }
  template <void (D::*Handler)(unsigned)>
  static bool CallNumber(D& dialog, WPARAM wParam, LPARAM, INT_PTR& result) {
    (dialog.*Handler)(static_cast<unsigned>(wParam));
    result = TRUE;
    return true;
  }
  template <void (D::*Handler)(const char*)>
  static bool CallText(D& dialog, WPARAM, LPARAM lParam, INT_PTR& result) {
    (dialog.*Handler)(reinterpret_cast<const char*>(lParam));
    result = TRUE;
    return true;
  }
  template <void (D::*Handler)(bool)>
  static bool CallFlag(D& dialog, WPARAM wParam, LPARAM, INT_PTR& result) {
    (dialog.*Handler)(wParam != 0);
    result = TRUE;
    return true;
  }
};
