// Loading update files: header and chunk checks, the track table, and the
// error values the dialog turns into status codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "smf/load_status.h"
#include "smf/smf.h"
#include "smf/update_file_reader.h"
#include "tests/support/temp_file.h"
#include "tools/smf_builder.h"

namespace {

// A header chunk with the given length field, format, track count and division.
Bytes Header(std::uint32_t lengthField, std::uint16_t format, std::uint16_t tracks,
             std::uint16_t division) {
  Bytes out = {'M', 'T', 'h', 'd'};
  AppendBigEndian(out, lengthField, 4);
  AppendBigEndian(out, format, 2);
  AppendBigEndian(out, tracks, 2);
  AppendBigEndian(out, division, 2);
  return out;
}

// "MTrk" with an explicit length field, followed by body (which may be shorter).
Bytes Chunk(std::uint32_t lengthField, const Bytes& body) {
  Bytes out = {'M', 'T', 'r', 'k'};
  AppendBigEndian(out, lengthField, 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};  // delta 0, End of Track

struct LoadCase {
  const char* name;
  Bytes file;
  std::int32_t error;  // 0: loads
};

class LoadTest : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadTest, ReportsOnlyTheLoadErrorValues) {
  const LoadCase& c = GetParam();
  TempFile file(c.file);
  CSMF smf;
  EXPECT_EQ(c.error == 0, smf.Load(file.path().c_str()));
  EXPECT_EQ(c.error, smf.error());
}

std::string CaseName(const testing::TestParamInfo<LoadCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Files, LoadTest,
    testing::Values(
        LoadCase{"EmptyFile", {}, 7},
        // 13 bytes: one short of a header.
        LoadCase{"ThirteenBytes", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01}, 7},
        LoadCase{"HeaderLengthSeven",
                 Concat({Header(7, 0, 1, 480), {0}, Chunk(4, kEndOfTrack)}), 7},
        LoadCase{"NotMThd", Concat({Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 1, 0xE0},
                                    Chunk(4, kEndOfTrack)}), 7},
        LoadCase{"FormatTwo", Concat({Header(6, 2, 1, 480), Chunk(4, kEndOfTrack)}), 0},
        LoadCase{"FormatThree", Concat({Header(6, 3, 1, 480), Chunk(4, kEndOfTrack)}), 7},
        LoadCase{"ZeroTracks", Header(6, 0, 0, 480), 7},
        LoadCase{"SeventeenTracks", Header(6, 1, 17, 480), 7},
        // A good header declaring one track, and nothing after it.
        LoadCase{"FourteenBytesOneTrack", Header(6, 0, 1, 480), 7},
        // The chunk header itself is cut short.
        LoadCase{"TruncatedChunkLength", Concat({Header(6, 0, 1, 480), {'M', 'T', 'r', 'k', 0, 0}}), 7},
        LoadCase{"ChunkOneBytePastEnd",
                 Concat({Header(6, 0, 1, 480), Chunk(5, kEndOfTrack)}), 7},
        LoadCase{"ChunkExactlyToEnd", Concat({Header(6, 0, 1, 480), Chunk(4, kEndOfTrack)}), 0},
        // A length that wraps the end position past 4 GiB back into the file.
        LoadCase{"ChunkLengthWrapsAround",
                 Concat({Header(6, 0, 1, 480), Chunk(0xFFFFFFF8u, kEndOfTrack)}), 7},
        LoadCase{"OtherChunkAmongDeclaredTracks",
                 Concat({Header(6, 1, 2, 480), Chunk(4, kEndOfTrack),
                         Bytes{'X', 'F', 'I', 'H', 0, 0, 0, 0}}), 7},
        LoadCase{"GapBeforeChunk", Concat({Header(6, 0, 1, 480), {0}, Chunk(4, kEndOfTrack)}), 7},
        // Zero ticks per quarter note cannot pace a transfer.
        LoadCase{"DivisionZero", Concat({Header(6, 0, 1, 0), Chunk(4, kEndOfTrack)}), 7}),
    CaseName);

