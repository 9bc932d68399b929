// Loading through the Win32 file functions: the update file is opened with no
// sharing and let go as soon as it is read, and a path of any length is told
// missing or refused. (That such paths load, with characters outside the ANSI
// code page, the dialog tests show: in process with 300 characters, end to end
// from a Japanese folder.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/wide_text_win32.h"
#include "smf/smf.h"
#include "tools/smf_builder.h"
#include "tools/temp_file.h"

namespace {

HANDLE OpenElsewhere(const std::string& path, DWORD share) {
  return CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

const Bytes kGoodFile = BuildSmf(0, 480, {{0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00}});

TEST(SmfFileWin32, OpensWithoutSharingAndLetsTheFileGoOnceRead) {
  const TempFile file(kGoodFile);
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
  std::string longName;  // nested folders that make a path of about 300 characters
  for (int i = 0; i < 5; ++i) longName += std::string(50, static_cast<char>('a' + i)) + "\\";
  const TempFolder longFolder(longName);
  const std::string longPath = longFolder.path().u8string();
  ASSERT_GT(longPath.size(), 260u);
  const struct {
    std::string path;
    std::int32_t error;
  } cases[] = {
      // A short missing file, a folder and "" are the portable reader test's, here too.
      {longPath + "\\missing \xE2\x9C\x93.mid", CSMF::kFileNotFound},
      {"Z:\\no-such-folder-t6\\update.mid", CSMF::kOpenFailed},  // shown as an empty line
      {longPath + "\\no-such-folder\\update.mid", CSMF::kOpenFailed},
      {longPath, CSMF::kOpenFailed},  // a folder
  };
  for (const auto& c : cases) {
    CSMF smf;
    EXPECT_FALSE(smf.Load(c.path.c_str())) << c.path;
    EXPECT_EQ(c.error, smf.error()) << c.path;
  }
}

}  // namespace
