// The transfer's arithmetic: due times, progress percentages, whole
// milliseconds from a high-resolution count, and the lateness summary.
#include <gtest/gtest.h>

#include "bench/lateness.h"
#include "transfer/millisecond_clock.h"
#include "transfer/rq_data_play.h"

namespace {

struct DueCase {
  std::uint32_t ticks, tempo;
  std::uint16_t division;
  std::uint32_t ms;
};

TEST(DueMilliseconds, FormsTheProductInSixtyFourBitsAndKeepsTheLowWord) {
  const DueCase cases[] = {
      {0, 500000, 480, 0},
      {960, 500000, 480, 1000},
      {479, 500000, 480, 498},  // truncated, not rounded
      {1, 500000, 0xFFFF, 0},
      {96, 500000, 0x8000, 1},  // a timecode-looking division counts as ticks
      // 4294967295 x 500000 / 480000 = 4473924265, past 32 bits: 4473924265 - 2^32.
      {0xFFFFFFFFu, 500000, 480, 178956969u},
      // 10^7 x 10^6 overflows 32 bits in the product only.
      {10000000, 1000000, 1000, 10000000},
  };
  for (const DueCase& c : cases) {
    EXPECT_EQ(c.ms, DueMilliseconds(c.ticks, c.tempo, c.division)) << c.ticks << " " << c.division;
  }
}

struct PercentCase {
  std::uint32_t eventEnd, length, percent;
};

TEST(ProgressPercent, HoldsForTracksPastFortyTwoMegabytes) {
  const PercentCase cases[] = {
      {14, 22, 63},
      {22, 22, 100},
      {0, 22, 0},
      // 50 MB x 100 overflows 32 bits: it would read 16 %.
      {50000000, 50000000, 100},
      {42949673, 85899346, 50},
      {0xFFFFFFFFu, 0xFFFFFFFFu, 100},
  };
  for (const PercentCase& c : cases) {
    EXPECT_EQ(c.percent, ProgressPercent(c.eventEnd, c.length)) << c.eventEnd << " / " << c.length;
  }
}

struct MillisecondCase {
  std::uint64_t ticks, frequency;
  std::uint32_t ms;
};

TEST(WholeMilliseconds, TruncatesSoThatAReadingIsNeverAhead) {
  const MillisecondCase cases[] = {
      {0, 10000000, 0},
      {9999, 10000000, 0},  // 0.9999 ms has not yet passed 1 ms
      {10000, 10000000, 1},
      {10000000, 10000000, 1000},
      {3579544, 3579545, 999},  // the old ACPI timer's rate
      // After 2^32 ms (49.7 days) the reading wraps like GetTickCount.
      {4294967296ull * 10000, 10000000, 0},
      {4294967297ull * 10000, 10000000, 1},
      // 30 years at 10 MHz: the product would overflow 64 bits.
      {9460800000000000ull, 10000000, static_cast<std::uint32_t>(946080000000ull)},
  };
  for (const MillisecondCase& c : cases) {
    EXPECT_EQ(c.ms, WholeMilliseconds(c.ticks, c.frequency)) << c.ticks << " @ " << c.frequency;
  }
}

struct LatenessCase {
  const char* what;
  std::vector<Departure> departures;
  LatenessSummary expected;
};

TEST(SummarizeLateness, GivesNearestRankPercentilesAndCountsEarlyDepartures) {
  std::vector<Departure> hundred;
  for (int i = 1; i <= 100; ++i) hundred.push_back({1000 * i, 1000 * i + i});  // late by 1..100
  const LatenessCase cases[] = {
      {"none", {}, {0, 0, 0, 0, 0}},
      {"one", {{100, 130}}, {1, 0, 30, 30, 30}},
      {"one early", {{100, 90}, {200, 205}, {300, 300}}, {3, 1, 0, 5, 5}},
      {"a hundred, in any order", hundred, {100, 0, 50, 99, 100}},
  };
  for (const LatenessCase& c : cases) {
    const LatenessSummary s = SummarizeLateness(c.departures);
    EXPECT_EQ(c.expected.count, s.count) << c.what;
    EXPECT_EQ(c.expected.early, s.early) << c.what;
    EXPECT_EQ(c.expected.p50, s.p50) << c.what;
    EXPECT_EQ(c.expected.p99, s.p99) << c.what;
    EXPECT_EQ(c.expected.max, s.max) << c.what;
  }
}

}  // namespace
