// Loading through the Win32 file functions: the update file is opened with no
// sharing and let go as soon as it is read, and any path the platform can
// open is loaded: characters outside the ANSI code page, and any length.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/wide_text_win32.h"
#include "smf/smf.h"
#include "tests/support/temp_file.h"
#include "tools/smf_builder.h"

namespace {

// Folder names outside every ANSI code page, and the file name of a real operator's download.
constexpr char kUnicodeFolder[] = "\xE3\x83\x95\xE3\x82\xA1\xE3\x83\xBC\xE3\x83\xA0\xE3\x82\xA6\xE3\x82\xA7\xE3\x82\xA2 "
                                  "\xE6\x9B\xB4\xE6\x96\xB0 \xE2\x9C\x93";  // "ファームウェア 更新 ✓"
constexpr char kUnicodeFile[] = "t6 \xE2\x80\x93 \xE7\x89\x88.mid";         // "t6 – 版.mid"

// Nested folders that make a path of about 300 characters.
std::string LongFolderName() {
  std::string name;
  for (int i = 0; i < 5; ++i) name += std::string(50, static_cast<char>('a' + i)) + "\\";
  return name;
}

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

TEST(SmfFileWin32, LoadsAnyPathThePlatformCanOpen) {
  for (const std::string& folderName : {std::string(kUnicodeFolder), LongFolderName() + kUnicodeFolder}) {
    const TempFolder folder(folderName);
    const TempFile file(kGoodFile, folder.path() / std::filesystem::u8path(kUnicodeFile));
    SCOPED_TRACE(file.path());
    ASSERT_TRUE(std::filesystem::is_regular_file(std::filesystem::u8path(file.path())));
    CSMF smf;
    EXPECT_TRUE(smf.Load(file.path().c_str()));
    EXPECT_EQ(CSMF::kOk, smf.error());
    EXPECT_EQ(kGoodFile.size(), smf.size());
  }
}

TEST(SmfFileWin32, OnlyAMissingFileIsNotFound) {
  const TempFolder longFolder(LongFolderName());
  const std::string longPath = longFolder.path().u8string();
  ASSERT_GT(longPath.size(), 260u);
  const struct {
    std::string path;
    std::int32_t error;
  } cases[] = {
      {TempFile::UniquePath(), CSMF::kFileNotFound},
      {longPath + "\\missing \xE2\x9C\x93.mid", CSMF::kFileNotFound},
      {"Z:\\no-such-folder-t6\\update.mid", CSMF::kOpenFailed},  // shown as an empty line
      {longPath + "\\no-such-folder\\update.mid", CSMF::kOpenFailed},
      {longPath, CSMF::kOpenFailed},  // a folder
      {"", CSMF::kOpenFailed},
  };
  for (const auto& c : cases) {
    CSMF smf;
    EXPECT_FALSE(smf.Load(c.path.c_str())) << c.path;
    EXPECT_EQ(c.error, smf.error()) << c.path;
  }
}

}  // namespace
