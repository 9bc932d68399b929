// Lets the dialog stop a worker: the worker polls StopRequested() in its loops
// and sleeps through WaitFor(), which returns early once a stop is requested.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class StopSignal {
 public:
  void RequestStop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_.store(true);
    }
    wake_.notify_all();
  }

  bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }

  // Sleeps for ms milliseconds; false when a stop was requested before or during the wait.
  bool WaitFor(std::uint32_t ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
  }

 private:
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
};
