// t6operator: one operator action on the updater's window per run, for the
// run command and anyone who wants to drive the updater from a script.
//   t6operator <command> [arguments]
// Controls are named as a person sees them: port, file, browse, status,
// progress, start, about. Exit status: 0 done, 1 not done in time, 2 usage,
// 3 the button is disabled, 4 the updater's window is not there (gone, so that
// a wait can never hold any more, or never shown).
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/wide_text_win32.h"
#include "tools/operator/operator_win32.h"

namespace {

constexpr DWORD kFindWindowMs = 30000;
constexpr DWORD kWindowThereMs = 1000;  // a new window is briefly found hidden

struct NamedControl {
  const char* name;
  int id;
};
constexpr NamedControl kControls[] = {
    {"port", op::kPortName},     {"file", op::kFileName}, {"browse", op::kBrowse}, {"status", op::kStatus},
    {"progress", op::kProgress}, {"start", op::kStart},   {"about", op::kAbout},
};

int ControlId(const char* name) {
  for (const NamedControl& c : kControls) {
    if (std::strcmp(c.name, name) == 0) return c.id;
  }
  return 0;
}

const char* ControlName(int id) {
  for (const NamedControl& c : kControls) {
    if (c.id == id) return c.name;
  }
  return "none";
}

int Usage();

// A number as typed (seconds, a percentage); anything else is a usage error,
// not a wait of no time or a progress of 0 %.
double Number(const char* text) {
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(value >= 0.0 && value <= 1e7)) std::exit(Usage());
  return value;
}

DWORD Milliseconds(const char* seconds) { return static_cast<DWORD>(Number(seconds) * 1000.0); }

int Usage() {
  std::fputs(
      "usage: t6operator <command>\n"
      "  wait-ready SECONDS          the window shows the port name and Browse is enabled\n"
      "  wait-text CONTROL TEXT SECONDS\n"
      "  wait-enabled CONTROL SECONDS\n"
      "  wait-progress PERCENT SECONDS\n"
      "  wait-gone SECONDS           the window has closed\n"
      "  click CONTROL | focus CONTROL | key VK [CONTROL]   (VK e.g. 0x0D; to the focused control,\n"
      "                              or focus CONTROL first and press it there)\n"
      "  open PATH | cancel-open     the file-open dialog\n"
      "  dismiss                     closes every box and dialog open over the window, as Esc would\n"
      "  answer TITLE                prints the box's texts and presses OK\n"
      "  minimise | restore | close | state\n"
      "  watch [--tty]               prints each new status line and the progress until the window closes\n",
      stderr);
  return 2;
}

// Follows the window: status lines with the time since the watch began, the
// port name, Start's text, and the progress (a bar redrawn in place on a
// terminal; a line every 10 % otherwise). At the end it tells the last counter
// reading (QueryPerformanceCounter) taken before the status read
// "Installing...": the transfer began after it.
int Watch(bool tty) {
  const ULONGLONG begin = GetTickCount64();
  const auto stamp = [&] { return static_cast<double>(GetTickCount64() - begin) / 1000.0; };
  op::UpdaterWindow window = op::UpdaterWindow::WaitFor(0, kFindWindowMs);
  if (!window) {
    std::printf("no updater window appeared\n");
    return 1;
  }
  std::string status = "\x01", port, start = "Start";
  int progress = 0;
  bool barShown = false;
  LONGLONG beforeInstalling = 0;
  bool installing = false;
  const auto endBar = [&] {
    if (barShown) std::printf("\n");
    barShown = false;
  };
  for (;;) {
    LARGE_INTEGER polled;
    QueryPerformanceCounter(&polled);
    const std::string nowStatus = window.Text(op::kStatus);
    const std::string nowPort = window.Text(op::kPortName);
    const std::string nowStart = window.Text(op::kStart);
    const int nowProgress = window.Progress();
    // A window on its way out reads empty: Start always has a label while it lives.
    if (!window || !IsWindowVisible(window.hwnd()) || nowStart.empty()) break;
    if (!installing && nowStatus == "Installing...") installing = true;
    if (!installing) beforeInstalling = polled.QuadPart;
    if (nowStatus != status) {
      endBar();
      std::printf("[%7.2f s] status: \"%s\"\n", stamp(), nowStatus.c_str());
      status = nowStatus;
    }
    if (nowPort != port) {
      endBar();
      std::printf("[%7.2f s] output port: \"%s\"\n", stamp(), nowPort.c_str());
      port = nowPort;
    }
    if (nowProgress != progress) {
      if (tty) {
        const int filled = nowProgress * 40 / 100;
        std::printf("\r[%7.2f s] progress [%s%s] %3d%%", stamp(), std::string(filled, '#').c_str(),
                    std::string(40 - filled, '.').c_str(), nowProgress);
        barShown = true;
      } else if (nowProgress / 10 != progress / 10) {
        std::printf("[%7.2f s] progress: %d%%\n", stamp(), nowProgress);
      }
      progress = nowProgress;
    }
    if (nowStart != start) {
      endBar();
      std::printf("[%7.2f s] Start reads \"%s\"\n", stamp(), nowStart.c_str());
      start = nowStart;
    }
    std::fflush(stdout);
    Sleep(20);
  }
  endBar();
  std::printf("[%7.2f s] the window has closed; last status: \"%s\"\n", stamp(), status.c_str());
  if (installing) std::printf("the transfer began after counter reading %lld\n", beforeInstalling);
  return 0;
}

