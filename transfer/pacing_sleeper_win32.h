// Sleeps on Windows for the transfer's pacing. Begin takes a high-resolution
// waitable timer where the system has one (Windows 10, version 1803 on);
// otherwise it raises the system timer to 1 ms for the transfer, so that a
// Sleep of a few milliseconds is not rounded up to the default 15.6 ms tick.
// End gives back what Begin took; so does the destructor.
#pragma once

#include <windows.h>

#include <optional>

#include "platform/handles_win32.h"
#include "transfer/transfer_ports.h"

class HighResolutionSleeper final : public PacingSleeper {
 public:
  HighResolutionSleeper() = default;
  ~HighResolutionSleeper() { End(); }
  HighResolutionSleeper(const HighResolutionSleeper&) = delete;
  HighResolutionSleeper& operator=(const HighResolutionSleeper&) = delete;

  void Begin() override;
  void End() override;
  void Sleep(std::uint32_t ms) override;

  // What Begin obtained, for the benchmark's report.
  bool highResolutionTimer() const { return timer_.valid(); }
  bool timerPeriodRaised() const { return period_ && period_->raised(); }

 private:
  KernelHandle timer_;
  std::optional<TimerPeriod> period_;
};
