// Files and folders in the temporary directory, removed when the object goes.
// Paths are UTF-8 strings, as the program keeps them.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "tools/smf_builder.h"

// Part of a name that no other test process picks.
inline std::string UniqueTag() {
  static const unsigned run = std::random_device{}();
  static std::atomic<int> counter{0};
  return std::to_string(run) + "-" + std::to_string(counter++);
}

class TempFile {
 public:
  explicit TempFile(const Bytes& contents) : TempFile(contents, std::filesystem::u8path(UniquePath())) {}
  // At path (a folder that exists), for names the program must take as they are.
  TempFile(const Bytes& contents, const std::filesystem::path& path) : path_(path), utf8_(path.u8string()) {
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(contents.data()), static_cast<std::streamsize>(contents.size()));
  }
  ~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& path() const { return utf8_; }

  static std::string UniquePath() {
    return (std::filesystem::temp_directory_path() / ("t6test-" + UniqueTag() + ".mid")).u8string();
  }

 private:
  std::filesystem::path path_;
  std::string utf8_;
};

// A folder of the given UTF-8 name (with subfolders, if it has separators)
// under the temporary directory, removed with its contents.
class TempFolder {
 public:
  explicit TempFolder(const std::string& name)
      : top_(std::filesystem::temp_directory_path() / ("t6test-" + UniqueTag())),
        path_(top_ / std::filesystem::u8path(name)) {
    std::error_code ignored;
    std::filesystem::create_directories(path_, ignored);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(top_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path top_;
  std::filesystem::path path_;
};
