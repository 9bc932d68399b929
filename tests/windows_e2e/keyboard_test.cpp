// The keyboard of the updater, pressed from outside its process. The key
// filter sits in the updater's own message loop, before the dialog manager:
// what each key does is tested natively. The focus follows the foreground,
// which any other test's new window takes, so these tests run alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/windows_e2e/updater_run.h"

namespace {

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// A key's effect is judged once the updater has handled it: it handles the
// focus move posted after the key only then.
TEST(Keyboard, OnlyNavigationEnterAndEscWhenIdleDoAnything) {
  const TempFile file(e2e::UpdateFile(480));  // about 11 s of transfer: time to press Esc
  e2e::Run run(e2e::kT6);
  const op::UpdaterWindow window = run.Ready();
  ASSERT_TRUE(window);

  // Enter on the file box with no file warns; Space on Browse, which the
  // dialog manager would press, opens no file dialog.
  window.PressKey(VK_RETURN, op::kFileName);
  EXPECT_TRUE(Contains(op::AnswerBox(window.pid(), op::kUpdaterTitle, 5000).texts, "Input Update File!!"));
  window.PressKey(VK_SPACE, op::kBrowse);
  const bool handled = window.Focus(op::kAbout);
  EXPECT_FALSE(op::HasOpenDialog(window.pid())) << "Space on Browse opened the file dialog";
  ASSERT_TRUE(handled);

  ASSERT_TRUE(window.Click(op::kBrowse) && op::OpenFile(window.pid(), file.path(), 10000));
  window.Sync();
  window.PressKey(VK_RETURN, op::kStart);
  ASSERT_TRUE(e2e::Installing(window));
  // A dialog that Esc had ended would take no more input.
  window.PressKey(VK_ESCAPE);
  ASSERT_TRUE(window.Focus(op::kAbout)) << "Esc must not end a transfer";
  EXPECT_EQ("Installing...", window.Text(op::kStatus));

  // The About box open while the transfer ends: once it closes, the focus is on
  // Close, and Enter ends the program rather than opening About again.
  window.PressKey(VK_RETURN, op::kAbout);
  ASSERT_EQ(op::WaitEnd::kHeld, window.WaitForText(op::kStart, "Close", e2e::kTransferBoundMs));
  EXPECT_TRUE(
      Contains(op::AnswerBox(window.pid(), op::kAboutTitle, 5000).texts, "t6/t10 Update Program Version 1.0.1"));
  EXPECT_TRUE(op::WaitUntil([&] { return window.FocusedId() == op::kStart; }, 3000))
      << "the focus is on control " << window.FocusedId();
  window.PressKey(VK_RETURN);
  DWORD exitCode = 1;
  EXPECT_TRUE(run.process().WaitForExit(e2e::kExitBoundMs, exitCode)) << "Enter on Close ends the program";
}

}  // namespace
