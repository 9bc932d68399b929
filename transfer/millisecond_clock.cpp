#include "transfer/millisecond_clock.h"

std::uint32_t WholeMilliseconds(std::uint64_t elapsedTicks, std::uint64_t ticksPerSecond) {
  if (ticksPerSecond == 0) return 0;
  const std::uint64_t seconds = elapsedTicks / ticksPerSecond;
  const std::uint64_t rest = elapsedTicks % ticksPerSecond;
  // rest x 1000 overflows only for frequencies above 1.8e16 ticks a second.
  return static_cast<std::uint32_t>(seconds * 1000u + rest * 1000u / ticksPerSecond);
}
