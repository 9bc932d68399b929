// Worker threads on Windows. A join keeps handling the messages that other
// threads send to the joining thread's windows: a worker that is setting a
// control's text waits for the dialog thread, and would wait forever for a
// dialog thread that waits for it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/handles_win32.h"

// What is left of a wait of ms milliseconds; INFINITE stays INFINITE.
class WaitDeadline {
 public:
  explicit WaitDeadline(DWORD ms) : ms_(ms), end_(GetTickCount64() + ms) {}
  DWORD Remaining() const {
    if (ms_ == INFINITE) return INFINITE;
    const ULONGLONG now = GetTickCount64();
    return now < end_ ? static_cast<DWORD>(end_ - now) : 0;
  }

 private:
  DWORD ms_;
  ULONGLONG end_;
};

class WorkerThread {
 public:
  enum class Priority { kNormal, kHighest };
  using Procedure = void (*)(void* parameter);  // must not throw

  WorkerThread() = default;
  ~WorkerThread() { Join(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  bool started() const { return started_; }
  bool Start(Priority priority, Procedure procedure, void* parameter);
  void Join() { JoinFor(INFINITE); }
  bool JoinFor(std::uint32_t ms);

 private:
  static DWORD WINAPI Run(LPVOID self);

  KernelHandle thread_;
  bool started_ = false;
  Procedure procedure_ = nullptr;
  void* parameter_ = nullptr;
};
