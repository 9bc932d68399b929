// Play: what reaches the port, in which chunks and slots, when, and how the
// transfer ends; loading foretells it. Division 480 and tempo 500000 unless a
// case says otherwise: 960 ticks (0x87 0x40) are 1000 ms.
#include <gtest/gtest.h>

#include "transfer/millisecond_clock.h"
#include "transfer/update_file.h"
#include "transfer_fakes.h"

namespace {

using fakes::Event;
using fakes::Rig;

const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};
constexpr std::uint32_t kTempo = 500000;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(Play, ChunksMessagesIntoRingSlotsThatStayIntactForFifteenFurtherWrites) {
  const struct {
    std::uint32_t messages, length;  // bytes after each message's 0xF0
    std::vector<std::size_t> sizes;  // of each message's writes
  } cases[] = {
      {1, 0, {1}},  // the status byte alone
      {1, 4095, {4096}},
      {1, 4096, {4096, 1}},
      {1, 8191, {4096, 4096}},
      {17, 2, {3}},                  // the 17th write wraps to the first slot
      {9, 9000, {4096, 4096, 809}},  // the ring wraps in mid-message
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.messages << " x " << c.length << " bytes");
    TrackBuilder track;
    Bytes expected;
    for (std::uint32_t i = 0; i < c.messages; ++i) {
      const Bytes message = SyntheticFirmware(c.length, i);
      track.Delta(1).SysEx(message);
      expected = Concat({expected, {0xF0}, message});
    }
    Rig rig(fakes::FileWithTrack(track.Delta(5).EndOfTrack().body()));
    TrackSummary s;
    EXPECT_EQ(0u, LoadUpdateFile(*rig.player, rig.file.path().c_str(), kTempo, &s));
    const std::size_t writes = c.messages * c.sizes.size();
    EXPECT_TRUE(s.messages == c.messages && s.writes == writes && s.bytes == expected.size() &&
                s.lastMessageTicks == c.messages)
        << "the summary counts what Play sends";

    const std::uint8_t* ring = nullptr;
    for (int pass = 0; pass < 2; ++pass) {  // a second Play starts over at the first event and slot
      rig.Play();
      ASSERT_EQ(writes, rig.chunks.size());
      if (pass == 0) ring = rig.chunks[0].at;
      Bytes sent;
      for (std::size_t i = 0; i < writes; ++i) {
        EXPECT_EQ(c.sizes[i % c.sizes.size()], rig.chunks[i].bytes.size()) << "write " << i;
        EXPECT_EQ(ring + i % CRQDataPlay::kSlotCount * CRQDataPlay::kSlotSize, rig.chunks[i].at) << "write " << i;
        sent = Concat({sent, rig.chunks[i].bytes});
      }
      EXPECT_EQ(expected, sent);
      EXPECT_EQ(CSMF::kOk, rig.player->error());
    }
  }
}

