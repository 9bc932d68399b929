// Worker threads in the host build, where the workers' logic is tested. There
// is no message loop to keep serving, and priorities are left to the system.
#pragma once

#include <thread>

class WorkerThread {
 public:
  enum class Priority { kNormal, kHighest };
  using Procedure = void (*)(void* parameter);  // must not throw

  WorkerThread() = default;
  ~WorkerThread() { Join(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  bool started() const { return started_; }

  bool Start(Priority, Procedure procedure, void* parameter) {
    if (started_) return false;
    try {
      thread_ = std::thread(procedure, parameter);
    } catch (...) {  // std::system_error: no thread could be made
      return false;
    }
    started_ = true;
    return true;
  }

  void Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  }

 private:
  std::thread thread_;
  bool started_ = false;
};
