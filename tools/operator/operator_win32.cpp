#include "tools/operator/operator_win32.h"

#include <commctrl.h>

#include <vector>

#include "platform/wide_text_win32.h"

namespace op {

namespace {

constexpr DWORD kPollMs = 20;
constexpr UINT kSendTimeoutMs = 2000;
constexpr int kFileNameCombo = 0x47C;  // cmb13 of the file-open dialog
constexpr int kFileNameEdit = 0x480;   // edt1, older dialogs

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

std::string ClassOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof(name));
  return name;
}

struct TopLevelSearch {
  bool visibleOnly;
  DWORD pid;
  const std::string* title;
  const std::string* className;
  const std::function<bool(HWND)>* accept;
  HWND found;
};

// EnumWindows callbacks are named functions: a lambda has the compiler's
// default calling convention, which is not CALLBACK on 32-bit Windows.
BOOL CALLBACK MatchTopLevel(HWND window, LPARAM context) {
  auto& s = *reinterpret_cast<TopLevelSearch*>(context);
  if (s.visibleOnly && !IsWindowVisible(window)) return TRUE;
  if (s.pid != 0 && ProcessOf(window) != s.pid) return TRUE;
  if (ClassOf(window) != *s.className || (!s.title->empty() && TextOf(window) != *s.title)) return TRUE;
  if (!(*s.accept)(window)) return TRUE;
  s.found = window;
  return FALSE;
}

// A visible top-level window of pid (0: any) whose title ("" for any) and
// class match and which passes accept; with visibleOnly false, a hidden one too.
HWND FindTopLevel(DWORD pid, const std::string& title, const std::string& className,
                  const std::function<bool(HWND)>& accept, bool visibleOnly = true) {
  TopLevelSearch search{visibleOnly, pid, &title, &className, &accept, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct VisibleWindowSearch {
  DWORD pid;
  bool found;
};

BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM context) {
  auto& s = *reinterpret_cast<VisibleWindowSearch*>(context);
  if (IsWindowVisible(window) && ProcessOf(window) == s.pid) {
    s.found = true;
    return FALSE;
  }
  return TRUE;
}

bool IsUpdater(HWND window) { return GetDlgItem(window, kStart) != nullptr && GetDlgItem(window, kBrowse) != nullptr; }

}  // namespace

bool WaitUntil(const std::function<bool()>& check, DWORD boundMs) {
  const ULONGLONG deadline = GetTickCount64() + boundMs;
  for (;;) {
    if (check()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMs);
  }
}

std::string TextOf(HWND window) {
  // WM_GETTEXT is carried across processes; GetWindowText would only see captions
  // there. Read wide, as the program shows it: room for the longest path.
  std::vector<wchar_t> text(32768, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &copied)) {
    return {};
  }
  return Utf8FromWide(std::wstring_view(text.data(), copied < text.size() ? copied : text.size() - 1));
}

UpdaterWindow UpdaterWindow::Find(DWORD pid) {
  UpdaterWindow found;
  found.hwnd_ = FindTopLevel(pid, kUpdaterTitle, "#32770", &IsUpdater);
  if (found.hwnd_ != nullptr) found.pid_ = ProcessOf(found.hwnd_);
  return found;
}

UpdaterWindow UpdaterWindow::WaitFor(DWORD pid, DWORD boundMs) {
  UpdaterWindow found;
  WaitUntil([&] { return static_cast<bool>(found = Find(pid)); }, boundMs);
  return found;
}

std::string UpdaterWindow::Text(int id) const { return TextOf(GetDlgItem(hwnd_, id)); }

bool UpdaterWindow::Enabled(int id) const { return IsWindowEnabled(GetDlgItem(hwnd_, id)) != FALSE; }

int UpdaterWindow::Progress() const {
  DWORD_PTR position = 0;
  SendMessageTimeoutW(GetDlgItem(hwnd_, kProgress), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &position);
  return static_cast<int>(position);
}

WaitEnd UpdaterWindow::WaitForReady(DWORD boundMs) const {
  return WaitOnWindow(
      *this, [&] { return Text(kPortName) == "FIRM" && Enabled(kBrowse); }, boundMs);
}

WaitEnd UpdaterWindow::WaitForText(int id, const std::string& text, DWORD boundMs) const {
  return WaitOnWindow(
      *this, [&] { return Text(id) == text; }, boundMs);
}

WaitEnd UpdaterWindow::WaitForEnabled(int id, DWORD boundMs) const {
  return WaitOnWindow(
      *this, [&] { return Enabled(id); }, boundMs);
}

WaitEnd UpdaterWindow::WaitForProgress(int percent, DWORD boundMs) const {
  return WaitOnWindow(
      *this, [&] { return Progress() >= percent; }, boundMs);
}

