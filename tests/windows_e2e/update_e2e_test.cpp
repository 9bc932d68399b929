// The updater from outside its process, as an operator uses it: found by its
// window, driven through its buttons, keys and the platform's file-open
// dialog, and judged by what it shows and what the simulated device received.
// What the search and the dialog decide in every case is tested natively.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "tests/windows_e2e/updater_run.h"
#include "tools/sysex_stream.h"

namespace {

using e2e::kExitBoundMs;
using e2e::Update;
using e2e::UpdateFile;

// Folder and file names outside every ANSI code page, as an operator's
// Downloads folder may have them: "ファームウェア 更新 ✓" and "t6 – 版.mid".
// (Wine's file-open dialog cannot take a path of 260 characters or more: the
// in-process dialog test takes such a path from the file box on.)
constexpr char kUnicodeFolder[] =
    "\xE3\x83\x95\xE3\x82\xA1\xE3\x83\xBC\xE3\x83\xA0\xE3\x82\xA6\xE3\x82\xA7\xE3\x82\xA2 \xE6\x9B\xB4\xE6\x96\xB0 "
    "\xE2\x9C\x93";
constexpr char kUnicodeFile[] = "t6 \xE2\x80\x93 \xE7\x89\x88.mid";

struct DeviceCase {
  const char* name;
  std::string config;
  const char* outcome;   // the status line at the end
  std::size_t failedAt;  // the write the simulator fails (from 1); 0 for none
  bool closeWithEsc;     // Esc once the transfer is over; otherwise Close
};

void PrintTo(const DeviceCase& c, std::ostream* os) { *os << c.name; }

class FullUpdate : public testing::TestWithParam<DeviceCase> {};

// The file box shows the path exactly as picked from a folder named outside
// the ANSI code page, and the device receives the file.
TEST_P(FullUpdate, TheDeviceReceivesTheFilesSysExStreamOnTimeAndCloseEndsTheProgram) {
  const DeviceCase& c = GetParam();
  const Bytes bytes = UpdateFile();
  SysExStream expected;
  std::string error;
  ASSERT_TRUE(ReadSysExStream(bytes, expected, error)) << error;
  const TempFolder folder(kUnicodeFolder);
  const TempFile file(bytes, folder.path() / std::filesystem::u8path(kUnicodeFile));

  e2e::Run run(c.config);
  const op::UpdaterWindow window = run.process().Window();
  ASSERT_TRUE(window);
  ASSERT_EQ(op::WaitEnd::kHeld, window.WaitForReady(e2e::kReadyBoundMs));
  std::uint64_t pressed = 0;
  ASSERT_TRUE(Update(window, file.path(), &pressed));
  EXPECT_EQ(file.path(), window.Text(op::kFileName));
  EXPECT_EQ(c.outcome, window.Text(op::kStatus));
  EXPECT_FALSE(window.Enabled(op::kBrowse));
  if (c.failedAt == 0) {
    EXPECT_EQ(100, window.Progress());
  }

  // Close (or Esc, now that the transfer is over) ends the program, which lets
  // every driver object go.
  if (c.closeWithEsc) {
    window.PressKey(VK_ESCAPE);
  } else {
    ASSERT_TRUE(window.Click(op::kStart));
  }
  sim::SimReport report;
  ASSERT_TRUE(run.EndedCleanly(kExitBoundMs, report));

  // No first chunk before its due time, counted from the press of Start;
  // after a failed write, nothing more.
  const CaptureCheck check = CheckCapture(expected, report.writes, report.stats.ticksPerSecond, pressed);
  EXPECT_EQ(0u, CountEarly(check));
  if (c.failedAt == 0) {
    EXPECT_TRUE(check.equal) << check.mismatch;
  } else {
    EXPECT_TRUE(check.prefix) << check.mismatch;
    ASSERT_EQ(c.failedAt, report.writes.size());
    EXPECT_LT(report.writes.back().result, 0);
  }
}

// Each device through another driver service; the model and the service's
// class make no other difference to the search (tested natively).
INSTANTIATE_TEST_SUITE_P(DevicesAndServices, FullUpdate,
                         testing::Values(DeviceCase{"t6_fw", e2e::kT6, e2e::kTransferComplete, 0, false},
                                         DeviceCase{"t10_qbus", "classes = qbus\n" + std::string(e2e::kT10),
                                                    e2e::kTransferComplete, 0, true},
                                         DeviceCase{"write_fails", "write_fail_at = 5\n" + std::string(e2e::kT6),
                                                    "FW communication error!!", 5, true}),
                         [](const testing::TestParamInfo<DeviceCase>& info) { return std::string(info.param.name); });

struct SearchCase {
  const char* name;
  const char* config;
  const char* status;  // after the search has ended
  const char* port;
  std::uint32_t nodeLists;  // the start-up's, then one an attempt
};

void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

class Search : public testing::TestWithParam<SearchCase> {};

// Each failing search makes eleven attempts a second apart before it shows
// the step that failed last; a device switched on in between is found, and so
// is one that the driver learns of through a window on the search's thread,
// which that thread serves while it pauses.
TEST_P(Search, EndsWithTheMessageOfTheStepThatFailedLast) {
  e2e::Run run(GetParam().config);
  const op::UpdaterWindow window = run.process().Window();
  ASSERT_TRUE(window);
  const std::string searching = "Searching for FW device...";
  ASSERT_EQ(op::WaitEnd::kHeld, window.WaitForText(op::kStatus, searching, 2000));
  ASSERT_EQ(op::WaitEnd::kHeld, op::WaitOnWindow(
                                    window, [&] { return window.Text(op::kStatus) != searching; }, 30000));
  window.WaitForText(op::kPortName, GetParam().port, 1000);
  EXPECT_EQ(GetParam().status, window.Text(op::kStatus));
  EXPECT_EQ(GetParam().port, window.Text(op::kPortName));
  EXPECT_EQ(*GetParam().port != '\0', window.Enabled(op::kBrowse));
  EXPECT_FALSE(window.Enabled(op::kStart));

  window.Close();
  sim::SimReport report;
  ASSERT_TRUE(run.EndedCleanly(kExitBoundMs, report));
  EXPECT_EQ(GetParam().nodeLists, report.stats.nodeListCalls);
}

// Every other step, and each in both columns, is tested natively; the qBUS
// service end to end by a full update.
INSTANTIATE_TEST_SUITE_P(
    Steps, Search,
    testing::Values(
        SearchCase{"open_port_null", "open_port = null\nnode = 1 2 0x000A7610 0x7606\nport = 9 FIRM\n",
                   "Can not open FW port!!", "", 12},
        SearchCase{"switched_on_later", "node = 1 2 0x000A7610 0x7606 from=4\nport = 9 FIRM\n", "", "FIRM", 4},
        SearchCase{"learnt_through_a_window",
                   "learn_nodes = window_timer\nnode = 1 2 0x000A7610 0x7606\nport = 9 FIRM\n", "", "FIRM", 3}),
    [](const testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.name); });