TEST(Play, SendsEachMessageAtTheFirstReadingThatShowsItDueHoweverTheSleepsTurnOut) {
  const struct {
    const char* what;
    std::uint16_t division;
    Bytes body;
    std::vector<std::uint32_t> sentAt;  // ms after the start, per write, when spinning
    std::uint32_t firstWriteTakes;      // ms
  } cases[] = {
      {"division 96: tick 96 is due at 500 ms; further chunks follow at once",
       96,
       Concat({{0x60, 0xF0, 0xA0, 0x20}, SyntheticFirmware(4128, 1), kEndOfTrack}),
       {500, 500},
       0},
      {"Set Tempo to 250000 is ignored",
       480,
       {0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90, /**/ 0x87, 0x40, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00},
       {1000},
       0},
      {"tick 0 goes at once; a note's delta counts; 1 ms apart",
       480,
       {0x00, 0xF0, 0x01, 0xF7,        // tick 0
        0x83, 0x60, 0x90, 0x3C, 0x40,  // a note at tick 480, not sent
        0x83, 0x60, 0xF0, 0x01, 0xF7,  // tick 960
        0x01, 0xF0, 0x01, 0xF7,        // tick 961: 1001 ms
        0x00, 0xFF, 0x2F, 0x00},
       {1, 1000, 1001},
       0},
      {"pacing is absolute: a late message does not shift the rest",
       480,
       {0x00, 0xF0, 0x01, 0xF7, /**/ 0x83, 0x60, 0xF0, 0x01, 0xF7, /**/ 0x83, 0x60, 0xF0, 0x01, 0xF7,
        /**/ 0x00, 0xFF, 0x2F, 0x00},
       {1, 802, 1000},
       800},
  };
  const struct {
    const char* what;
    bool pace;
    std::vector<int> errors;  // ms added to each sleep in turn
    std::uint32_t lateBy;     // at most
  } sleepers[] = {
      {"spinning", false, {0}, 0},
      {"exact sleeps", true, {0}, 0},
      {"sleeps that wake early or at once", true, {-1, -3, -100000}, 0},
      {"oversleeps", true, {2, 0, 7}, 7},
  };
  for (const auto& c : cases) {
    for (const auto& s : sleepers) {
      SCOPED_TRACE(testing::Message() << c.what << ", " << s.what);
      // The counter wraps past 2^32 while the transfer waits.
      Rig rig(fakes::FileWithTrack(c.body, c.division), 0xFFFFFE00u);
      rig.pace = s.pace;
      rig.errors = s.errors;
      rig.on = [&](Event e, std::uint32_t n) {
        if (e == Event::kWrite && n == 1) rig.now += c.firstWriteTakes;
      };
      rig.Play();
      ASSERT_EQ(c.sentAt.size(), rig.chunks.size());
      for (std::size_t i = 0; i < c.sentAt.size(); ++i) {
        EXPECT_TRUE(rig.chunks[i].time >= c.sentAt[i] && rig.chunks[i].time <= c.sentAt[i] + s.lateBy)
            << "write " << i << " at " << rig.chunks[i].time << " ms";
      }
      // Sleeping, not spinning: a few readings a slice, not one a millisecond.
      EXPECT_TRUE(!s.pace || rig.reads < 3 * c.sentAt.back() / CRQDataPlay::kSleepSliceMs + 40) << rig.reads;
      EXPECT_EQ(CSMF::kOk, rig.player->error());
    }
  }
}

