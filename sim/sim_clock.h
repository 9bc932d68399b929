// Time as the simulator sees it: write timestamps and the slow-bus delay. The
// tests substitute a fake that advances on Sleep and never sleeps.
#pragma once

#include <cstdint>
#include <memory>

namespace sim {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint64_t Now() = 0;  // ticks
  virtual std::uint64_t TicksPerSecond() = 0;
  virtual void SleepMicroseconds(std::uint64_t us) = 0;
};

// QueryPerformanceCounter on Windows, the steady clock in nanoseconds elsewhere.
std::shared_ptr<Clock> MakeSystemClock();

}  // namespace sim
