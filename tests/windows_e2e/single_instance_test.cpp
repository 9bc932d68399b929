// One copy at a time: a second start brings the first copy's window forward
// and ends without showing anything. These tests look for windows by title
// across the whole desktop, so they run alone.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/windows_e2e/updater_run.h"

namespace {

// A window of this process that takes the foreground, as another program would.
class ForegroundWindow {
 public:
  ForegroundWindow()
      : hwnd_(CreateWindowExA(0, "STATIC", "another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300, 100,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr)) {
    SetForegroundWindow(hwnd_);
    op::WaitUntil([&] { return Pump() && GetForegroundWindow() == hwnd_; }, 3000);
  }
  ~ForegroundWindow() { DestroyWindow(hwnd_); }
  ForegroundWindow(const ForegroundWindow&) = delete;
  ForegroundWindow& operator=(const ForegroundWindow&) = delete;
  HWND hwnd() const { return hwnd_; }

  static bool Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    return true;
  }

 private:
  HWND hwnd_;
};

// Starts a second copy and follows it to its end; false if it ever showed a window.
bool SecondCopyEndsShowingNothing(const std::string& exe, DWORD& exitCode) {
  e2e::UpdaterProcess second;
  if (!second.Start(exe)) return false;
  bool shown = false;
  const bool ended = op::WaitUntil(
      [&] {
        ForegroundWindow::Pump();
        shown = shown || op::HasVisibleWindow(second.pid());
        return !second.Running();
      },
      e2e::kReadyBoundMs);
  return ended && second.WaitForExit(0, exitCode) && !shown;
}

// Also while the first copy's driver does not answer: its window answers.
TEST(SingleInstance, ASecondStartBringsTheFirstForwardRestoredAndEndsAtOnce) {
  const struct {
    const char* what;
    std::string config;
    DWORD exitCode;  // of the first copy, once closed: 3 with a driver call pending
  } cases[] = {{"searching", e2e::kT6, 0},
               {"its first node list hangs", "get_node_list_latency_us = hang 1\n" + std::string(e2e::kT6), 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    e2e::Run first(c.config, "t6single");
    const op::UpdaterWindow window = first.process().Window();
    ASSERT_TRUE(window);
    window.Minimise();
    ASSERT_TRUE(op::WaitUntil([&] { return window.Minimised(); }, 3000));
    const ForegroundWindow other;
    ASSERT_EQ(other.hwnd(), GetForegroundWindow());

    DWORD exitCode = 1;
    EXPECT_TRUE(SecondCopyEndsShowingNothing(first.copy().path(), exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(op::WaitUntil([&] { return ForegroundWindow::Pump() && !window.Minimised(); }, 3000));
    EXPECT_EQ(window.hwnd(), GetForegroundWindow());
    EXPECT_TRUE(first.process().Running());

    if (c.exitCode != 0) {
      ASSERT_TRUE(first.CallBegun("get_node_list 1"));
    }
    window.Close();
    EXPECT_TRUE(first.process().WaitForExit(e2e::kExitBoundMs, exitCode));
    EXPECT_EQ(c.exitCode, exitCode);
  }
}

TEST(SingleInstance, ASecondStartBeforeTheFirstHasAWindowEndsBringingNothingForward) {
  const e2e::UpdaterCopy copy("t6single-early");
  ASSERT_TRUE(copy.ok());
  // The first copy holds its mutex, named after the executable, but has no window yet.
  const HANDLE mutex = CreateMutexA(nullptr, TRUE, "t6single-early");
  ASSERT_NE(nullptr, mutex);
  const ForegroundWindow other;

  DWORD exitCode = 1;
  EXPECT_TRUE(SecondCopyEndsShowingNothing(copy.path(), exitCode));
  EXPECT_EQ(0u, exitCode);
  EXPECT_EQ(other.hwnd(), GetForegroundWindow());
  CloseHandle(mutex);
}

}  // namespace
