#include "platform/worker_thread.h"

bool WorkerThread::Start(Priority priority, Procedure procedure, void* parameter) {
  if (started_) return false;
  procedure_ = procedure;
  parameter_ = parameter;
  // Created suspended, so that not one instruction runs at the wrong priority.
  thread_.Reset(CreateThread(nullptr, 0, &WorkerThread::Run, this, CREATE_SUSPENDED, nullptr));
  if (!thread_.valid()) return false;
  started_ = true;
  SetThreadPriority(thread_.get(), priority == Priority::kHighest ? THREAD_PRIORITY_HIGHEST : THREAD_PRIORITY_NORMAL);
  ResumeThread(thread_.get());
  return true;
}

bool WorkerThread::JoinFor(std::uint32_t ms) {
  if (!thread_.valid()) return true;
  if (GetThreadId(thread_.get()) != GetCurrentThreadId()) {
    const WaitDeadline deadline(ms);
    for (;;) {
      const HANDLE thread = thread_.get();
      const DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, deadline.Remaining(), QS_SENDMESSAGE);
      if (woken == WAIT_TIMEOUT) return false;
      if (woken != WAIT_OBJECT_0 + 1) break;  // ended, or the wait itself failed
      MSG message;
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // handles sent messages
    }
  }
  thread_.Reset();
  return true;
}

DWORD WINAPI WorkerThread::Run(LPVOID self) {
  const auto& thread = *static_cast<WorkerThread*>(self);
  thread.procedure_(thread.parameter_);
  return 0;
}
