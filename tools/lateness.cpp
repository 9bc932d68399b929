#include "tools/lateness.h"

#include <algorithm>

namespace {

// The smallest value with at least percent % of the values at or below it.
std::int64_t NearestRank(const std::vector<std::int64_t>& sorted, unsigned percent) {
  const std::size_t rank = (sorted.size() * percent + 99) / 100;
  return sorted[rank == 0 ? 0 : rank - 1];
}

}  // namespace

LatenessSummary SummarizeLateness(const std::vector<Departure>& departures) {
  LatenessSummary summary;
  summary.count = departures.size();
  if (departures.empty()) return summary;

  std::vector<std::int64_t> lateness;
  lateness.reserve(departures.size());
  for (const Departure& d : departures) {
    lateness.push_back(d.actual - d.due);
    if (d.actual < d.due) ++summary.early;
  }
  std::sort(lateness.begin(), lateness.end());
  summary.p50 = NearestRank(lateness, 50);
  summary.p99 = NearestRank(lateness, 99);
  summary.max = lateness.back();
  return summary;
}
