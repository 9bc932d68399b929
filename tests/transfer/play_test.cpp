// Play: what reaches the port, in which chunks and slots, when, and how the
// transfer ends. Track bodies are written out byte by byte; every file has
// division 480 unless a case says otherwise, and the tempo is 500000.
#include <gtest/gtest.h>

#include "transfer/rq_data_play.h"
#include "transfer_fakes.h"

namespace {

using fakes::MessageBytes;
using fakes::PlayRun;

constexpr std::uint32_t kAtOnce = 1;  // the first reading after the start, on a counter that steps by 1
const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::vector<Bytes> Sent(const PlayRun& run) {
  std::vector<Bytes> out;
  for (const fakes::Chunk& c : run.port.chunks) out.push_back(c.bytes);
  return out;
}

TEST(Play, TrackOfOnlyEndOfTrackWritesNothingAndFinishes) {
  PlayRun run(fakes::FileWithTrack(kEndOfTrack));
  run.Play();
  EXPECT_EQ(0, run.port.calls);
  EXPECT_EQ(CSMF::kOk, run.player->error());
  EXPECT_EQ((std::vector<std::pair<std::uint16_t, std::uint16_t>>{{0, 100}}), run.progress.ranges);
  EXPECT_EQ(std::vector<std::uint32_t>{100}, run.progress.positions);
}

struct SplitCase {
  std::uint32_t length;  // message bytes after the 0xF0
  std::vector<std::size_t> chunks;
};

TEST(Play, SplitsAMessageIntoTheStatusChunkAndFullSlots) {
  const SplitCase cases[] = {
      {0, {1}},  // the status byte alone
      {1, {2}},
      {4095, {4096}},
      {4096, {4096, 1}},
      {8191, {4096, 4096}},
      {10000, {4096, 4096, 1809}},
  };
  for (const SplitCase& c : cases) {
    const Bytes message = MessageBytes(c.length);
    TrackBuilder track;
    track.Delta(0).SysEx(message).Delta(0).EndOfTrack();
    PlayRun run(fakes::FileWithTrack(track.body()));
    run.Play();

    ASSERT_EQ(c.chunks.size(), run.port.chunks.size()) << c.length;
    Bytes joined;
    for (std::size_t i = 0; i < c.chunks.size(); ++i) {
      const fakes::Chunk& chunk = run.port.chunks[i];
      EXPECT_EQ(c.chunks[i], chunk.bytes.size()) << c.length << " chunk " << i;
      if (i > 0) {
        EXPECT_EQ(run.port.chunks[i - 1].at + CRQDataPlay::kSlotSize, chunk.at) << "next slot";
      }
      joined.insert(joined.end(), chunk.bytes.begin(), chunk.bytes.end());
    }
    EXPECT_EQ(Concat({{0xF0}, message}), joined) << c.length;
    EXPECT_EQ(CSMF::kOk, run.player->error());
  }
}

TEST(Play, SeventeenMessagesWrapTheRingToItsFirstSlot) {
  TrackBuilder track;
  for (int i = 0; i < 17; ++i) track.Delta(0).SysEx({static_cast<std::uint8_t>(i), 0xF7});
  PlayRun run(fakes::FileWithTrack(track.Delta(0).EndOfTrack().body()));
  run.Play();

  ASSERT_EQ(17u, run.port.chunks.size());
  const std::uint8_t* slot0 = run.port.chunks[0].at;
  for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(slot0 + i * CRQDataPlay::kSlotSize, run.port.chunks[i].at);
  EXPECT_EQ(slot0, run.port.chunks[16].at);
  EXPECT_EQ((Bytes{0xF0, 16, 0xF7}), run.port.chunks[16].bytes);
}

TEST(Play, MultiChunkMessagesKeepEverySlotIntactForFifteenWrites) {
  // Nine messages of three chunks each: 27 writes, the ring wraps in mid-message.
  TrackBuilder track;
  for (int i = 0; i < 9; ++i) track.Delta(0).SysEx(MessageBytes(9000, static_cast<std::uint8_t>(i)));
  PlayRun run(fakes::FileWithTrack(track.Delta(0).EndOfTrack().body()));
  run.Play();  // the port checks the slots on every write
  EXPECT_EQ(27u, run.port.chunks.size());
  EXPECT_EQ(run.port.chunks[0].at, run.port.chunks[16].at);
}

struct PacingCase {
  const char* what;
  std::uint16_t division;
  std::uint32_t tempo;
  Bytes body;
  std::vector<std::uint32_t> sentAt;  // ms after the start, per write
};

TEST(Play, SendsEachMessageAtTheFirstReadingThatReachesItsDueTime) {
  const PacingCase cases[] = {
      {"tick 0 goes at once", 480, 500000,
       {0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00},
       {kAtOnce}},
      {"tick 960 at division 480 is due at 1000 ms", 480, 500000,
       {0x87, 0x40, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00},
       {1000}},
      {"Set Tempo to 250000 is ignored", 480, 500000,
       {0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90, /**/ 0x87, 0x40, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00},
       {1000}},
      {"the caller's tempo paces", 480, 1000000,
       {0x87, 0x40, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00},
       {2000}},
      {"a note's delta delays the next message", 480, 500000,
       {0x00, 0xF0, 0x01, 0xF7,         // tick 0
        0x83, 0x60, 0x90, 0x3C, 0x40,   // note on at tick 480, not sent
        0x83, 0x60, 0xF0, 0x01, 0xF7,   // tick 960
        0x00, 0xFF, 0x2F, 0x00},
       {kAtOnce, 1000}},
      {"division 96: tick 96 is due at 500 ms", 96, 500000,
       {0x60, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00},
       {500}},
      {"further chunks follow at once", 480, 500000,
       Concat({{0x87, 0x40, 0xF0, 0xA0, 0x20}, MessageBytes(4128), {0x00, 0xFF, 0x2F, 0x00}}),  // 4128 bytes
       {1000, 1000}},
  };
  for (const PacingCase& c : cases) {
    // The counter wraps past 2^32 while the transfer waits.
    PlayRun run(fakes::FileWithTrack(c.body, c.division), 0xFFFFFE00u);
    run.Play(c.tempo);
    ASSERT_EQ(c.sentAt.size(), run.port.chunks.size()) << c.what;
    for (std::size_t i = 0; i < c.sentAt.size(); ++i) EXPECT_EQ(c.sentAt[i], run.TimeOf(i)) << c.what;
    EXPECT_EQ(CSMF::kOk, run.player->error()) << c.what;
  }
}

TEST(Play, PacingIsAbsoluteSoALateMessageDoesNotShiftTheRest) {
  const Bytes body = {
      0x00, 0xF0, 0x01, 0xF7,  // tick 0
      0x83, 0x60, 0xF0, 0x01, 0xF7,  // tick 480, due 500 ms
      0x83, 0x60, 0xF0, 0x01, 0xF7,  // tick 960, due 1000 ms
      0x00, 0xFF, 0x2F, 0x00};
  PlayRun run(fakes::FileWithTrack(body));
  run.port.onWrite = [&](int call) {
    if (call == 1) run.counter.Advance(800);  // the first write takes 800 ms
  };
  run.Play();
  ASSERT_EQ(3u, run.port.chunks.size());
  EXPECT_EQ(kAtOnce, run.TimeOf(0));
  EXPECT_EQ(802u, run.TimeOf(1));  // late: goes at the first reading
  EXPECT_EQ(1000u, run.TimeOf(2));
}

TEST(Play, NeverLeavesEarlyHoweverTheSleepsTurnOut) {
  const Bytes body = {
      0x00, 0xF0, 0x01, 0xF7,        // tick 0
      0x60, 0xF0, 0x01, 0xF7,        // tick 96, due 100 ms
      0x01, 0xF0, 0x01, 0xF7,        // tick 97, due 101 ms
      0x8E, 0x08, 0xF0, 0x01, 0xF7,  // tick 1897, due 1976 ms
      0x00, 0xFF, 0x2F, 0x00};
  const std::uint32_t due[] = {0, 100, 101, 1976};
  const struct {
    const char* what;
    std::vector<int> errors;  // ms added to each sleep in turn
    std::uint32_t lateBy;     // at most, for every message
    bool sleeps;              // the time passes in sleeps, not in readings
  } sleepers[] = {
      {"exact", {0}, 0, true},
      {"wakes early", {-1, -3, 0}, 0, true},
      {"wakes at once", {-100000}, 0, false},
      {"oversleeps", {2, 0, 7}, 7, true},
  };
  for (const auto& c : sleepers) {
    PlayRun run(fakes::FileWithTrack(body), 0xFFFFFF00u);  // the counter wraps meanwhile
    fakes::FakeSleeper sleeper(run.counter, c.errors);
    run.Play(500000, &sleeper);
    ASSERT_EQ(4u, run.port.chunks.size()) << c.what;
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_GE(run.TimeOf(i), due[i]) << c.what << ", message " << i;
      EXPECT_LE(run.TimeOf(i), due[i] + c.lateBy + 1) << c.what << ", message " << i;
    }
    for (const std::uint32_t ms : sleeper.requests) {
      EXPECT_LE(ms, CRQDataPlay::kSleepSliceMs) << c.what;
    }
    // Sleeping, not spinning: a few readings a slice, not one a millisecond.
    if (c.sleeps) {
      EXPECT_LT(run.counter.reads(), 3 * 1976 / CRQDataPlay::kSleepSliceMs + 40) << c.what;
    }
    EXPECT_EQ(CSMF::kOk, run.player->error()) << c.what;
  }
}

