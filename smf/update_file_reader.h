// The file access behind CSMF::Load: open read-only with no sharing, size, and
// read the whole file. One implementation per platform.
#pragma once

#include <cstdint>

class UpdateFileReader {
 public:
  enum class OpenResult { kOpened, kNotFound, kFailed };

  UpdateFileReader() = default;
  ~UpdateFileReader();  // closes the file
  UpdateFileReader(const UpdateFileReader&) = delete;
  UpdateFileReader& operator=(const UpdateFileReader&) = delete;

  OpenResult Open(const char* path);
  // False when the file system cannot tell the length.
  bool QueryLength(std::uint64_t& length);
  // True only when exactly length bytes were read into buffer.
  bool ReadAll(std::uint8_t* buffer, std::uint32_t length);

 private:
  // A file descriptor or a HANDLE; -1 (INVALID_HANDLE_VALUE) while closed.
  std::intptr_t handle_ = -1;
};
