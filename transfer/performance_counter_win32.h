// The millisecond counter that paces a transfer, from QueryPerformanceCounter.
// GetTickCount advances in steps of about 15.6 ms and would let a message
// leave up to one step early.
#pragma once

#include <windows.h>

#include <cstdint>

#include "transfer/transfer_ports.h"

// Counts whole milliseconds from its own first reading, which is 0, wrapping
// at 32 bits. Play takes that first reading as its start, so reaching a due
// time of n means at least n ms have passed. Use a fresh counter per transfer.
class PerformanceCounterClock final : public MillisecondCounter {
 public:
  std::uint32_t Now() override;

 private:
  bool started_ = false;
  LONGLONG origin_ = 0;
  LONGLONG frequency_ = 0;
};
