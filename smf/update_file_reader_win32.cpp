// The update file is opened with no sharing: while it is loaded nobody else can
// write it, and a file another process holds open is refused.
#include <windows.h>

#include "smf/update_file_reader.h"

namespace {
HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

UpdateFileReader::~UpdateFileReader() {
  if (AsHandle(handle_) != INVALID_HANDLE_VALUE) CloseHandle(AsHandle(handle_));
}

UpdateFileReader::OpenResult UpdateFileReader::Open(const char* path) {
  const HANDLE h = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_FILE_NOT_FOUND ? OpenResult::kNotFound : OpenResult::kFailed;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  return OpenResult::kOpened;
}

bool UpdateFileReader::QueryLength(std::uint64_t& length) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(AsHandle(handle_), &size) || size.QuadPart < 0) return false;
  length = static_cast<std::uint64_t>(size.QuadPart);
  return true;
}

bool UpdateFileReader::ReadAll(std::uint8_t* buffer, std::uint32_t length) {
  DWORD read = 0;
  return ReadFile(AsHandle(handle_), buffer, length, &read, nullptr) && read == length;
}
