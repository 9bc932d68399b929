// Plays the operator of the updater from another process: finds its window by
// title, reads what a person would read (control texts, enabled states, the
// progress bar), and acts as a person would (clicks, keys to the focused
// control, the file-open dialog, message boxes, minimise, close). It knows the
// updater only by its window title and control ids.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace op {

// How a wait on what the updater's window shows ended.
enum class WaitEnd { kHeld, kTimedOut, kWindowGone };

constexpr char kUpdaterTitle[] = "t6/t10 Update Program";
constexpr char kAboutTitle[] = "About t6/t10 Update Program";

// Control ids of the updater's window.
enum Control : int {
  kPortName = 1008,
  kFileName = 1009,
  kBrowse = 1010,
  kStatus = 1004,
  kProgress = 1003,
  kStart = 1005,
  kAbout = 1017,
};

// Polls check every 20 ms until it holds or boundMs pass.
bool WaitUntil(const std::function<bool()>& check, DWORD boundMs);

// A control's text, also of another process's window, in UTF-8.
std::string TextOf(HWND window);

// The updater's window. pid 0 takes the window of any process.
class UpdaterWindow {
 public:
  // The visible updater window, or an empty object.
  static UpdaterWindow Find(DWORD pid = 0);
  static UpdaterWindow WaitFor(DWORD pid, DWORD boundMs);

  explicit operator bool() const { return hwnd_ != nullptr && IsWindow(hwnd_); }
  HWND hwnd() const { return hwnd_; }
  DWORD pid() const { return pid_; }

  std::string Text(int id) const;
  bool Enabled(int id) const;
  int Progress() const;
  // Waits for what a person waits for: the device ready (the port's name shown,
  // Browse enabled), a control's text, an enabled control, the progress.
  WaitEnd WaitForReady(DWORD boundMs) const;
  WaitEnd WaitForText(int id, const std::string& text, DWORD boundMs) const;
  WaitEnd WaitForEnabled(int id, DWORD boundMs) const;
  WaitEnd WaitForProgress(int percent, DWORD boundMs) const;

  // The control id that has the keyboard focus in the updater, 0 for none.
  int FocusedId() const;
  bool Minimised() const { return IsIconic(hwnd_) != FALSE; }

  // Returns once the updater's window thread has handled everything it was
  // given before (a click, the end of a file-open dialog).
  void Sync() const;
  // Brings the window to the front and moves the focus to the control, as a
  // click into it would; true once the updater has done so. The move is posted
  // behind whatever was posted before it (a key): that has been handled too.
  bool Focus(int id) const;
  // A click on an enabled button; false (and nothing done) when it is disabled.
  bool Click(int id) const;
  // A key pressed while the focus is where it is: posted to the focused
  // control. With a control id, the operator first puts the focus there (as a
  // click into it would) and the key goes to that control even if another
  // program takes the foreground meanwhile.
  void PressKey(WORD vk, int id = 0) const;
  void Minimise() const;
  void Restore() const;
  // The close box.
  void Close() const;

 private:
  HWND hwnd_ = nullptr;
  DWORD pid_ = 0;
};

// Polls check until it holds or boundMs pass. A window that is gone (the
// updater closed or crashed) ends the wait at once: nothing it shows can
// change any more.
WaitEnd WaitOnWindow(const UpdaterWindow& window, const std::function<bool()>& check, DWORD boundMs);

// Closes every box and dialog that process pid has open over its updater
// window (a message box, the file-open dialog and its own boxes), as Esc
// would; true once none is left.
bool DismissBoxes(DWORD pid, DWORD boundMs);

// The common file-open dialog of process pid (0: any): types path (UTF-8) into its
// file-name box and presses Open. False when no dialog came, or it stayed
// open (a path that does not exist).
bool OpenFile(DWORD pid, const std::string& path, DWORD boundMs);
// Presses Cancel in the file-open dialog.
bool CancelOpen(DWORD pid, DWORD boundMs);
// Whether process pid has a file-open dialog, shown or not yet: a modal
// dialog shows itself only once it has handled what was queued for its thread.
bool HasOpenDialog(DWORD pid);

// A box (message box, About box) of process pid titled title: returns the
// texts it shows and presses its OK button. found is false when none came.
struct AnsweredBox {
  bool found = false;
  std::vector<std::string> texts;
};
AnsweredBox AnswerBox(DWORD pid, const std::string& title, DWORD boundMs);

// Whether a visible top-level window of process pid exists at all.
bool HasVisibleWindow(DWORD pid);

}  // namespace op
