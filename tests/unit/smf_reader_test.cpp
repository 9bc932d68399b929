// The bound-checked readers, at positions inside track 0 (8 is the first byte
// after the chunk header).
#include <gtest/gtest.h>

#include <memory>

#include "smf/smf.h"
#include "tests/support/temp_file.h"
#include "tools/smf_builder.h"

namespace {

constexpr std::uint32_t kFirst = 8;

// A CSMF whose track 0 holds exactly body. Another track follows, so that a
// bound taken from the file instead of the track would let a reader run on.
std::unique_ptr<CSMF> WithTrack(const Bytes& body) {
  TempFile file(BuildSmf(1, 480, {body, {0xF0, 0x7F, 0x00, 0xFF, 0x2F, 0x00}}));
  auto smf = std::make_unique<CSMF>();
  EXPECT_TRUE(smf->Load(file.path().c_str()));
  return smf;
}

struct VarLenCase {
  Bytes bytes;
  std::uint32_t value;
  std::uint32_t consumed;
};

TEST(ReadVarLen, DecodesAndAdvancesPastTheQuantity) {
  const VarLenCase cases[] = {
      {{0x00}, 0, 1},
      {{0x7F}, 127, 1},
      {{0x81, 0x00}, 128, 2},
      {{0xFF, 0x7F}, 16383, 2},
      {{0x81, 0x80, 0x00}, 16384, 3},
      {{0xFF, 0xFF, 0xFF, 0x7F}, 0x0FFFFFFF, 4},
      // No limit on the byte count; bits above bit 31 are shifted out.
      {{0x8F, 0xFF, 0xFF, 0xFF, 0x7F}, 0xFFFFFFFF, 5},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}, 0xFFFFFF81u, 6},
  };
  for (const VarLenCase& c : cases) {
    Bytes body = c.bytes;
    body.push_back(0x55);  // a following byte that must not be taken
    auto smf = WithTrack(body);
    std::uint32_t position = kFirst;
    EXPECT_EQ(c.value, smf->ReadVarLen(position, 0));
    EXPECT_EQ(kFirst + c.consumed, position);
    EXPECT_EQ(0, smf->error());
  }
}

TEST(ReadVarLen, UnterminatedAtTheEndFailsAfterTheBytesTaken) {
  auto smf = WithTrack({0x81, 0x82});
  std::uint32_t position = kFirst;
  EXPECT_EQ(0u, smf->ReadVarLen(position, 0));
  EXPECT_EQ(CSMF::kMalformed, smf->error());
  EXPECT_EQ(kFirst + 2, position);
}

TEST(ReadByte, ReadsInsideAndRefusesAtTheEnd) {
  auto smf = WithTrack({0xAB});
  std::uint32_t position = kFirst;
  EXPECT_EQ(0xAB, smf->ReadByte(position, 0));
  EXPECT_EQ(kFirst + 1, position);
  EXPECT_EQ(0, smf->ReadByte(position, 0));
  EXPECT_EQ(CSMF::kMalformed, smf->error());
  EXPECT_EQ(kFirst + 1, position);
}

TEST(ReadUInt32, BigEndianWhenFourBytesRemain) {
  auto smf = WithTrack({0x12, 0x34, 0x56, 0x78});
  std::uint32_t position = kFirst;
  EXPECT_EQ(0x12345678u, smf->ReadUInt32(position, 0));
  EXPECT_EQ(kFirst + 4, position);
  EXPECT_EQ(0, smf->error());
}

TEST(ReadUInt32, ThreeBytesLeftYieldsZeroAndKeepsThePosition) {
  auto smf = WithTrack({0x12, 0x34, 0x56});
  std::uint32_t position = kFirst;
  EXPECT_EQ(0u, smf->ReadUInt32(position, 0));
  EXPECT_EQ(CSMF::kMalformed, smf->error());
  EXPECT_EQ(kFirst, position);
}