TEST(Play, AStopDuringALongSleepEndsTheTransferWithinOneSlice) {
  PlayRun run(fakes::FileWithTrack({0xCB, 0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00}));  // due 10 s
  fakes::FakeSleeper sleeper(run.counter, {0});
  sleeper.onSleep = [&](std::size_t sleeps) {
    if (sleeps == 3) run.stop.RequestStop();
  };
  run.Play(500000, &sleeper);
  EXPECT_EQ(3u, sleeper.requests.size()) << "no sleep after the stop";
  EXPECT_TRUE(run.port.chunks.empty());
  EXPECT_EQ(CSMF::kNotFinished, run.player->error());
}

struct StreamCase {
  const char* what;
  Bytes body;
  std::vector<Bytes> sent;
};

TEST(Play, SendsOnlySysExAndFollowsRunningStatus) {
  const StreamCase cases[] = {
      {"0xF7 is not sent", {0x00, 0xF7, 0x02, 0x11, 0x22, /**/ 0x00, 0xFF, 0x2F, 0x00}, {}},
      {"a data byte after 0xF7 is another 0xF7 event",
       {0x00, 0xF7, 0x01, 0x11, /**/ 0x00, 0x01, 0x22, /**/ 0x00, 0xFF, 0x2F, 0x00},
       {}},
      {"a data byte after SysEx is another SysEx",
       {0x00, 0xF0, 0x02, 0x11, 0xF7, /**/ 0x00, 0x03, 0x22, 0x33, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00},
       {{0xF0, 0x11, 0xF7}, {0xF0, 0x22, 0x33, 0xF7}}},
      {"a data byte after a meta event is another meta event",
       {0x00, 0xFF, 0x01, 0x01, 'a',  // text
        0x00, 0x01, 0x01, 'b',        // text by running status
        0x00, 0xF0, 0x01, 0xF7,       //
        0x00, 0xFF, 0x2F, 0x00},
       {{0xF0, 0xF7}}},
      {"End of Track by running status ends the track",
       {0x00, 0xFF, 0x01, 0x00, /**/ 0x00, 0x2F, 0x00, /**/ 0x00, 0xF0, 0x01, 0xF7},
       {}},
      {"channel events and their running status are skipped",
       {0x00, 0x90, 0x3C, 0x40, /**/ 0x00, 0x3C, 0x00, /**/ 0x00, 0xC5, 0x01, /**/ 0x00, 0xF0, 0x01, 0xF7,
        0x00, 0xFF, 0x2F, 0x00},
       {{0xF0, 0xF7}}},
  };
  for (const StreamCase& c : cases) {
    PlayRun run(fakes::FileWithTrack(c.body));
    run.Play();
    EXPECT_EQ(c.sent, Sent(run)) << c.what;
    EXPECT_EQ(CSMF::kOk, run.player->error()) << c.what;
  }
}

