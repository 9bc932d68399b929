// Worker threads on Windows. A join keeps handling the messages that other
// threads send to the joining thread's windows: a worker that is setting a
// control's text waits for the dialog thread, and would wait forever for a
// dialog thread that waits for it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/handles_win32.h"

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
