// Closing the updater at any moment, by its close box: while it searches,
// with the device ready, during a transfer and after it. Every time the
// process must end promptly and cleanly and release every driver object.
// The moments are random; the seed is printed, and T6_CLOSE_SEED replays it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/windows_e2e/updater_run.h"

namespace {

constexpr int kRunsPerShard = 10;
constexpr DWORD kCloseBoundMs = 2000;

enum class Phase { kSearching, kReady, kTransferring, kDone };
const char* const kPhaseNames[] = {"searching", "device ready", "transferring", "done"};

unsigned Seed(int shard) {
  static const unsigned base = [] {
    const char* given = std::getenv("T6_CLOSE_SEED");
    return given != nullptr ? static_cast<unsigned>(std::strtoul(given, nullptr, 0)) : std::random_device{}();
  }();
  return base + static_cast<unsigned>(shard);
}

class CloseAnyTime : public testing::TestWithParam<int> {};

TEST_P(CloseAnyTime, EndsWithinTwoSecondsAndReleasesEverything) {
  const unsigned seed = Seed(GetParam());
  std::printf("seed %u (replay this shard with T6_CLOSE_SEED=%u)\n", seed, seed - GetParam());
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const TempFile file(e2e::UpdateFile(160));  // about 2 s of transfer

  for (int i = 0; i < kRunsPerShard; ++i) {
    const auto phase = static_cast<Phase>(random() % 4);
    const DWORD delay = random() % (phase == Phase::kSearching ? 1900u : phase == Phase::kTransferring ? 1500u : 300u);
    const std::string what = std::string("run ") + std::to_string(i) + ", " + kPhaseNames[static_cast<int>(phase)] +
                             " + " + std::to_string(delay) + " ms";
    SCOPED_TRACE(what);

    e2e::Run run(e2e::kT6, "t6close-" + std::to_string(GetParam()));
    const op::UpdaterWindow window = run.process().Window();
    ASSERT_TRUE(window);
    if (phase != Phase::kSearching) {
      ASSERT_TRUE(run.Ready());
    }
    if (phase == Phase::kTransferring) {
      ASSERT_TRUE(e2e::StartTransfer(window, file.path()));
      ASSERT_TRUE(e2e::Installing(window));
    }
    if (phase == Phase::kDone) {
      ASSERT_TRUE(e2e::Update(window, file.path()));
    }
    Sleep(delay);

    window.Close();
    sim::SimReport report;
    ASSERT_TRUE(run.EndedCleanly(kCloseBoundMs, report)) << "2 s after the close";
  }
}

INSTANTIATE_TEST_SUITE_P(Shards, CloseAnyTime, testing::Values(0, 1, 2));

// The operator's waits end at once, and say so, when the updater's window goes
// (the program closed or crashed in the middle): nothing it shows can change.
TEST(OperatorWaits, EndAtOnceWhenTheUpdatersWindowGoes) {
  e2e::Run run(e2e::kT6, "t6gone");
  const op::UpdaterWindow window = run.process().Window();
  ASSERT_TRUE(window);
  std::thread crash([&] {
    Sleep(500);  // into the first wait
    run.process().Kill();
  });
  EXPECT_EQ(op::WaitEnd::kWindowGone, window.WaitForText(op::kStart, "Close", 60000));
  EXPECT_EQ(op::WaitEnd::kWindowGone, window.WaitForReady(60000));
  EXPECT_EQ(op::WaitEnd::kWindowGone, window.WaitForEnabled(op::kStart, 60000));
  EXPECT_EQ(op::WaitEnd::kWindowGone, window.WaitForProgress(100, 60000));
  crash.join();
}

// The updater's exit code when it ended leaving a driver call that had not returned.
constexpr DWORD kExitWorkerStuck = 3;

// After its close box, the process ends within about 3 s with kExitWorkerStuck,
// its window on screen until then, so that a second start never meets a copy
// without a window.
void ExpectEndsStuckWithItsWindowShown(e2e::Run& run) {
  ULONGLONG windowlessSince = 0;
  bool windowless = false;
  const bool ended = op::WaitUntil(
      [&] {
        const bool shown = op::HasVisibleWindow(run.process().pid());
        if (!run.process().Running()) return true;
        if (shown) {
          windowlessSince = 0;
        } else if (windowlessSince == 0) {
          windowlessSince = GetTickCount64();
        } else {
          windowless = windowless || GetTickCount64() - windowlessSince > 200;
        }
        return false;
      },
      3500);
  ASSERT_TRUE(ended) << "still running 3.5 s after the close";
  EXPECT_FALSE(windowless) << "running with no window";
  DWORD exitCode = 0;
  ASSERT_TRUE(run.process().WaitForExit(0, exitCode));
  EXPECT_EQ(kExitWorkerStuck, exitCode);
}

// A write that does not return for 30 s, as a device unplugged in the middle
// of one can leave it: a close still ends the program, without releasing any
// of the driver's objects or letting its DLL go under the write, and a second
// start runs normally.
TEST(CloseDuringAStuckWrite, EndsWithinThreeSecondsWithItsWindowShownUntilThen) {
  const TempFile file(e2e::UpdateFile());
  e2e::Run run(std::string(e2e::kT6) + "write_latency_us = 30000000\n", "t6stuck");
  const op::UpdaterWindow window = run.Ready();
  ASSERT_TRUE(window);
  ASSERT_TRUE(e2e::StartTransfer(window, file.path()));
  ASSERT_TRUE(e2e::Installing(window));
  ASSERT_TRUE(run.CallBegun("write 1"));  // and stays so

  window.Close();
  ExpectEndsStuckWithItsWindowShown(run);
  for (const std::string& call : run.CallsAfter("write 1")) {
    EXPECT_NE(0u, call.rfind("release ", 0)) << "a driver object released under the write";
    EXPECT_NE(0u, call.rfind("can_unload_now ", 0)) << "COM asked to unload the driver under the write";
  }

  e2e::UpdaterProcess second;
  ASSERT_TRUE(second.Start(run.copy().path()));
  const op::UpdaterWindow secondWindow = second.Window();
  ASSERT_TRUE(secondWindow) << "the second start must run normally";
  secondWindow.Close();
  DWORD exitCode = 1;
  EXPECT_TRUE(second.WaitForExit(e2e::kExitBoundMs, exitCode));
  EXPECT_EQ(0u, exitCode);
}

// A driver that does not answer at start-up, as one left wedged by an unplug
// can: the window shows and answers, with the service's searching text, long
// before the first node list comes, and its close box ends the program.
TEST(CloseWhileTheFirstNodeListHangs, TheWindowAnswersAndEndsWithinThreeSeconds) {
  e2e::Run run(std::string(e2e::kT6) + "get_node_list_latency_us = 30000000 1\n", "t6wedged");
  const op::UpdaterWindow window = op::UpdaterWindow::WaitFor(run.process().pid(), 10000);
  ASSERT_TRUE(window) << "no window while the driver's first node list is pending";
  EXPECT_EQ(op::WaitEnd::kHeld, window.WaitForText(op::kStatus, "Searching for FW device...", 5000));
  EXPECT_FALSE(window.Enabled(op::kBrowse));
  ASSERT_TRUE(run.CallBegun("get_node_list 1"));
  window.Close();
  ExpectEndsStuckWithItsWindowShown(run);
}

// A close during a slow attempt is seen before the attempt's next driver call:
// the program ends cleanly, having let every object go, though the rest of the
// attempt would outlast the close's bound.
TEST(CloseDuringASlowAttempt, EndsCleanlyBeforeTheNextDriverCall) {
  e2e::Run run(std::string(e2e::kT6) +
                   "open_device_latency_us = 1500000\nget_port_list_latency_us = 1500000\n"
                   "open_port_latency_us = 1500000\n",
               "t6slow");
  const op::UpdaterWindow window = run.process().Window();
  ASSERT_TRUE(window);
  ASSERT_TRUE(run.CallBegun("open_device 1"));
  window.Close();
  sim::SimReport report;
  ASSERT_TRUE(run.EndedCleanly(kCloseBoundMs, report)) << "2 s after the close";
  EXPECT_EQ(0u, report.stats.openPortCalls);
}

// A close while a message of three chunks goes out over a slow but healthy
// bus, each write taking 1.2 s (4096 bytes at MIDI speed take 1.3 s): the
// device receives that whole message, and nothing after it, and the program
// then ends cleanly, however long the three writes take together.
TEST(CloseWhileAMessageGoesOut, SendsItsLastChunkAndNothingMore) {
  const Bytes message = SyntheticFirmware(10000, 1);
  TrackBuilder track;
  track.Delta(0).SysEx(message).Delta(960).SysEx({0x02, 0xF7}).Delta(0).EndOfTrack();
  const TempFile file(BuildSmf(0, 480, {track.body()}));
  e2e::Run run(std::string(e2e::kT6) + "write_latency_us = 1200000\n", "t6chunks");
  const op::UpdaterWindow window = run.Ready();
  ASSERT_TRUE(window);
  ASSERT_TRUE(e2e::StartTransfer(window, file.path()));
  ASSERT_TRUE(run.CallBegun("write 1"));
  window.Close();
  sim::SimReport report;
  ASSERT_TRUE(run.EndedCleanly(10000, report)) << "10 s after the close";
  Bytes received;
  for (const sim::CapturedWrite& write : report.writes) {
    received.insert(received.end(), write.bytes.begin(), write.bytes.end());
  }
  Bytes expected = {0xF0};
  expected.insert(expected.end(), message.begin(), message.end());
  EXPECT_EQ(3u, report.writes.size());
  EXPECT_TRUE(expected == received) << received.size() << " bytes: the whole first message, nothing of the second";
  // Releases reach the calls file: the stuck write's test sees that none came.
  const std::vector<std::string> after = run.CallsAfter("write 3");
  EXPECT_TRUE(std::any_of(after.begin(), after.end(), [](const std::string& call) {
    return call.rfind("release ", 0) == 0;
  })) << "the objects let go once the message is out";
}

}  // namespace