struct FailureCase {
  const char* what;
  Bytes body;
  int failAt;
  std::size_t written;
  std::int32_t error;
  std::size_t progressSteps;
  Bytes track1 = {};  // a second track after track 0, whose bytes must never be read
};

TEST(Play, EndsAsFailedOnABrokenTrackOrAFailedWrite) {
  const Bytes goodTrack1 = {0x00, 0xF0, 0x02, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00};
  const Bytes big = Concat({{0x00, 0xF0, 0xCE, 0x10}, MessageBytes(10000)});  // three chunks
  const FailureCase cases[] = {
      {"no End of Track: every message still goes out",
       {0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xF0, 0x01, 0xF7}, 0, 2, CSMF::kMalformed, 2},
      {"the track ends right after a delta time", {0x00, 0xF0, 0x01, 0xF7, /**/ 0x00}, 0, 1, CSMF::kNotFinished, 1},
      {"End of Track without its length byte", {0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F}, 0, 1,
       CSMF::kMalformed, 2},
      {"End of Track whose length runs past the track", {0x00, 0xFF, 0x2F, 0x05, 0x00}, 0, 0, CSMF::kMalformed, 1},
      {"0xF1 has no length rule", {0x00, 0xF1, 0x00, /**/ 0x00, 0xFF, 0x2F, 0x00}, 0, 0, CSMF::kMalformed, 1},
      {"a data byte before any status", {0x00, 0x40, 0x00, /**/ 0x00, 0xFF, 0x2F, 0x00}, 0, 0, CSMF::kMalformed, 1},
      {"a SysEx running past the track is not sent, not even in part",
       {0x00, 0xF0, 0x05, 0x11, 0x22}, 0, 0, CSMF::kMalformed, 1},
      {"the first chunk's write fails", Concat({big, kEndOfTrack}), 1, 0, CSMF::kNotFinished, 0},
      {"a later chunk's write fails", Concat({big, kEndOfTrack}), 3, 2, CSMF::kNotFinished, 0},
      {"the second message's write fails",
       {0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00}, 2, 1,
       CSMF::kNotFinished, 1},
      // Bounds are track 0's, not the file's: a good track 1 follows.
      {"track 0 ends without End of Track before track 1", {0x00, 0xF0, 0x01, 0xF7}, 0, 1, CSMF::kMalformed, 1,
       goodTrack1},
      {"a SysEx running from track 0 into track 1", {0x00, 0xF0, 0x05, 0x11, 0x22}, 0, 0, CSMF::kMalformed, 1,
       goodTrack1},
  };
  for (const FailureCase& c : cases) {
    PlayRun run(c.track1.empty() ? fakes::FileWithTrack(c.body) : BuildSmf(1, 480, {c.body, c.track1}));
    run.port.failAt = c.failAt;
    run.Play();
    EXPECT_EQ(c.written, run.port.chunks.size()) << c.what;
    EXPECT_EQ(c.error, run.player->error()) << c.what;
    EXPECT_EQ(c.progressSteps, run.progress.positions.size()) << c.what;
    if (c.failAt != 0) {
      EXPECT_EQ(c.failAt, run.port.calls) << c.what << ": nothing after the failed write";
    }
  }
}

