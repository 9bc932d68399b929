// When the thread that owns a watch went into the driver: what lets a close
// tell a slow driver from a stuck one. The worker marks each driver call; a
// close waits for the worker as long as every call returns within the bound
// of its start, and gives up only on a call that stays longer.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

class DriverCallWatch {
 public:
  using Clock = std::uint64_t (*)();  // milliseconds, never going back
  static std::uint64_t SteadyMilliseconds() {
    const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count());
  }

  explicit DriverCallWatch(Clock clock = &SteadyMilliseconds) : clock_(clock) {}
  DriverCallWatch(const DriverCallWatch&) = delete;
  DriverCallWatch& operator=(const DriverCallWatch&) = delete;

  // A driver call begins now. Within a call, the next call of the same
  // stretch begins (a retry, say): the bound counts from here again.
  void Enter() { since_.store(static_cast<std::int64_t>(clock_())); }
  void Leave() { since_.store(kNone); }
  bool InCall() const { return since_.load() != kNone; }

  // Runs call() as one driver call and returns what it returns.
  template <class Call>
  decltype(auto) Timed(Call&& call) {
    const Scope scope(*this);
    return call();
  }

  // Milliseconds left until the call under way has lasted longer than
  // boundMs; 0 once it has. With no call under way, boundMs: a call that
  // begins later cannot be overdue sooner.
  std::uint32_t MsUntilOverdue(std::uint32_t boundMs) const {
    const std::int64_t since = since_.load();
    if (since == kNone) return boundMs;
    const auto now = static_cast<std::int64_t>(clock_());
    const std::int64_t lasted = now > since ? now - since : 0;  // entered after the reading: just begun
    return lasted > boundMs ? 0 : static_cast<std::uint32_t>(boundMs - lasted + 1);
  }

 private:
  class Scope {
   public:
    explicit Scope(DriverCallWatch& watch) : watch_(watch) { watch_.Enter(); }
    ~Scope() { watch_.Leave(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    DriverCallWatch& watch_;
  };

  static constexpr std::int64_t kNone = -1;
  const Clock clock_;
  std::atomic<std::int64_t> since_{kNone};
};

// call() as a driver call of watch, or untimed when there is no watch.
template <class Call>
decltype(auto) TimedCall(DriverCallWatch* watch, Call&& call) {
  if (watch == nullptr) return call();
  return watch->Timed(call);
}

// Waits for a worker that was asked to stop, for as long as each of its
// driver calls returns within boundMs of its start: a slow driver is waited
// for, however many calls the worker still makes. False when one call has
// lasted longer: the worker is stuck in the driver and still runs.
// Worker: bool JoinFor(std::uint32_t ms), true once the worker has ended.
template <class Worker>
bool JoinWhileCallsReturn(Worker& worker, const DriverCallWatch& calls, std::uint32_t boundMs) {
  for (;;) {
    const std::uint32_t untilOverdue = calls.MsUntilOverdue(boundMs);
    if (worker.JoinFor(untilOverdue)) return true;
    if (untilOverdue == 0) return false;
  }
}