TEST(SmfLoad, TrackTableCountsFromTheTagAndIncludesTheChunkHeader) {
  const Bytes body = {0x00, 0xF0, 0x01, 0xF7, 0x00, 0xFF, 0x2F, 0x00};  // n = 8
  const Bytes second = {0x00, 0xFF, 0x2F, 0x00};
  TempFile file(BuildSmf(1, 96, {body, second}));
  CSMF smf;
  ASSERT_TRUE(smf.Load(file.path().c_str()));
  EXPECT_EQ(2, smf.trackCount());
  EXPECT_EQ(1, smf.format());
  EXPECT_EQ(96, smf.division());
  EXPECT_EQ(14u, smf.track(0).offset);
  EXPECT_EQ(8u + 8u, smf.track(0).length);
  EXPECT_EQ(14u + 16u, smf.track(1).offset);
  EXPECT_EQ(4u + 8u, smf.track(1).length);
  EXPECT_EQ(smf.size(), smf.parsedEnd());
  EXPECT_EQ(0u, smf.track(2).length);
}

TEST(SmfLoad, ChunksAfterTheDeclaredTracksAreIgnored) {
  // Declares 2 tracks, holds 3 chunks: the third is never looked at.
  const Bytes file = Concat({Header(6, 1, 2, 480), Chunk(4, kEndOfTrack), Chunk(4, kEndOfTrack),
                             Chunk(4, kEndOfTrack)});
  TempFile temp(file);
  CSMF smf;
  ASSERT_TRUE(smf.Load(temp.path().c_str()));
  EXPECT_EQ(2, smf.trackCount());
  EXPECT_EQ(14u + 12u + 12u, smf.parsedEnd());  // where the third chunk starts
  EXPECT_LT(smf.parsedEnd(), smf.size());
}

TEST(SmfLoad, TimecodeDivisionIsTakenAsItsUnsignedValue) {
  TempFile file(Concat({Header(6, 0, 1, 0xE728), Chunk(4, kEndOfTrack)}));  // -25 fps, 40 ticks
  CSMF smf;
  ASSERT_TRUE(smf.Load(file.path().c_str()));
  EXPECT_EQ(0xE728, smf.division());
}

TEST(SmfLoad, MissingFileIsNotFound) {
  CSMF smf;
  const std::string path = TempFile::UniquePath();
  EXPECT_FALSE(smf.Load(path.c_str()));
  EXPECT_EQ(CSMF::kFileNotFound, smf.error());
}

TEST(SmfLoad, EmptyPathAndDirectoryCannotBeOpened) {
  CSMF smf;
  EXPECT_FALSE(smf.Load(""));
  EXPECT_EQ(CSMF::kOpenFailed, smf.error());
  EXPECT_FALSE(smf.Load(std::filesystem::temp_directory_path().string().c_str()));
  EXPECT_EQ(CSMF::kOpenFailed, smf.error());
}

TEST(SmfLoad, AFailedLoadLeavesNothingReadable) {
  TempFile good(BuildSmf(0, 480, {kEndOfTrack}));
  CSMF smf;
  ASSERT_TRUE(smf.Load(good.path().c_str()));
  const std::string missing = TempFile::UniquePath();
  ASSERT_FALSE(smf.Load(missing.c_str()));
  EXPECT_EQ(nullptr, smf.data());
  // The readers and the header check refuse rather than touch the dropped buffer.
  std::uint32_t position = 8;
  EXPECT_EQ(0u, smf.ReadVarLen(position, 0));
  EXPECT_EQ(CSMF::kMalformed, smf.error());
  smf.ResetPlayState();
  EXPECT_EQ(0u, smf.CheckHeader());
  EXPECT_EQ(CSMF::kMalformed, smf.error());
}