TEST(Play, ReportsProgressAfterEveryEventAsAShareOfTheChunk) {
  const Bytes body = {
      0x00, 0xF0, 0x03, 0x01, 0x02, 0xF7,  // ends at 14 of 22
      0x00, 0x90, 0x3C, 0x40,              // ends at 18
      0x00, 0xFF, 0x2F, 0x00};             // ends at 22
  PlayRun run(fakes::FileWithTrack(body));
  run.Play();
  EXPECT_EQ(1u, run.progress.ranges.size());
  EXPECT_EQ((std::vector<std::uint32_t>{63, 81, 100}), run.progress.positions);
}

struct StopCase {
  const char* what;
  bool beforePlay;
  std::uint32_t stopAtReading;  // ms after the start; 0 for none
  int stopAtWrite;              // after this write; 0 for none
  std::size_t written;
};

TEST(Play, AStopRequestEndsTheTransferAsFailed) {
  // At tick 0 a message of three chunks, at tick 960 (1000 ms) a small one.
  const Bytes body = Concat({{0x00, 0xF0, 0xCE, 0x10}, MessageBytes(10000),
                             {0x87, 0x40, 0xF0, 0x01, 0xF7}, kEndOfTrack});
  const StopCase cases[] = {
      {"requested before the start", true, 0, 0, 0},
      {"during the wait", false, 500, 0, 3},
      {"between chunks", false, 0, 1, 1},
  };
  for (const StopCase& c : cases) {
    PlayRun run(fakes::FileWithTrack(body));
    if (c.beforePlay) run.stop.RequestStop();
    run.counter.onRead = [&](std::uint32_t reading) {
      if (c.stopAtReading != 0 && reading - run.start == c.stopAtReading) run.stop.RequestStop();
    };
    run.port.onWrite = [&](int call) {
      if (call == c.stopAtWrite) run.stop.RequestStop();
    };
    run.Play();
    EXPECT_EQ(c.written, run.port.chunks.size()) << c.what;
    EXPECT_EQ(CSMF::kNotFinished, run.player->error()) << c.what;
    EXPECT_LT(run.counter.last() - run.start, 1000u) << c.what << ": stopped before the due time";
  }
}

