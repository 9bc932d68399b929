// The file access behind CSMF::Load: open read-only with no sharing, size, and
// read the whole file. The platform's files come through UpdateFileReader, one
// implementation per platform; a test may hand Load another source.
#pragma once

#include <cstdint>

#include "platform/file_handle.h"

class UpdateFileSource {
 public:
  enum class OpenResult { kOpened, kNotFound, kFailed };

  // path is UTF-8 (on Windows, any path the platform can open, of any length).
  virtual OpenResult Open(const char* path) = 0;
  // False when the file system cannot tell the length.
  virtual bool QueryLength(std::uint64_t& length) = 0;
  // True only when exactly length bytes were read into buffer.
  virtual bool ReadAll(std::uint8_t* buffer, std::uint32_t length) = 0;

 protected:
  ~UpdateFileSource() = default;
};

class UpdateFileReader final : public UpdateFileSource {
 public:
  UpdateFileReader() = default;
  UpdateFileReader(const UpdateFileReader&) = delete;
  UpdateFileReader& operator=(const UpdateFileReader&) = delete;

  OpenResult Open(const char* path) override;
  bool QueryLength(std::uint64_t& length) override;
  bool ReadAll(std::uint8_t* buffer, std::uint32_t length) override;

 private:
  FileHandle file_;  // closed with the reader
};
