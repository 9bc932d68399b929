// Loading update files: header and chunk checks, the track table, and the
// error values the dialog turns into status codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "smf/load_status.h"
#include "smf/smf.h"
#include "smf/update_file_reader.h"
#include "tools/memory_file.h"
#include "tools/smf_builder.h"
#include "tools/temp_file.h"

namespace {

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
const Bytes kHead = BuildHeader(0, 1, 480);          // format 0, one track, 480 ticks
const Bytes kEot = Chunk(4, kEndOfTrack);
const Bytes kOneTrack = Concat({kHead, kEot});

TEST(SmfLoad, ReportsOnlyTheLoadErrorValues) {
  const struct {
    const char* name;
    Bytes file;
    std::int32_t error;  // 0: loads
  } cases[] = {
      {"empty file", {}, 7},
      {"13 bytes, one short of a header", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01}, 7},
      // Length 7, the chunk right after the six bytes a reader knows.
      {"header length 7", Concat({{'M', 'T', 'h', 'd', 0, 0, 0, 7, 0, 0, 0, 1, 1, 0xE0}, kEot}), 7},
      {"not MThd", Concat({{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 1, 0xE0}, kEot}), 7},
      {"format 2", Concat({BuildHeader(2, 1, 480), kEot}), 0},
      {"format 3", Concat({BuildHeader(3, 1, 480), kEot}), 7},
      {"zero tracks", BuildHeader(0, 0, 480), 7},
      {"16 tracks", BuildSmf(1, 480, std::vector<Bytes>(16, kEndOfTrack)), 0},
      {"17 tracks", BuildHeader(1, 17, 480), 7},
      {"one track declared, nothing after", kHead, 7},
      {"chunk length cut short", Concat({kHead, {'M', 'T', 'r', 'k', 0, 0}}), 7},
      {"chunk one byte past the end", Concat({kHead, Chunk(5, kEndOfTrack)}), 7},
      {"chunk exactly to the end", kOneTrack, 0},
      // A length that wraps the end position past 4 GiB back into the file.
      {"chunk length wraps", Concat({kHead, Chunk(0xFFFFFFF8u, kEndOfTrack)}), 7},
      {"other chunk among the tracks", Concat({BuildHeader(1, 2, 480), kEot, {'X', 'F', 'I', 'H'}}), 7},
      {"gap before the chunk", Concat({kHead, {0}, kEot}), 7},
      // Zero ticks per quarter note cannot pace a transfer.
      {"division 0", Concat({BuildHeader(0, 1, 0), kEot}), 7},
  };
  for (const auto& c : cases) {
    TempFile file(c.file);
    CSMF smf;
    EXPECT_EQ(c.error == 0, smf.Load(file.path().c_str())) << c.name;
    EXPECT_EQ(c.error, smf.error()) << c.name;
  }
}

TEST(SmfLoad, TrackTableHoldsTheDeclaredTracksFromTheirTags) {
  // Two tracks declared and three chunks held: the third is never looked at.
  // A timecode division (-25 fps, 40 ticks) is kept as its unsigned value.
  const Bytes body = {0x00, 0xF0, 0x01, 0xF7, 0x00, 0xFF, 0x2F, 0x00};
  TempFile file(Concat({BuildHeader(1, 2, 0xE728), Chunk(8, body), kEot, kEot}));
  CSMF smf;
  ASSERT_TRUE(smf.Load(file.path().c_str()));
  EXPECT_EQ(1, smf.format());
  EXPECT_EQ(2, smf.trackCount());
  EXPECT_EQ(0xE728, smf.division());
  // Lengths include the 8-byte chunk header.
  EXPECT_EQ(14u, smf.track(0).offset);
  EXPECT_EQ(8u + 8u, smf.track(0).length);
  EXPECT_EQ(14u + 16u, smf.track(1).offset);
  EXPECT_EQ(4u + 8u, smf.track(1).length);
  EXPECT_EQ(0u, smf.track(2).length);
  EXPECT_EQ(14u + 16u + 12u, smf.parsedEnd());
  EXPECT_EQ(smf.parsedEnd() + 12u, smf.size());
}

