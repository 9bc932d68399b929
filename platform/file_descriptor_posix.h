// A POSIX file descriptor, closed once; -1 holds nothing.
#pragma once

#include <unistd.h>

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { Reset(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

  void Reset(int fd = -1) {
    if (valid()) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};