TEST(Readers, PositionsNearFourGigabytesDoNotWrapIntoTheTrack) {
  auto smf = WithTrack({0x01, 0x02, 0x03, 0x04});
  for (std::uint32_t position : {0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFDu}) {
    std::uint32_t p = position;
    EXPECT_EQ(0u, smf->ReadUInt32(p, 0));
    EXPECT_EQ(position, p);
    EXPECT_EQ(0u, smf->GetEventLength(0xFF, position, 0));
    EXPECT_EQ(0u, smf->GetEventLength(0x90, position, 0));
  }
  EXPECT_EQ(CSMF::kMalformed, smf->error());
}

TEST(Readers, TrackNumbersOutsideTheTableAreRefused) {
  auto smf = WithTrack({0x01});
  std::uint32_t position = kFirst;
  EXPECT_EQ(0, smf->ReadByte(position, 16));
  EXPECT_EQ(0, smf->ReadByte(position, -1));
  EXPECT_EQ(CSMF::kMalformed, smf->error());
  // An undeclared track has length 0: nothing in it can be read.
  EXPECT_EQ(0, smf->ReadByte(position, 2));
}

struct EventCase {
  const char* what;
  std::uint8_t status;
  Bytes after;  // the bytes from position on
  std::uint32_t length;
  bool fails;
};

TEST(GetEventLength, FollowsTheRuleOfEachStatus) {
  const EventCase cases[] = {
      {"note on, channel 3", 0x93, {0x3C, 0x40}, 2, false},
      {"note off", 0x80, {0x3C, 0x40}, 2, false},
      {"key pressure", 0xA1, {0x3C, 0x40}, 2, false},
      {"controller", 0xBF, {0x07, 0x64}, 2, false},
      {"pitch bend", 0xE0, {0x00, 0x40}, 2, false},
      {"program change, channel 5", 0xC5, {0x01}, 1, false},
      {"channel pressure", 0xD0, {0x01}, 1, false},
      {"SysEx of 5", 0xF0, {0x05, 1, 2, 3, 4, 0xF7}, 6, false},
      {"SysEx of 0", 0xF0, {0x00}, 1, false},
      {"escape of 2", 0xF7, {0x02, 1, 2}, 3, false},
      {"meta of 3", 0xFF, {0x01, 0x03, 'a', 'b', 'c'}, 5, false},
      {"end of track", 0xFF, {0x2F, 0x00}, 2, false},
      {"SysEx of 128", 0xF0, {0x81, 0x00}, 0, true},  // length runs past the end
      {"note on, one byte short", 0x90, {0x3C}, 0, true},
      {"program change at the end", 0xC0, {}, 0, true},
      {"F1 has no length rule", 0xF1, {0x00, 0x00}, 0, true},
      {"F8 has no length rule", 0xF8, {0x00}, 0, true},
      {"data byte as status", 0x40, {0x00, 0x00}, 0, true},
      {"status 0", 0x00, {0x00, 0x00}, 0, true},
      {"meta without length", 0xFF, {0x2F}, 0, true},
      {"SysEx length wraps past 4 GiB", 0xF0, {0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x00}, 0, true},
  };
  for (const EventCase& c : cases) {
    auto smf = WithTrack(c.after);
    const std::uint32_t length = smf->GetEventLength(c.status, kFirst, 0);
    if (c.fails) {
      EXPECT_EQ(CSMF::kMalformed, smf->error()) << c.what;
      if (c.status < 0xF0 || c.status == 0xF1 || c.status == 0xF8) {
        EXPECT_EQ(0u, length) << c.what;
      }
    } else {
      EXPECT_EQ(c.length, length) << c.what;
      EXPECT_EQ(0, smf->error()) << c.what;
    }
  }
}

TEST(GetEventLength, AFailedInnerLengthCountsOnlyTheBytesTaken) {
  // A SysEx whose length quantity never ends: the bytes up to the failure.
  auto smf = WithTrack({0x81, 0x81});
  EXPECT_EQ(2u, smf->GetEventLength(0xF0, kFirst, 0));
  EXPECT_EQ(CSMF::kMalformed, smf->error());
}

}  // namespace
