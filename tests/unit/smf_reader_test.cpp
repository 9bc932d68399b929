// The bound-checked readers, at positions inside track 0 (8 is the first byte
// after the chunk header).
#include <gtest/gtest.h>

#include <memory>

#include "smf/smf.h"
#include "tools/smf_builder.h"
#include "tools/temp_file.h"

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

enum class Reader { kByte, kUInt32, kVarLen };

struct ReadCase {
  Reader reader;
  Bytes body;
  std::uint32_t value;
  std::uint32_t advance;  // how far the position moves
  bool fails;
};

TEST(Readers, ReadInsideTrackZeroAndRefuseAtItsEnd) {
  const ReadCase cases[] = {
      // Variable-length quantities; the 0x55 after each must not be taken.
      {Reader::kVarLen, {0x00, 0x55}, 0, 1, false},
      {Reader::kVarLen, {0x7F, 0x55}, 127, 1, false},
      {Reader::kVarLen, {0x81, 0x00, 0x55}, 128, 2, false},
      {Reader::kVarLen, {0xFF, 0x7F, 0x55}, 16383, 2, false},
      {Reader::kVarLen, {0x81, 0x80, 0x00, 0x55}, 16384, 3, false},
      {Reader::kVarLen, {0xFF, 0xFF, 0xFF, 0x7F, 0x55}, 0x0FFFFFFF, 4, false},
      // No limit on the byte count; bits above bit 31 are shifted out.
      {Reader::kVarLen, {0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x55}, 0xFFFFFFFF, 5, false},
      {Reader::kVarLen, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x55}, 0xFFFFFF81u, 6, false},
      {Reader::kVarLen, {0x81, 0x82}, 0, 2, true},  // unterminated: fails after the bytes taken
      {Reader::kByte, {0xAB}, 0xAB, 1, false},
      {Reader::kByte, {}, 0, 0, true},
      {Reader::kUInt32, {0x12, 0x34, 0x56, 0x78}, 0x12345678u, 4, false},
      {Reader::kUInt32, {0x12, 0x34, 0x56}, 0, 0, true},
  };
  for (const ReadCase& c : cases) {
    auto smf = WithTrack(c.body);
    std::uint32_t position = kFirst;
    const std::uint32_t value = c.reader == Reader::kByte     ? smf->ReadByte(position, 0)
                                : c.reader == Reader::kUInt32 ? smf->ReadUInt32(position, 0)
                                                              : smf->ReadVarLen(position, 0);
    const int index = static_cast<int>(&c - cases);
    EXPECT_EQ(c.value, value) << "case " << index;
    EXPECT_EQ(kFirst + c.advance, position) << "case " << index;
    EXPECT_EQ(c.fails ? CSMF::kMalformed : CSMF::kOk, smf->error()) << "case " << index;
  }
}

TEST(Readers, PositionsNearFourGigabytesDoNotWrapIntoTheTrack) {
  // Long enough that a position wrapped to 0 would find a whole event.
  auto smf = WithTrack(Bytes(80, 0));
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
  Bytes statuses;
  Bytes after;  // the bytes from position on
  std::uint32_t length;
  bool fails;
};

TEST(GetEventLength, FollowsTheRuleOfEachStatus) {
  const EventCase cases[] = {
      {{0x80, 0x93, 0xA1, 0xBF, 0xE0}, {0x3C, 0x40}, 2, false},  // two data bytes, any channel
      {{0xC5, 0xD0}, {0x01}, 1, false},                          // one data byte
      {{0xF0, 0xF7}, {0x05, 1, 2, 3, 4, 0xF7}, 6, false},        // a length, then the bytes
      {{0xF0}, {0x00}, 1, false},
      {{0xFF}, {0x01, 0x03, 'a', 'b', 'c'}, 5, false},  // meta: type, length, bytes
      {{0xFF}, {0x2F, 0x00}, 2, false},
      {{0x90}, {0x3C}, 0, true},  // one byte short
      {{0xC0}, {}, 0, true},
      {{0xF1, 0xF8, 0x40, 0x00}, {0x00, 0x00}, 0, true},        // no length rule
      {{0xF0}, {0x81, 0x00}, 0, true},                          // 128 bytes run past the end
      {{0xF0}, {0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x00}, 0, true},  // wraps past 4 GiB
      // A length quantity that fails counts only the bytes taken up to the failure.
      {{0xF0}, {0x81, 0x81}, 2, true},
      {{0xFF}, {0x2F}, 1, true},
  };
  for (const EventCase& c : cases) {
    for (const std::uint8_t status : c.statuses) {
      auto smf = WithTrack(c.after);
      EXPECT_EQ(c.length, smf->GetEventLength(status, kFirst, 0)) << int{status};
      EXPECT_EQ(c.fails ? CSMF::kMalformed : CSMF::kOk, smf->error()) << int{status};
    }
  }
}

}  // namespace
