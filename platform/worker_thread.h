// A thread the dialog starts for a worker and waits for before it releases
// what the worker uses. One implementation per platform, same interface:
//   bool Start(Priority, Procedure, void* parameter);  // at most once
//   void Join();                    // returns at once if never started
//   bool JoinFor(std::uint32_t ms); // at most ms; true once the thread has ended
// The destructor joins.
#pragma once

#ifdef _WIN32
#include "platform/worker_thread_win32.h"
#else
#include "platform/worker_thread_posix.h"
#endif
