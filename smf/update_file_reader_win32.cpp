// The update file is opened with no sharing: while it is loaded nobody else can
// write it, and a file another process holds open is refused. The path is
// UTF-8 and is opened through the wide functions, so that no character of it
// passes through the ANSI code page; a path too long for the plain form is
// opened in its extended-length form.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/long_path.h"
#include "platform/wide_text_win32.h"
#include "smf/update_file_reader.h"

namespace {

// The path as CreateFileW takes it at any length.
std::wstring OpenablePath(const std::wstring& path) {
  if (path.size() < MAX_PATH) return path;
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::vector<wchar_t> full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  const std::u16string extended = ExtendedLengthPath(std::u16string(full.data(), full.data() + length));
  return std::wstring(extended.begin(), extended.end());
}

}  // namespace

UpdateFileReader::OpenResult UpdateFileReader::Open(const char* path) {
  const std::wstring wide = OpenablePath(WideFromUtf8(path));
  const HANDLE opened =
      CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = GetLastError();
  file_.Reset(opened);
  if (!file_.valid()) return error == ERROR_FILE_NOT_FOUND ? OpenResult::kNotFound : OpenResult::kFailed;
  return OpenResult::kOpened;
}

bool UpdateFileReader::QueryLength(std::uint64_t& length) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file_.get(), &size) || size.QuadPart < 0) return false;
  length = static_cast<std::uint64_t>(size.QuadPart);
  return true;
}

bool UpdateFileReader::ReadAll(std::uint8_t* buffer, std::uint32_t length) {
  DWORD read = 0;
  return ReadFile(file_.get(), buffer, length, &read, nullptr) && read == length;
}
