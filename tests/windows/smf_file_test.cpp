// Loading through CreateFileA: the update file is opened with no sharing.
#include <windows.h>

#include <gtest/gtest.h>

#include "smf/smf.h"
#include "tests/support/temp_file.h"
#include "tools/smf_builder.h"

namespace {

const Bytes kTrack = {0x00, 0xF0, 0x02, 0x01, 0xF7,  // delta 0, SysEx of 2
                      0x00, 0xFF, 0x2F, 0x00};       // delta 0, End of Track

// An open handle to a file, closed when the test ends.
class OpenHandle {
 public:
  OpenHandle(const std::string& path, DWORD share)
      : h_(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~OpenHandle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  OpenHandle(const OpenHandle&) = delete;
  OpenHandle& operator=(const OpenHandle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

TEST(SmfFileWin32, LoadsARealFile) {
  TempFile file(BuildSmf(0, 480, {kTrack}));
  CSMF smf;
  ASSERT_TRUE(smf.Load(file.path().c_str()));
  EXPECT_EQ(0, smf.error());
  EXPECT_EQ(14u + 8u + kTrack.size(), smf.size());
  EXPECT_EQ(14u, smf.track(0).offset);
  EXPECT_EQ(0xF0, smf.data()[14 + 8 + 1]);
}

TEST(SmfFileWin32, AFileHeldOpenElsewhereCannotBeOpened) {
  TempFile file(BuildSmf(0, 480, {kTrack}));
  CSMF smf;
  {
    // Even a holder that shares everything keeps a no-sharing open out.
    OpenHandle other(file.path(), FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_TRUE(other.valid());
    EXPECT_FALSE(smf.Load(file.path().c_str()));
    EXPECT_EQ(CSMF::kOpenFailed, smf.error());
  }
  EXPECT_TRUE(smf.Load(file.path().c_str()));
}

TEST(SmfFileWin32, MissingFileAndMissingFolderDiffer) {
  CSMF smf;
  EXPECT_FALSE(smf.Load(TempFile::UniquePath().c_str()));
  EXPECT_EQ(CSMF::kFileNotFound, smf.error());
  // A bad path is "cannot open", which the dialog shows as an empty line.
  EXPECT_FALSE(smf.Load("Z:\\no-such-folder-t6\\update.mid"));
  EXPECT_EQ(CSMF::kOpenFailed, smf.error());
  EXPECT_FALSE(smf.Load(""));
  EXPECT_EQ(CSMF::kOpenFailed, smf.error());
}

TEST(SmfFileWin32, WhileLoadedOthersCanOpenTheFileAgain) {
  // The file is closed as soon as it is read: nothing stays locked.
  TempFile file(BuildSmf(0, 480, {kTrack}));
  CSMF smf;
  ASSERT_TRUE(smf.Load(file.path().c_str()));
  OpenHandle other(file.path(), 0);
  EXPECT_TRUE(other.valid());
}

}  // namespace
