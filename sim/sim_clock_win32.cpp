#include <windows.h>

#include <chrono>
#include <thread>

#include "sim/host_process.h"
#include "sim/sim_clock.h"

namespace sim {
namespace {

// The same counter the program paces itself against in benchmarks.
class PerformanceCounterClock final : public Clock {
 public:
  std::uint64_t Now() override {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<std::uint64_t>(now.QuadPart);
  }
  std::uint64_t TicksPerSecond() override {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<std::uint64_t>(frequency.QuadPart);
  }
  void SleepMicroseconds(std::uint64_t us) override { std::this_thread::sleep_for(std::chrono::microseconds(us)); }
};

}  // namespace

std::shared_ptr<Clock> MakeSystemClock() { return std::make_shared<PerformanceCounterClock>(); }

void CrashHostProcess() {
  constexpr UINT kAccessViolation = 0xC0000005;  // what a crash ends a process with
  TerminateProcess(GetCurrentProcess(), kAccessViolation);
  ExitProcess(kAccessViolation);
}

}  // namespace sim
