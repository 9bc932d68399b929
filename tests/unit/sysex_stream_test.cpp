// The capture checker as the run command and the end-to-end tests use it: the
// writes an update file should cause, and a capture judged against them.
#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "tools/smf_builder.h"
#include "tools/sysex_stream.h"

bool operator==(const Departure& a, const Departure& b) { return a.due == b.due && a.actual == b.actual; }

namespace {

using Writes = std::vector<sim::CapturedWrite>;

Bytes Body(std::size_t n) {  // varied, so that a misplaced byte shows
  Bytes body(n);
  std::iota(body.begin(), body.end(), std::uint8_t{1});
  return body;
}

// Division 100, a tick is 5 ms: bodies of 10, n and 0 bytes due at 10, 60 and
// 160 ms among events that are not sent, then End of Track and what is never read.
Bytes Track(std::size_t n) {
  TrackBuilder t;
  t.Delta(2).SysEx(Body(10)).Delta(1).Raw({0x90, 0x3C, 0x40, /**/ 0x00, 0x3C, 0x00, /**/ 0x00, 0xC0, 0x05});
  t.Delta(1).Meta(0x01, {'a'}).Delta(1).Raw({0x01, 0x01, 'b'}).Delta(1).SetTempo(250000);  // running meta
  t.Delta(1).Raw({0xF7, 0x01, 0x7F}).Delta(5).SysEx(Body(n)).Delta(20).Raw({0x00});        // running SysEx
  return t.Delta(0).EndOfTrack().Delta(0).SysEx({0xF7}).body();
}

// What the file of Track(8192) should send, and the writes of a perfect capture.
SysExStream Read(Writes& writes) {
  SysExStream stream;
  std::string error;
  EXPECT_TRUE(ReadSysExStream(BuildSmf(0, 100, {Track(8192)}), stream, error)) << error;
  for (const ExpectedMessage& m : stream.messages) {
    for (const Bytes& chunk : m.chunks) writes.push_back({0, 9, 0, 0, 0, 0, chunk});
  }
  return stream;
}

TEST(SysExStream, ChunksEachSysExMessageAsTheProgramWritesIt) {
  Writes w;
  const SysExStream s = Read(w);
  std::vector<std::string> got;  // each message's due time and writes
  for (const ExpectedMessage& m : s.messages) {
    got.push_back(std::to_string(m.dueMs) + " ms:");
    for (const Bytes& chunk : m.chunks) got.back() += " " + std::to_string(chunk.size());
  }
  EXPECT_EQ((std::vector<std::string>{"10 ms: 11", "60 ms: 4096 4096 1", "160 ms: 1"}), got);
  const Bytes big = Body(8192);
  EXPECT_EQ(Bytes(big.begin() + 4095, big.end() - 1), w[2].bytes);  // after the first chunk's 0xF0 and 4095 bytes
  EXPECT_TRUE(w[0].bytes[0] == 0xF0 && w[1].bytes[0] == 0xF0 && w[4].bytes == Bytes{0xF0});
  EXPECT_TRUE(s.chunkCount == 5 && s.byteCount == 11 + 8193 + 1);
}

TEST(SysExStream, RefusesWhatTheProgramRefuses) {
  const Bytes eot = {0x00, 0xFF, 0x2F, 0x00}, track = Track(1);
  Bytes longHeader = BuildSmf(0, 96, {eot}), pastEnd = longHeader;
  longHeader[7] = 7;
  pastEnd.pop_back();
  // No file, a header of length 7, a track past the file's end, division 0, no track; a data byte before any
  // status, 0xF1, a delta of five bytes, an End of Track whose length runs past the track.
  std::vector<Bytes> files = {{},
                              longHeader,
                              pastEnd,
                              BuildSmf(0, 0, {eot}),
                              BuildSmf(0, 96, {}),
                              BuildSmf(0, 96, {{0x00, 0x40, 0x00}}),
                              BuildSmf(0, 96, {{0x00, 0xF1, 0x00}}),
                              BuildSmf(0, 96, {{0x81, 0x81, 0x81, 0x81, 0x00}}),
                              BuildSmf(0, 96, {{0x00, 0xFF, 0x2F, 0x05}})};  // End of Track past the track
  // Track 0 cut anywhere before its End of Track is whole (the 4 bytes after it are never read).
  for (std::size_t n = 0; n + 4 < track.size(); ++n) files.push_back(BuildSmf(0, 96, {Bytes(&track[0], &track[n])}));
  for (std::size_t i = 0; i < files.size(); ++i) {
    SysExStream stream;
    std::string error;
    EXPECT_TRUE(!ReadSysExStream(files[i], stream, error) && !error.empty()) << i;
  }
}

TEST(CaptureCheck, TellsAnEqualCaptureFromAChangedMissingOrExtraWriteAndCountsFailures) {
  const struct {
    const char* what;
    void (*change)(Writes&);
    bool equal, prefix, endsAtFirstFailure;
    std::size_t failed;
  } cases[] = {
      {"equal", [](Writes&) {}, true, true, true, 0},
      {"a byte changed", [](Writes& w) { w[1].bytes[7] ^= 1; }, false, false, true, 0},
      {"a write shorter", [](Writes& w) { w[2].bytes.pop_back(); }, false, false, true, 0},
      {"a write missing", [](Writes& w) { w.pop_back(); }, false, true, true, 0},
      {"an extra write", [](Writes& w) { w.push_back(w[0]); }, false, false, true, 0},
      {"the last write failed", [](Writes& w) { w.back().result = -1; }, true, true, true, 1},
      {"a write after a failed one", [](Writes& w) { w[3].result = -1; }, true, true, false, 1},
  };
  Writes all;
  const SysExStream stream = Read(all);
  for (const auto& c : cases) {
    Writes writes = all;
    c.change(writes);
    const CaptureCheck check = CheckCapture(stream, writes, 1000);
    EXPECT_TRUE(check.equal == c.equal && check.prefix == c.prefix && check.failedWrites == c.failed &&
                EndsAtFirstFailure(writes) == c.endsAtFirstFailure)
        << c.what << ": " << check.mismatch;
  }
}

TEST(CaptureCheck, TimesFirstChunksFromTheFirstMessageOrFromAGivenReadingAndCountsEarlyOnes) {
  using Times = std::vector<Departure>;  // due, actual in µs
  Writes writes;
  const SysExStream stream = Read(writes);
  const std::uint64_t start = 123456789, perSecond = 10000000;
  // At 10 MHz: 50.0123 ms later; later chunks are no departures; 2e13 ticks overflow a plain ticks x 1e6.
  const std::uint64_t ticks[] = {start, start + 500123, start + 600000, start + 700000, start + 20000000000000};
  for (std::size_t i = 0; i < writes.size(); ++i) writes[i].ticks = ticks[i];
  EXPECT_EQ((Times{{0, 0}, {50000, 50012}, {150000, 2000000000000}}),
            CheckCapture(stream, writes, perSecond).departures);
  writes.resize(2);  // the last message never captured
  EXPECT_EQ((Times{{0, 0}, {50000, 50012}}), CheckCapture(stream, writes, perSecond).departures);
  // From a reading 0.2 ms before the start, due times count from the start.
  EXPECT_EQ((Times{{10000, 200}, {60000, 50212}}), CheckCapture(stream, writes, perSecond, start - 2000).departures);

  CaptureCheck check;
  check.departures = {{5000, 4000}, {5000, 3999}, {5000, 4999}, {5000, 9000}};
  EXPECT_EQ(1u, CountEarly(check)) << "from the first message: 1 ms of tolerance";
  check.fromBeforeStart = true;
  EXPECT_EQ(3u, CountEarly(check)) << "from before the start: none";
}

}  // namespace
