// Loading through CreateFileA: the update file is opened with no sharing, and
// let go as soon as it is read.
#include <windows.h>

#include <gtest/gtest.h>

#include "smf/smf.h"
#include "tests/support/temp_file.h"
#include "tools/smf_builder.h"

namespace {

HANDLE OpenElsewhere(const std::string& path, DWORD share) {
  return CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(SmfFileWin32, OpensWithoutSharingAndLetsTheFileGoOnceRead) {
  const TempFile file(BuildSmf(0, 480, {{0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00}}));
  CSMF smf;
  // Even a holder that shares everything keeps a no-sharing open out.
  const HANDLE holder = OpenElsewhere(file.path(), FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  EXPECT_FALSE(smf.Load(file.path().c_str()));
  EXPECT_EQ(CSMF::kOpenFailed, smf.error());
  CloseHandle(holder);

  ASSERT_TRUE(smf.Load(file.path().c_str()));
  EXPECT_EQ(0xF0, smf.data()[14 + 8 + 1]);
  const HANDLE again = OpenElsewhere(file.path(), 0);
  EXPECT_NE(INVALID_HANDLE_VALUE, again) << "the loaded file stays locked";
  CloseHandle(again);
}

TEST(SmfFileWin32, OnlyAMissingFileIsNotFound) {
  const struct {
    std::string path;
    std::int32_t error;
  } cases[] = {
      {TempFile::UniquePath(), CSMF::kFileNotFound},
      {"Z:\\no-such-folder-t6\\update.mid", CSMF::kOpenFailed},  // shown as an empty line
      {"", CSMF::kOpenFailed},
  };
  for (const auto& c : cases) {
    CSMF smf;
    EXPECT_FALSE(smf.Load(c.path.c_str())) << c.path;
    EXPECT_EQ(c.error, smf.error()) << c.path;
  }
}

}  // namespace