// A file that opens, then fails as the file system can: its length unknown,
// over 4 GiB, or its read cut short.
class FailingSource final : public UpdateFileSource {
 public:
  FailingSource(bool lengthKnown, std::uint64_t length, bool readable)
      : lengthKnown_(lengthKnown), length_(length), readable_(readable) {}
  OpenResult Open(const char*) override { return OpenResult::kOpened; }
  bool QueryLength(std::uint64_t& length) override {
    length = length_;
    return lengthKnown_;
  }
  bool ReadAll(std::uint8_t* buffer, std::uint32_t length) override {
    const Bytes good = BuildSmf(0, 480, {kEndOfTrack});
    std::copy(good.begin(), good.begin() + std::min<std::size_t>(good.size(), length), buffer);
    return readable_;
  }

 private:
  bool lengthKnown_;
  std::uint64_t length_;
  bool readable_;
};

TEST(SmfLoad, FailuresAfterTheOpenDropTheBuffer) {
  const std::uint64_t good = BuildSmf(0, 480, {kEndOfTrack}).size();
  const struct {
    const char* what;
    FailingSource source;
    std::int32_t error;
  } cases[] = {
      {"length unknown", {false, good, true}, CSMF::kOpenFailed},
      {"read fails", {true, good, false}, CSMF::kOpenFailed},
      {"4 GiB", {true, std::uint64_t{1} << 32, true}, CSMF::kNoMemory},
      {"readable", {true, good, true}, CSMF::kOk},
  };
  for (auto c : cases) {
    CSMF smf;
    EXPECT_EQ(c.error == CSMF::kOk, smf.LoadFrom("any", c.source)) << c.what;
    EXPECT_EQ(c.error, smf.error()) << c.what;
    EXPECT_EQ(c.error == CSMF::kOk, smf.data() != nullptr) << c.what;
  }
  // The platform's own length of a sparse 4 GiB file, which costs no disk.
  TempFile huge(BuildSmf(0, 480, {kEndOfTrack}));
  std::error_code error;
  std::filesystem::resize_file(huge.path(), std::uint64_t{1} << 32, error);
  if (!error) {
    CSMF smf;
    EXPECT_FALSE(smf.Load(huge.path().c_str()));
    EXPECT_EQ(CSMF::kNoMemory, smf.error());
  }
}

TEST(SmfLoad, EachLoadReplacesThePreviousFile) {
  TempFile first(BuildSmf(1, 480, {kEndOfTrack, kEndOfTrack}));
  TempFile second(BuildSmf(0, 96, {Bytes{0x00, 0xF0, 0x00, 0x00, 0xFF, 0x2F, 0x00}}));
  CSMF smf;
  ASSERT_TRUE(smf.Load(first.path().c_str()));
  ASSERT_TRUE(smf.Load(second.path().c_str()));
  EXPECT_EQ(1, smf.trackCount());
  EXPECT_EQ(96, smf.division());
  EXPECT_EQ(0u, smf.track(1).length);
  EXPECT_EQ(7u + 8u, smf.track(0).length);
}

TEST(SmfLoad, EmptyObjectHasNothingLoaded) {
  CSMF smf;
  EXPECT_EQ(0, smf.error());
  EXPECT_EQ(nullptr, smf.data());
  EXPECT_EQ(0, smf.trackCount());
  EXPECT_EQ(0u, smf.parsedEnd());
  EXPECT_TRUE(smf.SplitTracks());  // with no data: nothing to split, success
  EXPECT_TRUE(smf.ResetPlayState());
}

struct StatusCase {
  std::int32_t error;
  StatusCode code;
};

TEST(SmfLoad, LoadErrorsMapToFileStatusCodes) {
  const StatusCase cases[] = {{0, 0},           {1, 0x80000008}, {2, 0x80000009},
                              {3, 0x8000000A},  {6, 0x8000000B}, {7, 0x8000000B},
                              {-1, 0x8000000B}};
  for (const StatusCase& c : cases) {
    EXPECT_EQ(c.code, StatusForLoadError(c.error)) << "error " << c.error;
  }
}

}  // namespace
