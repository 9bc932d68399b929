// The base of the program's dialogs: a dialog created from a template, run
// modally through a loop of its own so that every queued message passes
// PreTranslateMessage before the dialog manager sees it. Messages reach the
// derived class through HandleMessage (its message table); the rest get the
// dialog manager's default handling. IDOK and IDCANCEL end the dialog.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/dialog_items_win32.h"

class CDialog {
 public:
  explicit CDialog(UINT templateId) : templateId_(templateId) {}
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Shows the dialog and returns when it has ended, with the result passed
  // to End (IDOK or IDCANCEL for those commands), or -1 when the window could
  // not be made. As a platform modal dialog does, it disables the owner for
  // its duration and re-posts a WM_QUIT that ends it.
  INT_PTR DoModal(HWND owner = nullptr);

  // Modeless, for DoModal and for tests that run the loop themselves:
  // creates the window (hidden unless its template says visible).
  bool Create(HWND owner);
  // What the modal loop does with one queued message: the filter, then the
  // dialog manager, then the window procedure.
  void RouteMessage(MSG& message);
  bool ended() const { return ended_; }
  INT_PTR result() const { return result_; }

  HWND hwnd() const { return hwnd_; }
  HWND Item(int controlId) const { return GetDlgItem(hwnd_, controlId); }
  void SetItemText(int controlId, std::string_view text) const { ::SetItemText(hwnd_, controlId, text); }
  std::string ItemText(int controlId) const { return ::ItemText(hwnd_, controlId); }
  void EnableItem(int controlId, bool enable) const { ::EnableItem(hwnd_, controlId, enable); }

 protected:
  // Ends the modal loop with result; the window is destroyed after the loop.
  void End(INT_PTR result);

  // WM_INITDIALOG; TRUE lets the platform give the focus to the first tab stop.
  virtual BOOL OnInitDialog() { return TRUE; }
  // The modal loop has ended; the window is still on screen and is destroyed
  // when this returns.
  virtual void OnModalLoopEnded() {}
  // Sees every queued message first; true swallows it.
  virtual bool PreTranslateMessage(const MSG&) { return false; }
  // The derived class's message table; true when handled, with the value the
  // dialog procedure returns in result.
  virtual bool HandleMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  const UINT templateId_;
  HWND hwnd_ = nullptr;
  bool ended_ = false;
  INT_PTR result_ = IDCANCEL;
};