// A wait's exit status, with one line on stderr when the window went.
int WaitStatus(op::WaitEnd end) {
  switch (end) {
    case op::WaitEnd::kHeld:
      return 0;
    case op::WaitEnd::kTimedOut:
      return 1;
    case op::WaitEnd::kWindowGone:
      break;
  }
  std::fprintf(stderr, "t6operator: the updater's window is gone\n");
  return 4;
}

int State(const op::UpdaterWindow& window) {
  for (const NamedControl& c : kControls) {
    if (c.id == op::kProgress) {
      std::printf("%-8s %d%%\n", c.name, window.Progress());
    } else {
      std::printf("%-8s %-8s \"%s\"\n", c.name, window.Enabled(c.id) ? "enabled" : "disabled",
                  window.Text(c.id).c_str());
    }
  }
  std::printf("focus    %s\nwindow   %s\n", ControlName(window.FocusedId()),
              window.Minimised() ? "minimised" : "shown");
  return 0;
}

int Run(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  const auto arg = [&](int i) -> const char* { return i < argc ? argv[i] : nullptr; };

  if (command == "watch") return Watch(arg(2) != nullptr && std::strcmp(arg(2), "--tty") == 0);
  if (command == "open") return arg(2) && op::OpenFile(0, arg(2), kFindWindowMs) ? 0 : (arg(2) ? 1 : Usage());
  if (command == "cancel-open") return op::CancelOpen(0, kFindWindowMs) ? 0 : 1;
  if (command == "answer") {
    if (arg(2) == nullptr) return Usage();
    const op::AnsweredBox box = op::AnswerBox(0, arg(2), kFindWindowMs);
    for (const std::string& text : box.texts) std::printf("%s\n", text.c_str());
    return box.found ? 0 : 1;
  }

  // Only the wait for the device waits for the window to appear (the updater
  // may still be starting); every other command acts on the window that is there.
  const DWORD readyMs = command == "wait-ready" && arg(2) ? Milliseconds(arg(2)) : kFindWindowMs;
  const op::UpdaterWindow window = op::UpdaterWindow::WaitFor(0, command == "wait-ready" ? readyMs : kWindowThereMs);
  if (command == "wait-gone") {
    if (arg(2) == nullptr) return Usage();
    return op::WaitUntil([&] { return !window; }, Milliseconds(arg(2))) ? 0 : 1;
  }
  if (!window) {
    std::fprintf(stderr, "t6operator: no updater window\n");
    return 4;
  }
  if (command == "wait-ready") return WaitStatus(window.WaitForReady(readyMs));
  if (command == "wait-text" && arg(4)) {
    const int id = ControlId(arg(2));
    return id != 0 ? WaitStatus(window.WaitForText(id, arg(3), Milliseconds(arg(4)))) : Usage();
  }
  if (command == "wait-enabled" && arg(3)) {
    const int id = ControlId(arg(2));
    return id != 0 ? WaitStatus(window.WaitForEnabled(id, Milliseconds(arg(3)))) : Usage();
  }
  if (command == "wait-progress" && arg(3)) {
    return WaitStatus(window.WaitForProgress(static_cast<int>(Number(arg(2))), Milliseconds(arg(3))));
  }
  if (command == "dismiss") return op::DismissBoxes(window.pid(), 5000) ? 0 : 1;
  if (command == "click" && arg(2)) {
    const int id = ControlId(arg(2));
    if (id == 0) return Usage();
    return window.Click(id) ? 0 : 3;
  }
  if (command == "focus" && arg(2)) {
    const int id = ControlId(arg(2));
    if (id == 0) return Usage();
    return window.Focus(id) ? 0 : 1;
  }
  if (command == "key" && arg(2)) {
    const int id = arg(3) ? ControlId(arg(3)) : 0;
    if (arg(3) && id == 0) return Usage();
    window.PressKey(static_cast<WORD>(std::strtoul(arg(2), nullptr, 0)), id);
    return 0;
  }
  if (command == "minimise") {
    window.Minimise();
    return op::WaitUntil([&] { return window.Minimised(); }, 3000) ? 0 : 1;
  }
  if (command == "restore") {
    window.Restore();
    return op::WaitUntil([&] { return !window.Minimised(); }, 3000) ? 0 : 1;
  }
  if (command == "close") {
    window.Close();
    return 0;
  }
  if (command == "state") return State(window);
  return Usage();
}

}  // namespace

int main() {
  // The output goes to a shell that compares lines: no "\r\n".
  _setmode(_fileno(stdout), _O_BINARY);
  // The arguments as the system has them, in UTF-8: a path may hold any character.
  int argc = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (wide == nullptr) return Usage();
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  return Run(argc, argv.data());
}