TEST(Play, SendsOnlySysExByRunningStatusAndFailsOnABrokenTrackAsLoadingForetells) {
  const Bytes goodTrack1 = {0x00, 0xF0, 0x02, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00};
  const struct {
    const char* what;
    Bytes body;
    std::vector<Bytes> sent;
    std::int32_t error;
    std::vector<std::uint32_t> progress;  // after each event, of a track that finishes
    Bytes track1;                         // a good track after track 0, whose bytes must never be read
  } cases[] = {
      {"a data byte after 0xF7 is another 0xF7 event, neither sent",
       {0x00, 0xF7, 0x01, 0x11, /**/ 0x00, 0x01, 0x22, /**/ 0x00, 0xFF, 0x2F, 0x00},
       {},
       CSMF::kOk,
       {63, 78, 100},
       {}},
      {"a data byte after SysEx is another SysEx",
       {0x00, 0xF0, 0x02, 0x11, 0xF7, /**/ 0x00, 0x03, 0x22, 0x33, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00},
       {{0xF0, 0x11, 0xF7}, {0xF0, 0x22, 0x33, 0xF7}},
       CSMF::kOk,
       {59, 81, 100},
       {}},
      {"a data byte after a meta event is another meta event",
       {0x00, 0xFF, 0x01, 0x01, 'a', /**/ 0x00, 0x01, 0x01, 'b', /**/ 0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F,
        0x00},
       {{0xF0, 0xF7}},
       CSMF::kOk,
       {52, 68, 84, 100},
       {}},
      {"End of Track by running status ends the track",
       {0x00, 0xFF, 0x01, 0x00, /**/ 0x00, 0x2F, 0x00, /**/ 0x00, 0xF0, 0x01, 0xF7},
       {},
       CSMF::kOk,
       {63, 78},
       {}},
      {"channel events and their running status are skipped",
       {0x00, 0x90, 0x3C, 0x40, /**/ 0x00, 0x3C, 0x00, /**/ 0x00, 0xC5, 0x01, /**/ 0x00, 0xF0, 0x01, 0xF7, 0x00, 0xFF,
        0x2F, 0x00},
       {{0xF0, 0xF7}},
       CSMF::kOk,
       {46, 57, 69, 84, 100},
       {}},
      {"the track ends after a delta time", {0x00, 0xF0, 0x01, 0xF7, 0x00}, {{0xF0, 0xF7}}, CSMF::kNotFinished, {}, {}},
      {"End of Track without its length", {0x00, 0xFF, 0x2F}, {}, CSMF::kMalformed, {}, {}},
      {"0xF1 has no length rule", {0x00, 0xF1, 0x00, /**/ 0x00, 0xFF, 0x2F, 0x00}, {}, CSMF::kMalformed, {}, {}},
      {"a data byte before any status", {0x00, 0x40, 0x00, /**/ 0x00, 0xFF, 0x2F, 0x00}, {}, CSMF::kMalformed, {}, {}},
      {"an unfinished delta time", {0x81}, {}, CSMF::kMalformed, {}, {}},
      // Bounds are track 0's, not the file's.
      {"track 0 without End of Track", {0x00, 0xF0, 0x01, 0xF7}, {{0xF0, 0xF7}}, CSMF::kMalformed, {}, goodTrack1},
      {"a SysEx past track 0, not sent even in part",
       {0x00, 0xF0, 0x05, 0x11, 0x22},
       {},
       CSMF::kMalformed,
       {},
       goodTrack1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig(c.track1.empty() ? fakes::FileWithTrack(c.body) : BuildSmf(1, 480, {c.body, c.track1}));
    // A track that sends nothing is refused too: it carries no firmware.
    const bool playable = c.error == CSMF::kOk && !c.sent.empty();
    EXPECT_EQ(playable ? 0u : 0x8000000Bu, LoadUpdateFile(*rig.player, rig.file.path().c_str(), kTempo));
    rig.Play();
    std::vector<Bytes> sent;
    for (const fakes::Chunk& chunk : rig.chunks) sent.push_back(chunk.bytes);
    EXPECT_EQ(c.sent, sent);
    EXPECT_EQ(c.error, rig.player->error());
    EXPECT_TRUE(c.error != CSMF::kOk || c.progress == rig.positions) << testing::PrintToString(rig.positions);
  }
}

TEST(Play, EndsAsFailedAtAStopOrAFailedWriteWithNothingAfterIt) {
  // At tick 0 a message of three chunks, at 1000 ms a small one.
  const Bytes body = Concat({{0x00, 0xF0, 0xCE, 0x10},
                             SyntheticFirmware(10000, 1),  //
                             {0x87, 0x40, 0xF0, 0x01, 0xF7},
                             kEndOfTrack});
  const struct {
    const char* what;
    Event at;
    std::uint32_t n;                           // the reading's ms, the write's call or the sleep's count
    bool fail;                                 // that write fails rather than a stop coming
    std::uint32_t written, sleeps, positions;  // no position for a message not wholly sent
  } cases[] = {
      {"a stop at the start", Event::kRead, 0, false, 0, 0, 0},
      {"a stop while spinning", Event::kRead, 500, false, 3, 0, 1},
      {"a stop between chunks: the message still goes out whole", Event::kWrite, 1, false, 3, 0, 1},
      {"a stop during a sleep: no sleep after it", Event::kSleep, 3, false, 3, 3, 1},
      {"the first write fails", Event::kWrite, 1, true, 0, 0, 0},
      {"a later chunk's write fails", Event::kWrite, 3, true, 2, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig(fakes::FileWithTrack(body));
    rig.pace = c.at == Event::kSleep;
    rig.failAt = c.fail ? c.n : 0;
    rig.on = [&](Event e, std::uint32_t n) {
      if (!c.fail && e == c.at && n == c.n) rig.stop.RequestStop();
    };
    rig.Play();
    EXPECT_EQ(c.written, rig.chunks.size());
    EXPECT_EQ(c.written + (c.fail ? 1 : 0), rig.calls) << "nothing after a failed write";
    EXPECT_EQ(c.sleeps, rig.sleeps);
    EXPECT_EQ(c.positions, rig.positions.size());
    EXPECT_EQ(CSMF::kNotFinished, rig.player->error());
    EXPECT_LT(rig.last - rig.start, 1000u) << "ended before the next due time";
  }
}

// What an operator could wait for without end, or for nothing: a file that
// plays to its End of Track yet is refused, with a format error.
TEST(Play, LoadingRefusesATrackWithoutFirmwareOrWithAScheduleNoOperatorCanWaitFor) {
  // At division 480 and tempo 500000 a tick is 25/24 ms: an hour is 3456000
  // ticks (0x81 0xD2 0xF8 0x00), one tick more is 3600001 ms.
  const Bytes sysEx = {0xF0, 0x01, 0xF7};
  const struct {
    const char* what;
    Bytes body;
    Refusal refusal;
  } cases[] = {
      {"a song: tempo, time signature and notes, no SysEx",
       {0x00,      0xFF, 0x51, 0x03, 0x07,      0xA1, 0x20, /**/ 0x00, 0xFF, 0x58,      0x04, 0x04, 0x02, 0x18, 0x08,
        /**/ 0x00, 0x90, 0x3C, 0x40, /**/ 0x83, 0x60, 0x80, 0x3C,      0x00, /**/ 0x00, 0xFF, 0x2F, 0x00},
       Refusal::kNoFirmware},
      {"only End of Track", kEndOfTrack, Refusal::kNoFirmware},
      {"the last message due exactly an hour after the start",
       Concat({{0x00}, sysEx, {0x81, 0xD2, 0xF8, 0x00}, sysEx, kEndOfTrack}), Refusal::kNone},
      {"the last message due an hour and a millisecond after the start",
       Concat({{0x00}, sysEx, {0x81, 0xD2, 0xF8, 0x01}, sysEx, kEndOfTrack}), Refusal::kScheduleTooLong},
      // Due 2^32 ms and 874 ms after the start: 874 ms in the counter's 32 bits.
      {"a message due past 32 bits of milliseconds", Concat({{0x8F, 0xAE, 0x8A, 0xA5, 0x24}, sysEx, kEndOfTrack}),
       Refusal::kScheduleTooLong},
      // A note at tick 2^32 - 1, then a message at tick 1 of the wrapped sum: due at once.
      {"a tick sum that wraps past 32 bits",
       Concat({{0x00}, sysEx, {0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x3C, 0x40, 0x02}, sysEx, kEndOfTrack}),
       Refusal::kTicksWrap},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig(fakes::FileWithTrack(c.body));
    TrackSummary s;
    EXPECT_EQ(c.refusal == Refusal::kNone ? 0u : 0x8000000Bu,
              LoadUpdateFile(*rig.player, rig.file.path().c_str(), kTempo, &s));
    EXPECT_EQ(c.refusal, s.refusal) << RefusalText(s.refusal);
  }
}

// Load refuses a division of 0 (the reader's test); the player does not rely on it.
TEST(Play, ADivisionOfZeroFailsWithoutSending) {
  Rig rig(fakes::FileWithTrack({0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00}));
  rig.player->ZeroDivision();
  rig.Play();
  EXPECT_EQ(0u, rig.calls);
  EXPECT_NE(CSMF::kOk, rig.player->error());
  EXPECT_FALSE(rig.player->Verify(kTempo));
  EXPECT_EQ(CSMF::kNotSmf, rig.player->error()) << "refused like any other format error";
}

TEST(TransferArithmetic, KeepsItsProductsWideAndNeverRoundsUp) {
  const struct {
    const char* what;
    std::uint64_t got, expected;
  } cases[] = {
      {"a due time is truncated", DueMilliseconds(479, 500000, 480), 498},
      {"a timecode-looking division counts as ticks", DueMilliseconds(96, 500000, 0x8000), 1},
      // 4294967295 x 500000 / 480000 = 4473924265: its low word.
      {"a due time past 32 bits", DueMilliseconds(0xFFFFFFFFu, 500000, 480), 178956969u},
      {"50 MB x 100 overflow 32 bits", ProgressPercent(50000000, 50000000), 100},
      {"an empty track", ProgressPercent(0, 0), 0},
      {"0.9999 ms have not yet passed 1 ms", WholeMilliseconds(9999, 10000000), 0},
      // After 2^32 ms (49.7 days) a reading wraps like GetTickCount.
      {"wraps at 32 bits", WholeMilliseconds(4294967297ull * 10000, 10000000), 1},
      // Two years at 3 GHz: ticks x 1000 would overflow 64 bits.
      {"no 64-bit overflow", WholeMilliseconds(189216000000000000ull, 3000000000ull), 63072000000ull % (1ull << 32)},
      {"no counter frequency", WholeMilliseconds(12345, 0), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, c.got) << c.what;
}

}  // namespace