int UpdaterWindow::FocusedId() const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(hwnd_, nullptr), &info) || info.hwndFocus == nullptr) return 0;
  return GetParent(info.hwndFocus) == hwnd_ ? GetDlgCtrlID(info.hwndFocus) : 0;
}

void UpdaterWindow::Sync() const {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(hwnd_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
}

bool UpdaterWindow::Focus(int id) const {
  // A window in the background has no focus to move.
  SetForegroundWindow(hwnd_);
  PostMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(hwnd_, id)), TRUE);
  return WaitUntil([&] { return FocusedId() == id; }, 5000);
}

bool UpdaterWindow::Click(int id) const {
  // Under Wine a posted click reaches even a disabled button; a person's would not.
  if (!Enabled(id)) return false;
  Focus(id);
  PostMessageW(GetDlgItem(hwnd_, id), BM_CLICK, 0, 0);
  return true;
}

void UpdaterWindow::PressKey(WORD vk, int id) const {
  HWND target = hwnd_;
  if (id != 0) {
    Focus(id);
    target = GetDlgItem(hwnd_, id);
  } else {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(hwnd_, nullptr), &info) && info.hwndFocus != nullptr) {
      target = info.hwndFocus;
    }
  }
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(target, WM_KEYDOWN, vk, scan | 1);
  PostMessageW(target, WM_KEYUP, vk, scan | 1 | (LPARAM{3} << 30));
}

void UpdaterWindow::Minimise() const { PostMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0); }

void UpdaterWindow::Restore() const { PostMessageW(hwnd_, WM_SYSCOMMAND, SC_RESTORE, 0); }

void UpdaterWindow::Close() const { PostMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0); }

namespace {

HWND WaitForOpenDialog(DWORD pid, DWORD boundMs) {
  HWND dialog = nullptr;
  WaitUntil(
      [&] {
        dialog = FindTopLevel(pid, "Open", "#32770", [](HWND) { return true; });
        return dialog != nullptr;
      },
      boundMs);
  return dialog;
}

}  // namespace

bool OpenFile(DWORD pid, const std::string& path, DWORD boundMs) {
  const HWND dialog = WaitForOpenDialog(pid, boundMs);
  if (dialog == nullptr) return false;
  HWND box = GetDlgItem(dialog, kFileNameCombo);
  if (box == nullptr) box = GetDlgItem(dialog, kFileNameEdit);
  if (box == nullptr) return false;
  DWORD_PTR ignored = 0;
  const std::wstring wide = WideFromUtf8(path);
  SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                      &ignored);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  // A path that does not exist keeps the dialog open behind a box of its own.
  // Gone, not merely hidden: the updater has then left the dialog's loop.
  return WaitUntil([&] { return !IsWindow(dialog); }, 3000);
}

bool HasOpenDialog(DWORD pid) {
  return FindTopLevel(
             pid, "Open", "#32770", [](HWND) { return true; }, false) != nullptr;
}

bool CancelOpen(DWORD pid, DWORD boundMs) {
  const HWND dialog = WaitForOpenDialog(pid, boundMs);
  if (dialog == nullptr) return false;
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return WaitUntil([&] { return !IsWindow(dialog); }, 3000);
}

AnsweredBox AnswerBox(DWORD pid, const std::string& title, DWORD boundMs) {
  AnsweredBox answer;
  HWND box = nullptr;
  // The updater's own window carries the same title as its message box.
  WaitUntil(
      [&] {
        box = FindTopLevel(pid, title, "#32770", [](HWND window) { return !IsUpdater(window); });
        return box != nullptr;
      },
      boundMs);
  if (box == nullptr) return answer;
  answer.found = true;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    const std::string text = TextOf(child);
    if (!text.empty()) answer.texts.push_back(text);
  }
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  WaitUntil([&] { return !IsWindow(box); }, 3000);
  return answer;
}

WaitEnd WaitOnWindow(const UpdaterWindow& window, const std::function<bool()>& check, DWORD boundMs) {
  WaitEnd end = WaitEnd::kTimedOut;
  WaitUntil(
      [&] {
        if (!window) {
          end = WaitEnd::kWindowGone;
        } else if (check()) {
          end = WaitEnd::kHeld;
        }
        // A check that read an empty text may have raced the window's end.
        if (end == WaitEnd::kHeld && !window) end = WaitEnd::kWindowGone;
        return end != WaitEnd::kTimedOut;
      },
      boundMs);
  return end;
}

bool DismissBoxes(DWORD pid, DWORD boundMs) {
  return WaitUntil(
      [&] {
        const HWND box = FindTopLevel(pid, "", "#32770", [](HWND window) { return !IsUpdater(window); });
        if (box == nullptr) return true;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return false;
      },
      boundMs);
}

bool HasVisibleWindow(DWORD pid) {
  VisibleWindowSearch search{pid, false};
  EnumWindows(MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace op
