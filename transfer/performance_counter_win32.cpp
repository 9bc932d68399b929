#include "transfer/performance_counter_win32.h"

#include "transfer/millisecond_clock.h"

std::uint32_t PerformanceCounterClock::Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);  // cannot fail on XP and later
  if (!started_) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    frequency_ = frequency.QuadPart;
    origin_ = now.QuadPart;
    started_ = true;
  }
  return WholeMilliseconds(static_cast<std::uint64_t>(now.QuadPart - origin_), static_cast<std::uint64_t>(frequency_));
}
