#include "transfer/pacing_sleeper_win32.h"

#include <mmsystem.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {
constexpr UINT kTimerPeriodMs = 1;
constexpr LONGLONG kHundredNanosecondsPerMs = 10000;
}  // namespace

void PacingSleeper::Begin() {
  End();
  timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
  if (timer_ == nullptr) periodRaised_ = timeBeginPeriod(kTimerPeriodMs) == TIMERR_NOERROR;
}

void PacingSleeper::End() {
  if (timer_ != nullptr) {
    CloseHandle(timer_);
    timer_ = nullptr;
  }
  if (periodRaised_) {
    timeEndPeriod(kTimerPeriodMs);
    periodRaised_ = false;
  }
}

void PacingSleeper::Sleep(std::uint32_t ms) {
  if (timer_ != nullptr) {
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(ms) * kHundredNanosecondsPerMs;  // negative: relative
    if (SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE) &&
        WaitForSingleObject(timer_, INFINITE) == WAIT_OBJECT_0) {
      return;
    }
  }
  ::Sleep(ms);
}
