#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "tools/smf_builder.h"
#include "tools/sysex_stream.h"

namespace {

// A SysEx body of n bytes, closed by 0xF7.
Bytes Body(std::size_t n) {
  Bytes body(n);
  for (std::size_t i = 0; i < n; ++i) body[i] = static_cast<std::uint8_t>((i * 7 + 1) & 0x7F);
  if (n > 0) body.back() = 0xF7;
  return body;
}

SysExStream Read(const Bytes& file) {
  SysExStream stream;
  std::string error;
  EXPECT_TRUE(ReadSysExStream(file, stream, error)) << error;
  return stream;
}

// Track 0 of a file: the events, then End of Track.
Bytes File(std::uint16_t division, TrackBuilder events) {
  return BuildSmf(0, division, {events.Delta(0).EndOfTrack().body()});
}

Bytes Concat(const std::vector<Bytes>& chunks) {
  Bytes all;
  for (const Bytes& c : chunks) all.insert(all.end(), c.begin(), c.end());
  return all;
}

TEST(SysExStream, SplitsAMessageAfter4095BodyBytesThenEvery4096) {
  const struct { std::size_t body; std::vector<std::size_t> writes; } cases[] = {
      {0, {1}}, {4095, {4096}}, {4096, {4096, 1}}, {10000, {4096, 4096, 1809}}};
  for (const auto& c : cases) {
    const Bytes body = Body(c.body);
    const SysExStream s = Read(File(96, TrackBuilder().Delta(0).SysEx(body)));
    ASSERT_EQ(1u, s.messages.size()) << c.body;
    std::vector<std::size_t> sizes;
    for (const Bytes& chunk : s.messages[0].chunks) sizes.push_back(chunk.size());
    EXPECT_EQ(c.writes, sizes) << c.body;
    const Bytes sent = Concat(s.messages[0].chunks);
    EXPECT_EQ(0xF0, sent.at(0));
    EXPECT_EQ(body, Bytes(sent.begin() + 1, sent.end())) << c.body;
    EXPECT_EQ(c.writes.size(), s.chunkCount);
    EXPECT_EQ(c.body + 1, s.byteCount);
  }
}

struct Sent { std::uint32_t ticks, dueMs; Bytes bytes; };

TEST(SysExStream, SendsRunningStatusSysExOnlyAndCountsEveryDelta) {
  using T = TrackBuilder;
  const struct { const char* name; Bytes file; std::vector<Sent> sent; } cases[] = {
      // Running status 0xF0: length 2, then 0x05 0xF7.
      {"running status after SysEx",
       File(100, T().Delta(0).SysEx({0x01, 0xF7}).Delta(10).Raw({0x02, 0x05, 0xF7})),
       {{0, 0, {0xF0, 0x01, 0xF7}}, {10, 50, {0xF0, 0x05, 0xF7}}}},
      // Running meta: type 0x01, length 1, 'b'; the 0xF0 after it is a status again.
      {"running status after meta",
       File(100, T().Delta(1).Meta(0x01, {'a'}).Delta(2).Raw({0x01, 0x01, 'b'}).Delta(3)
                     .SysEx({0xF7})),
       {{6, 30, {0xF0, 0xF7}}}},
      // Note on, running note, program change, an 0xF7 event: none sent, all timed.
      {"other events count",
       File(1000, T().Delta(3).Raw({0x90, 0x3C, 0x40}).Delta(4).Raw({0x3C, 0x00}).Delta(2)
                      .Raw({0xC0, 0x05}).Delta(1).Raw({0xF7, 0x02, 0x01, 0xF7}).Delta(7)
                      .SysEx({0x7D, 0xF7})),
       {{17, 8, {0xF0, 0x7D, 0xF7}}}},
      {"Set Tempo ignored", File(480, T().Delta(0).SetTempo(250000).Delta(960).SysEx({0xF7})),
       {{960, 1000, {0xF0, 0xF7}}}},
      {"due time truncated", File(3, T().Delta(1).SysEx({})), {{1, 166, {0xF0}}}},
      {"nothing after End of Track",
       File(96, T().Delta(0).EndOfTrack().Delta(0).SysEx({0xF7}).Raw({0xF1, 0x00})), {}},
  };
  for (const auto& c : cases) {
    const SysExStream s = Read(c.file);
    ASSERT_EQ(c.sent.size(), s.messages.size()) << c.name;
    for (std::size_t i = 0; i < c.sent.size(); ++i) {
      EXPECT_EQ(c.sent[i].ticks, s.messages[i].ticks) << c.name << " " << i;
      EXPECT_EQ(c.sent[i].dueMs, s.messages[i].dueMs) << c.name << " " << i;
      EXPECT_EQ(c.sent[i].bytes, Concat(s.messages[i].chunks)) << c.name << " " << i;
    }
  }
}

TEST(SysExStream, RefusesFilesTheProgramRefuses) {
  const Bytes good = TrackBuilder().Delta(0).SysEx({0xF7}).Delta(0).EndOfTrack().body();
  Bytes longHeader = BuildSmf(0, 96, {good});
  longHeader[7] = 7;
  Bytes pastEnd = BuildSmf(0, 96, {good});
  pastEnd.pop_back();
  const auto track = [](const Bytes& raw) { return BuildSmf(0, 96, {raw}); };
  const struct { const char* name; Bytes file; } cases[] = {
      {"empty", {}},
      {"header length 7", longHeader},
      {"division 0", BuildSmf(0, 0, {good})},
      {"no track", BuildSmf(0, 96, {})},
      {"track past the file's end", pastEnd},
      {"no End of Track", track({0x00, 0xF0, 0x01, 0xF7})},
      {"data byte before any status", track({0x00, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00})},
      {"status 0xF1", track({0x00, 0xF1, 0x00, 0x00, 0xFF, 0x2F, 0x00})},
      {"status 0xF8", track({0x00, 0xF8, 0x00, 0xFF, 0x2F, 0x00})},
      {"SysEx past the track's end", track({0x00, 0xF0, 0x05, 0x01, 0xF7})},
      {"five-byte delta", track({0x81, 0x81, 0x81, 0x81, 0x00, 0xFF, 0x2F, 0x00})},
      {"delta without event", track({0x00})},
  };
  for (const auto& c : cases) {
    SysExStream stream;
    std::string error;
    EXPECT_FALSE(ReadSysExStream(c.file, stream, error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
  }
}

// Messages of 10, 5000 and 0 body bytes: writes of 11, 4096 + 905, 1 bytes.
SysExStream ThreeMessages() {
  return Read(File(100, TrackBuilder().Delta(0).SysEx(Body(10)).Delta(10).SysEx(Body(5000))
                            .Delta(20).SysEx({})));
}

std::vector<sim::CapturedWrite> WritesOf(const SysExStream& s) {
  std::vector<sim::CapturedWrite> writes;
  for (const ExpectedMessage& m : s.messages) {
    for (const Bytes& chunk : m.chunks) writes.push_back({0, 9, 0, 0, 0, 0, chunk});
  }
  return writes;
}

TEST(CaptureCheck, ComparesEveryWriteAndCountsFailures) {
  using Writes = std::vector<sim::CapturedWrite>;
  const struct {
    const char* name; std::function<void(Writes&)> change; bool equal, prefix; std::size_t failed;
    const char* says;  // in the mismatch
  } cases[] = {
      {"equal", [](Writes&) {}, true, true, 0, ""},
      {"byte changed", [](Writes& w) { w[1].bytes[7] ^= 1; }, false, false, 0,
       "write 1 (message 1, chunk 1 of 2): first difference at byte 7"},
      {"shorter", [](Writes& w) { w[2].bytes.pop_back(); }, false, false, 0,
       "write 2 (message 1, chunk 2 of 2): expected 905 bytes, got 904"},
      {"missing", [](Writes& w) { w.pop_back(); }, false, true, 0,
       "write 3 (message 2, chunk 1 of 1) missing"},
      {"extra", [](Writes& w) { w.push_back(w[0]); }, false, false, 0, "write 4 (11 bytes)"},
      {"failed", [](Writes& w) { w[3].result = -1; }, true, true, 1, ""},
  };
  const SysExStream stream = ThreeMessages();
  for (const auto& c : cases) {
    Writes writes = WritesOf(stream);
    c.change(writes);
    const CaptureCheck check = CheckCapture(stream, writes, 1000);
    EXPECT_EQ(c.equal, check.equal) << c.name;
    EXPECT_EQ(c.prefix, check.prefix) << c.name;
    EXPECT_EQ(c.failed, check.failedWrites) << c.name;
    EXPECT_NE(std::string::npos, check.mismatch.find(c.says)) << c.name << ": " << check.mismatch;
    EXPECT_EQ(c.equal, check.mismatch.empty()) << c.name;
  }
}

using Times = std::vector<std::pair<std::int64_t, std::int64_t>>;  // due, actual

Times TimesOf(const CaptureCheck& check) {
  Times times;
  for (const Departure& d : check.departures) times.emplace_back(d.due, d.actual);
  return times;
}

TEST(CaptureCheck, TimesFirstChunksFromTheFirstMessage) {
  const SysExStream stream = ThreeMessages();  // due at 0, 50 and 150 ms
  std::vector<sim::CapturedWrite> writes = WritesOf(stream);
  const std::uint64_t start = 123456789;
  // At 10 MHz: 50.0123 ms later; the second chunk's time is not a departure;
  // 2e13 ticks overflow a plain ticks * 1e6.
  const std::uint64_t ticks[] = {start, start + 500123, start + 900000, start + 20000000000000};
  for (std::size_t i = 0; i < writes.size(); ++i) writes[i].ticks = ticks[i];
  EXPECT_EQ((Times{{0, 0}, {50000, 50012}, {150000, 2000000000000}}),
            TimesOf(CheckCapture(stream, writes, 10000000)));
  writes.resize(2);  // the last message never captured
  EXPECT_EQ((Times{{0, 0}, {50000, 50012}}), TimesOf(CheckCapture(stream, writes, 10000000)));
  // From a reading 0.2 ms before the start instead: due times as they are.
  EXPECT_EQ((Times{{0, 200}, {50000, 50212}}), TimesOf(CheckCapture(stream, writes, 10000000, start - 2000)));
}

TEST(CaptureCheck, EndsAtFirstFailureOnlyWhenNothingFollowsIt) {
  const struct { std::vector<std::int32_t> results; bool ends; } cases[] = {
      {{}, true}, {{0, 0}, true}, {{0, -1}, true}, {{-1, 0}, false}, {{0, -1, -1}, false}};
  for (const auto& c : cases) {
    std::vector<sim::CapturedWrite> writes(c.results.size());
    for (std::size_t i = 0; i < writes.size(); ++i) writes[i].result = c.results[i];
    EXPECT_EQ(c.ends, EndsAtFirstFailure(writes)) << ::testing::PrintToString(c.results);
  }
}

TEST(CaptureCheck, CountsEarlyBeyondTheToleranceOfItsReference) {
  CaptureCheck check;
  check.departures = {{5000, 4000}, {5000, 3999}, {5000, 4999}, {5000, 9000}};
  EXPECT_EQ(1u, CountEarly(check)) << "from the first message: 1 ms of tolerance";
  check.fromBeforeStart = true;
  EXPECT_EQ(3u, CountEarly(check)) << "from before the start: none";
}

}  // namespace
