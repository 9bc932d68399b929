// Portable open for the host build. POSIX has no share modes, so the file is
// only opened read-only; a directory counts as a failed open.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "smf/update_file_reader.h"

UpdateFileReader::OpenResult UpdateFileReader::Open(const char* path) {
  if (path == nullptr || *path == '\0') return OpenResult::kFailed;
  const int opened = open(path, O_RDONLY | O_CLOEXEC);
  const int error = errno;
  file_.Reset(opened);
  if (!file_.valid()) return error == ENOENT ? OpenResult::kNotFound : OpenResult::kFailed;
  struct stat info {};
  if (fstat(file_.get(), &info) != 0 || !S_ISREG(info.st_mode)) return OpenResult::kFailed;
  return OpenResult::kOpened;
}

bool UpdateFileReader::QueryLength(std::uint64_t& length) {
  struct stat info {};
  if (fstat(file_.get(), &info) != 0 || info.st_size < 0) return false;
  length = static_cast<std::uint64_t>(info.st_size);
  return true;
}

bool UpdateFileReader::ReadAll(std::uint8_t* buffer, std::uint32_t length) {
  // read() may return fewer bytes than asked for (Linux caps one call near 2 GiB).
  std::uint64_t done = 0;
  while (done < length) {
    const ssize_t got = read(file_.get(), buffer + done, length - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::uint64_t>(got);
  }
  return true;
}
