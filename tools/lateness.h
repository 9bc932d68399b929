// Summarises how late paced messages left: for the pacing benchmark and the
// run command's check of a capture.
#pragma once

#include <cstdint>
#include <vector>

struct Departure {
  std::int64_t due;     // in any one unit, e.g. microseconds since the start
  std::int64_t actual;  // in the same unit
};

struct LatenessSummary {
  std::size_t count = 0;
  std::size_t early = 0;  // departures before their due time; must be 0
  std::int64_t p50 = 0;   // nearest-rank percentiles of actual - due
  std::int64_t p99 = 0;
  std::int64_t max = 0;
};

LatenessSummary SummarizeLateness(const std::vector<Departure>& departures);
