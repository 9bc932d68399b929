// The pre-flight walk refuses exactly the tracks that Play would fail on, and
// loading a file for the operator applies it.
#include <gtest/gtest.h>

#include "transfer/update_file.h"
#include "transfer_fakes.h"

namespace {

struct TrackCase {
  const char* what;
  Bytes body;
  bool playable;
};

const TrackCase kTracks[] = {
    {"End of Track only", {0x00, 0xFF, 0x2F, 0x00}, true},
    {"SysEx, note, Set Tempo, End of Track",
     {0x00, 0xF0, 0x02, 0x11, 0xF7, /**/ 0x60, 0x90, 0x3C, 0x40, /**/ 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
      0x00, 0xFF, 0x2F, 0x00},
     true},
    {"End of Track by running status", {0x00, 0xFF, 0x01, 0x00, /**/ 0x00, 0x2F, 0x00}, true},
    {"garbage after End of Track is never read", {0x00, 0xFF, 0x2F, 0x00, /**/ 0xF1, 0xF1}, true},
    {"an empty SysEx", {0x00, 0xF0, 0x00, /**/ 0x00, 0xFF, 0x2F, 0x00}, true},
    {"no events at all", {}, false},
    {"no End of Track", {0x00, 0xF0, 0x01, 0xF7}, false},
    {"ends right after a delta time", {0x00, 0xF0, 0x01, 0xF7, /**/ 0x00}, false},
    {"End of Track without its length", {0x00, 0xFF, 0x2F}, false},
    {"End of Track with a length past the end", {0x00, 0xFF, 0x2F, 0x01}, false},
    {"an unfinished delta time", {0x81}, false},
    {"0xF4 has no length rule", {0x00, 0xF4, /**/ 0x00, 0xFF, 0x2F, 0x00}, false},
    {"a data byte before any status", {0x00, 0x3C, 0x40, /**/ 0x00, 0xFF, 0x2F, 0x00}, false},
    {"a note cut short", {0x00, 0x90, 0x3C}, false},
    {"a SysEx longer than the track", {0x00, 0xF0, 0x81, 0x00, 0x01, 0x02}, false},
};

TEST(Verify, AgreesWithPlayOnAPortThatTakesEveryWrite) {
  for (const TrackCase& c : kTracks) {
    fakes::PlayRun run(fakes::FileWithTrack(c.body));
    const bool verified = run.player->Verify();
    EXPECT_EQ(c.playable, verified) << c.what;
    EXPECT_EQ(verified ? CSMF::kOk : CSMF::kNotSmf, run.player->error()) << c.what;

    run.Play();
    EXPECT_EQ(verified, run.player->error() == CSMF::kOk) << c.what;
  }
}

TEST(Verify, SummarisesWhatATransferWouldWrite) {
  TrackBuilder track;
  track.Delta(0).SysEx(fakes::MessageBytes(10000));  // three writes
  track.Delta(960).SysEx({0xF7});                     // one write of two bytes
  track.Delta(10).EndOfTrack();
  fakes::PlayRun run(fakes::FileWithTrack(track.body()));
  TrackSummary summary;
  ASSERT_TRUE(run.player->Verify(&summary));
  EXPECT_EQ(2u, summary.messages);
  EXPECT_EQ(4u, summary.writes);
  EXPECT_EQ(10003u, summary.bytes);
  EXPECT_EQ(960u, summary.lastMessageTicks);

  run.Play();
  EXPECT_EQ(summary.writes, run.port.chunks.size());
}

struct LoadCase {
  const char* what;
  Bytes file;  // empty: no file at all
  StatusCode expected;
};

TEST(LoadUpdateFile, RefusesWhatTheTransferWouldFailOnAsAFormatError) {
  const LoadCase cases[] = {
      {"a good file", fakes::FileWithTrack({0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00}), 0},
      {"no End of Track", fakes::FileWithTrack({0x00, 0xF0, 0x01, 0xF7}), 0x8000000Bu},
      {"a truncated End of Track", fakes::FileWithTrack({0x00, 0xFF, 0x2F}), 0x8000000Bu},
      {"a bad header", {'M', 'T', 'h', 'd', 0, 0, 0, 7, 0, 0, 0, 1, 1, 0xE0, 0}, 0x8000000Bu},
      {"a division of 0", fakes::FileWithTrack({0x00, 0xFF, 0x2F, 0x00}, 0), 0x8000000Bu},
      {"track 0 without End of Track before a good track 1",
       BuildSmf(1, 480, {{0x00, 0xF0, 0x01, 0xF7}, {0x00, 0xFF, 0x2F, 0x00}}), 0x8000000Bu},
      {"no such file", {}, 0x80000009u},
  };
  for (const LoadCase& c : cases) {
    auto player = std::make_unique<CRQDataPlay>();
    if (c.file.empty()) {
      EXPECT_EQ(c.expected, LoadUpdateFile(*player, TempFile::UniquePath().c_str())) << c.what;
    } else {
      TempFile file(c.file);
      EXPECT_EQ(c.expected, LoadUpdateFile(*player, file.path().c_str())) << c.what;
    }
  }
}

}  // namespace
