#include "transfer/pacing_sleeper_win32.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {
constexpr UINT kTimerPeriodMs = 1;
constexpr LONGLONG kHundredNanosecondsPerMs = 10000;
}  // namespace

void HighResolutionSleeper::Begin() {
  End();
  timer_.Reset(CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS));
  if (!timer_.valid()) period_.emplace(kTimerPeriodMs);
}

void HighResolutionSleeper::End() {
  timer_.Reset();
  period_.reset();
}

void HighResolutionSleeper::Sleep(std::uint32_t ms) {
  if (timer_.valid()) {
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(ms) * kHundredNanosecondsPerMs;  // negative: relative
    if (SetWaitableTimer(timer_.get(), &due, 0, nullptr, nullptr, FALSE) &&
        WaitForSingleObject(timer_.get(), INFINITE) == WAIT_OBJECT_0) {
      return;
    }
  }
  ::Sleep(ms);
}