// The simulator given no configuration is no device, so that registered on a
// bench PC it can never stand in for the real driver: it serves no class.
TEST(UnconfiguredSimulator, ServesNoDriverService) {
  e2e::Run run(std::nullopt);
  const op::UpdaterWindow window = run.process().Window();
  ASSERT_TRUE(window);
  EXPECT_EQ(op::WaitEnd::kHeld, window.WaitForText(op::kStatus, "Can not get FW/qBUS interface!!", 10000));
  EXPECT_FALSE(window.Enabled(op::kBrowse));
  window.Close();
  DWORD exitCode = 1;
  EXPECT_TRUE(run.process().WaitForExit(kExitBoundMs, exitCode));
  EXPECT_EQ(0u, exitCode);
}

// A cancel in the platform's file-open dialog after a pick leaves no file and
// Start disabled. (What the dialog does with each refused file is tested
// natively, a good pick reaching the file box by the full updates.)
TEST(Browse, ACancelAfterAPickLeavesNoFile) {
  const TempFile good(UpdateFile());
  e2e::Run run(e2e::kT6);
  const op::UpdaterWindow window = run.Ready();
  ASSERT_TRUE(window);
  ASSERT_TRUE(window.Click(op::kBrowse) && op::OpenFile(window.pid(), good.path(), 10000));
  window.Sync();
  EXPECT_TRUE(window.Enabled(op::kStart));
  ASSERT_TRUE(window.Click(op::kBrowse) && op::CancelOpen(window.pid(), 10000));
  window.Sync();
  EXPECT_EQ("", window.Text(op::kFileName));
  EXPECT_FALSE(window.Enabled(op::kStart));
  window.Close();
  DWORD exitCode = 1;
  EXPECT_TRUE(run.process().WaitForExit(kExitBoundMs, exitCode));
}

}  // namespace
