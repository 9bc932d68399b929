// Worker threads in the host build, where the workers' logic is tested. There
// is no message loop to keep serving, and priorities are left to the system.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
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
      thread_ = std::thread([this, procedure, parameter] {
        procedure(parameter);
        const std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        endedSignal_.notify_all();
      });
    } catch (...) {  // std::system_error: no thread could be made
      return false;
    }
    started_ = true;
    return true;
  }

  void Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  }

  bool JoinFor(std::uint32_t ms) {
    if (!thread_.joinable()) return true;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!endedSignal_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return ended_; })) return false;
    }
    Join();
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable endedSignal_;
  bool ended_ = false;
  std::thread thread_;  // last: started after the rest exists
  bool started_ = false;
};
