// A file in the temporary directory, removed when the object goes.
#pragma once

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "tools/smf_builder.h"

class TempFile {
 public:
  explicit TempFile(const Bytes& contents) : path_(UniquePath()) {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (f != nullptr) {
      if (!contents.empty()) std::fwrite(contents.data(), 1, contents.size(), f);
      std::fclose(f);
    }
  }
  ~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& path() const { return path_; }

  static std::string UniquePath() {
    static const unsigned run = std::random_device{}();  // apart from other test processes
    static std::atomic<int> counter{0};
    const auto name = "t6test-" + std::to_string(run) + "-" + std::to_string(counter++) + ".mid";
    return (std::filesystem::temp_directory_path() / name).string();
  }

 private:
  std::string path_;
};