// Load refuses a division of 0; this player gets one afterwards.
class ZeroDivisionPlayer : public CRQDataPlay {
 public:
  void ZeroDivision() { division_ = 0; }
};

TEST(Play, ADivisionOfZeroFailsWithoutSending) {
  TempFile file(fakes::FileWithTrack({0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00}));
  auto player = std::make_unique<ZeroDivisionPlayer>();
  ASSERT_TRUE(player->Load(file.path().c_str()));
  player->ZeroDivision();
  fakes::FakeCounter counter;
  fakes::FakePort port(&counter);
  fakes::FakeProgressBar progress;
  StopSignal stop;
  player->Play(progress, 500000, TransferLink{port, counter, stop});
  EXPECT_EQ(0, port.calls);
  EXPECT_NE(CSMF::kOk, player->error());
  EXPECT_FALSE(player->Verify());
}

TEST(Play, ASecondPlayStartsOverAtTheFirstEventAndSlot) {
  TrackBuilder track;
  for (int i = 0; i < 3; ++i) track.Delta(0).SysEx({static_cast<std::uint8_t>(i), 0xF7});
  PlayRun run(fakes::FileWithTrack(track.Delta(0).EndOfTrack().body()));
  run.Play();
  run.progress = fakes::FakeProgressBar{};
  run.Play();
  ASSERT_EQ(6u, run.port.chunks.size());
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(run.port.chunks[i].bytes, run.port.chunks[i + 3].bytes);
    EXPECT_EQ(run.port.chunks[i].at, run.port.chunks[i + 3].at);
  }
  EXPECT_EQ(CSMF::kOk, run.player->error());
}

}  // namespace
