#include <chrono>
#include <cstdlib>
#include <thread>

#include "sim/host_process.h"
#include "sim/sim_clock.h"

namespace sim {
namespace {

class SteadyClock final : public Clock {
 public:
  std::uint64_t Now() override {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
  }
  std::uint64_t TicksPerSecond() override { return 1000000000u; }
  void SleepMicroseconds(std::uint64_t us) override { std::this_thread::sleep_for(std::chrono::microseconds(us)); }
};

}  // namespace

std::shared_ptr<Clock> MakeSystemClock() { return std::make_shared<SteadyClock>(); }

void CrashHostProcess() { std::abort(); }

}  // namespace sim