TEST(SmfLoad, EachLoadReplacesThePreviousFileAndAFailedOneLeavesNothingReadable) {
  TempFile first(Concat({BuildHeader(1, 2, 480), kEot, kEot}));
  TempFile second(BuildSmf(0, 96, {Bytes{0x00, 0xF0, 0x00, 0x00, 0xFF, 0x2F, 0x00}}));
  CSMF smf;
  ASSERT_TRUE(smf.Load(first.path().c_str()));
  ASSERT_TRUE(smf.Load(second.path().c_str()));
  EXPECT_EQ(1, smf.trackCount());
  EXPECT_EQ(96, smf.division());
  EXPECT_EQ(7u + 8u, smf.track(0).length);
  EXPECT_EQ(0u, smf.track(1).length);  // the first file's second track is gone

  ASSERT_FALSE(smf.Load(TempFile::UniquePath().c_str()));
  EXPECT_EQ(nullptr, smf.data());
  // The readers and the header check refuse rather than touch the dropped buffer.
  std::uint32_t position = 8;
  EXPECT_EQ(0u, smf.ReadVarLen(position, 0));
  EXPECT_EQ(CSMF::kMalformed, smf.error());
  smf.ResetPlayState();
  EXPECT_EQ(0u, smf.CheckHeader());
  EXPECT_EQ(CSMF::kMalformed, smf.error());
}

TEST(SmfLoad, FilesThatCannotBeOpenedOrReadLeaveNoBuffer) {
  const std::pair<std::string, std::int32_t> paths[] = {
      {TempFile::UniquePath(), CSMF::kFileNotFound},
      {"", CSMF::kOpenFailed},
      {std::filesystem::temp_directory_path().string(), CSMF::kOpenFailed},
  };
  for (const auto& [path, error] : paths) {
    CSMF smf;
    EXPECT_FALSE(smf.Load(path.c_str())) << path;
    EXPECT_EQ(error, smf.error()) << path;
  }
  // A file that opens, then fails as the file system can.
  const struct {
    const char* what;
    bool lengthKnown, readable;
    std::uint64_t length;
    std::int32_t error;
  } cases[] = {
      {"length unknown", false, true, kOneTrack.size(), CSMF::kOpenFailed},
      {"read fails", true, false, kOneTrack.size(), CSMF::kOpenFailed},
      {"4 GiB", true, true, std::uint64_t{1} << 32, CSMF::kNoMemory},
      {"readable", true, true, kOneTrack.size(), CSMF::kOk},  // the source itself works
  };
  for (const auto& c : cases) {
    MemoryFile file(kOneTrack.data(), kOneTrack.size());
    file.lengthKnown = c.lengthKnown;
    file.readable = c.readable;
    file.length = c.length;
    CSMF smf;
    EXPECT_EQ(c.error == CSMF::kOk, smf.LoadFrom("any", file)) << c.what;
    EXPECT_EQ(c.error, smf.error()) << c.what;
    EXPECT_EQ(c.error == CSMF::kOk, smf.data() != nullptr) << c.what;
  }
  // The platform's own length of a sparse 4 GiB file, which costs no disk.
  TempFile huge(kOneTrack);
  std::error_code error;
  std::filesystem::resize_file(huge.path(), std::uint64_t{1} << 32, error);
  if (!error) {
    CSMF smf;
    EXPECT_FALSE(smf.Load(huge.path().c_str()));
    EXPECT_EQ(CSMF::kNoMemory, smf.error());
  }
}

TEST(SmfLoad, LoadErrorsMapToFileStatusCodes) {
  const struct {
    std::int32_t error;
    StatusCode code;
  } cases[] = {{0, 0},          {1, 0x80000008}, {2, 0x80000009}, {3, 0x8000000A},
               {6, 0x8000000B}, {7, 0x8000000B}, {-1, 0x8000000B}};
  for (const auto& c : cases) EXPECT_EQ(c.code, StatusForLoadError(c.error)) << c.error;
}

}  // namespace
