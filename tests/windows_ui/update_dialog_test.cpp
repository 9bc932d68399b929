// The update dialog created from its template, in this process, against the
// simulated driver service: what of its window carries behaviour, a path of
// any length, the session guard, the dialog base's own promises, and the
// resources of the built executable. What an operator does with it is tested
// from outside, in tests/windows_e2e.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/windows_ui/dialog_harness.h"
#include "tools/smf_builder.h"
#include "tools/temp_file.h"
#include "ui/about_dlg_win32.h"
#include "ui/resource.h"

namespace {

using harness::DialogRun;

// What of the window carries behaviour: a file box that shows the path but
// takes no input and no tab stop, the white brush behind it only, the tab
// order, the About command in the system menu, the icon for dragging, and the
// place on the screen. (The title is what the end-to-end tests find it by.)
TEST(UpdateDialog, ShowsThePathInAWhiteBoxThatTakesNoInputAndTabsThroughTheButtons) {
  DialogRun run("classes = none\n");
  ASSERT_TRUE(run.ready());
  const HWND dialog = run.hwnd();
  // Without a driver service nothing can be done but close.
  ASSERT_TRUE(run.RunUntil([&] { return run.code() == 0x80000001u; }));
  EXPECT_FALSE(run.Enabled(IDC_BROWSE));
  EXPECT_FALSE(run.Enabled(IDC_START));

  const LONG fileBox = GetWindowLongW(run.Item(IDC_FILE_NAME), GWL_STYLE);
  EXPECT_EQ(ES_READONLY | ES_AUTOHSCROLL, fileBox & (ES_READONLY | ES_AUTOHSCROLL));

  // Tab goes Browse, Start, About... and round: the file box is no tab stop.
  for (const int id : {IDC_BROWSE, IDC_START}) EnableWindow(run.Item(id), TRUE);
  HWND focus = run.Item(IDC_BROWSE);
  for (const int next : {IDC_START, IDC_ABOUT, IDC_BROWSE}) {
    focus = GetNextDlgTabItem(dialog, focus, FALSE);
    EXPECT_EQ(next, GetDlgCtrlID(focus));
  }
  for (const int id : {IDC_BROWSE, IDC_START}) EnableWindow(run.Item(id), FALSE);

  // The colour request: white behind the file box only.
  const HDC dc = GetDC(dialog);
  const auto fileBrush = SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                      reinterpret_cast<LPARAM>(run.Item(IDC_FILE_NAME)));
  EXPECT_EQ(RGB(255, 255, 255), GetBkColor(dc));
  LOGBRUSH brush = {};
  ASSERT_EQ(static_cast<int>(sizeof(brush)), GetObjectW(reinterpret_cast<HBRUSH>(fileBrush), sizeof(brush), &brush));
  EXPECT_EQ(RGB(255, 255, 255), brush.lbColor);
  const auto statusBrush = SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                        reinterpret_cast<LPARAM>(run.Item(IDC_STATUS)));
  EXPECT_NE(fileBrush, statusBrush);
  ReleaseDC(dialog, dc);

  // "About..." after a separator in the system menu; the icon for dragging.
  const HMENU menu = GetSystemMenu(dialog, FALSE);
  const int items = GetMenuItemCount(menu);
  ASSERT_GE(items, 2);
  EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), GetMenuItemID(menu, items - 1));
  char about[32] = "";
  GetMenuStringA(menu, IDM_ABOUTBOX, about, sizeof(about), MF_BYCOMMAND);
  EXPECT_STREQ("About...", about);
  EXPECT_NE(0u, GetMenuState(menu, items - 2, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_NE(0, SendMessageW(dialog, WM_QUERYDRAGICON, 0, 0));

  // Centred on the screen it opens on.
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
  RECT frame;
  GetWindowRect(dialog, &frame);
  EXPECT_NEAR(monitor.rcWork.left + monitor.rcWork.right, frame.left + frame.right, 2);
  EXPECT_NEAR(monitor.rcWork.top + monitor.rcWork.bottom, frame.top + frame.bottom, 2);
}

bool SessionMayEnd(HWND dialog) { return SendMessageW(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) != FALSE; }

// A path of about 300 characters with characters outside every ANSI code page,
// picked with Browse: the file box shows it whole, scrolled to the file's own
// name, and Start sends it. While the firmware goes out, and only then, the
// dialog refuses to let Windows log off or shut down; once it allowed the end,
// Start waits for the session to go on; a session that ends closes the dialog
// and lets every driver object go.
TEST(UpdateDialog, TakesAnyPathAndHoldsTheSessionOnlyWhileSending) {
  std::string folderName;
  for (int i = 0; i < 5; ++i) folderName += std::string(50, static_cast<char>('a' + i)) + "\\";
  const TempFolder folder(folderName + "\xE3\x83\x95\xE3\x82\xA1\xE3\x83\xBC\xE3\x83\xA0 \xE2\x9C\x93");
  // Two messages a second apart: time to ask while the transfer runs.
  const Bytes bytes = BuildSmf(
      0, 480,
      {TrackBuilder().Delta(0).SysEx({0x01, 0xF7}).Delta(960).SysEx({0x02, 0xF7}).Delta(0).EndOfTrack().body()});
  const TempFile file(bytes, folder.path() / std::filesystem::u8path("t6 \xE2\x80\x93 \xE7\x89\x88.mid"));
  ASSERT_GT(file.path().size(), 300u);

  DialogRun run("node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\n");
  ASSERT_TRUE(run.ready());
  EXPECT_TRUE(SessionMayEnd(run.hwnd()));
  ASSERT_TRUE(run.Browse(file.path()));
  EXPECT_EQ(file.path(), ItemText(run.hwnd(), IDC_FILE_NAME));
  EXPECT_GT(SendMessageW(run.Item(IDC_FILE_NAME), EM_GETFIRSTVISIBLELINE, 0, 0), 0) << "scrolled to the end";
  ASSERT_TRUE(run.Enabled(IDC_START));

  const auto pressStart = [&] {
    SendMessageW(run.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED),
                 reinterpret_cast<LPARAM>(run.Item(IDC_START)));
  };
  ASSERT_TRUE(SessionMayEnd(run.hwnd()));
  pressStart();
  EXPECT_EQ(0u, run.dialog().state().busy.load()) << "a transfer the session end would cut";
  SendMessageW(run.hwnd(), WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
  pressStart();
  ASSERT_TRUE(run.RunUntil([&] { return ItemText(run.hwnd(), IDC_STATUS) == "Installing..."; }));
  EXPECT_FALSE(SessionMayEnd(run.hwnd()));
  ASSERT_TRUE(run.RunUntil([&] { return ItemText(run.hwnd(), IDC_START) == "Close"; }));
  EXPECT_TRUE(SessionMayEnd(run.hwnd()));

  SendMessageW(run.hwnd(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_TRUE(run.dialog().ended());
  sim::SimReport report;
  ASSERT_TRUE(run.Report(report));
  EXPECT_EQ(0, report.stats.liveObjects);
  EXPECT_EQ(0u, report.stats.unfreedLists);
  EXPECT_EQ(2u, report.stats.writeCalls);
}

// Ends the current modal run from inside its own loop, once: with a WM_QUIT,
// or with OK to the box, which Ends the run from its handler.
struct ModalRun {
  HWND owner;
  const CDialog& box;
  bool quit;
  bool ownerEnabledWhileShown = true;
};
ModalRun* theRun = nullptr;

void CALLBACK EndFromInsideTheLoop(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  theRun->ownerEnabledWhileShown = IsWindowEnabled(theRun->owner) != FALSE;
  if (theRun->quit) {
    PostQuitMessage(7);
  } else {
    PostMessageW(theRun->box.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
}

// The dialog base's promises: the owner is disabled for the run and enabled
// again after it, End from inside a handler ends the run, and a WM_QUIT that
// ends it is passed on. (That the owner is enabled before the box goes, so
// that it takes the activation back, the focus after the About box shows end
// to end.)
TEST(DialogBase, DisablesTheOwnerEndsFromAHandlerAndPassesAQuitOn) {
  for (const bool quit : {false, true}) {
    SCOPED_TRACE(quit ? "WM_QUIT" : "OK");
    const HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                       nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    CAboutDlg about;
    ModalRun run{owner, about, quit};
    theRun = &run;
    SetTimer(nullptr, 0, 10, &EndFromInsideTheLoop);
    EXPECT_EQ(quit ? IDCANCEL : IDOK, about.DoModal(owner));
    theRun = nullptr;

    EXPECT_FALSE(run.ownerEnabledWhileShown);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(nullptr, about.hwnd());
    MSG message;
    const bool quitQueued = PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    EXPECT_EQ(quit, quitQueued);
    if (quitQueued) {
      EXPECT_EQ(7u, message.wParam);
    }
    DestroyWindow(owner);
  }
}

// A resource of the built updater, read without running it.
std::string ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name) {
  const HRSRC found = FindResourceW(module, name, type);
  if (found == nullptr) return {};
  const HGLOBAL loaded = LoadResource(module, found);
  return std::string(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
}

std::string VersionString(const std::vector<char>& block, const char* key) {
  char* value = nullptr;
  UINT length = 0;
  const std::string path = std::string("\\StringFileInfo\\040904b0\\") + key;
  if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) return {};
  return std::string(value);
}

TEST(UpdaterExecutable, CarriesItsVersionManifestAndIcon) {
  const HMODULE exe =
      LoadLibraryExA(T6_UPDATER_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(nullptr, exe) << T6_UPDATER_EXE;

  const std::string manifest = ResourceBytes(exe, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
  for (const char* part : {"Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"", "level=\"asInvoker\"",
                           "<dpiAware", "true/pm", "PerMonitorV2", "supportedOS",
                           "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true<"}) {
    EXPECT_NE(std::string::npos, manifest.find(part)) << part;
  }

  // The icon group: an image for each size the window loads at 96 to 192 DPI,
  // so that none is stretched (small icon 16, 20, 24, 32; large 32, 40, 48, 64),
  // and 256 (written 0) for Explorer.
  const std::string group = ResourceBytes(exe, MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(IDR_MAINFRAME));
  ASSERT_EQ(6u + 14u * 8, group.size());
  EXPECT_EQ(8, group[4] | group[5] << 8);
  std::vector<int> widths;
  for (int i = 0; i < 8; ++i) widths.push_back(static_cast<unsigned char>(group[6 + 14 * i]));
  std::sort(widths.begin(), widths.end());
  EXPECT_EQ((std::vector<int>{0, 16, 20, 24, 32, 40, 48, 64}), widths);

  FreeLibrary(exe);

  DWORD ignored = 0;
  std::vector<char> block(GetFileVersionInfoSizeA(T6_UPDATER_EXE, &ignored));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoA(T6_UPDATER_EXE, 0, static_cast<DWORD>(block.size()), block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);  // 1.0
  EXPECT_EQ(0x00010000u, fixed->dwFileVersionLS);  // .1.0
  EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
  EXPECT_EQ("t6/t10 Update Program", VersionString(block, "FileDescription"));
  EXPECT_EQ("t6/t10 Update Program", VersionString(block, "ProductName"));
  EXPECT_EQ("1.0.1.0", VersionString(block, "FileVersion"));
  EXPECT_FALSE(VersionString(block, "CompanyName").empty());
  EXPECT_FALSE(VersionString(block, "LegalCopyright").empty());
}

}  // namespace
