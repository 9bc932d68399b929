// How a close waits for a worker: as long as each driver call returns within
// the bound of its start, and no longer than that once one does not. The
// worker runs on a timeline of its own, against a fake clock.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "device/driver_call_watch.h"

namespace {

std::uint64_t fakeNow = 0;
std::uint64_t FakeNow() { return fakeNow; }

constexpr std::uint32_t kBoundMs = 2000;

// Driver calls one after another, each after a gap of its own, then the end.
struct Call {
  std::uint64_t gapMs;
  std::uint64_t lastsMs;
};

// A worker whose join moves the fake clock, marking its calls on the watch
// as their times come.
class ScriptedWorker {
 public:
  ScriptedWorker(DriverCallWatch& watch, std::vector<Call> calls, std::uint64_t endsAfterMs) : watch_(watch) {
    std::uint64_t at = fakeNow;
    for (const Call& call : calls) {
      at += call.gapMs;
      events_.push_back({at, true});
      at += call.lastsMs;
      events_.push_back({at, false});
    }
    end_ = at + endsAfterMs;
  }

  bool JoinFor(std::uint32_t ms) {
    const std::uint64_t until = fakeNow + ms;
    while (next_ < events_.size() && events_[next_].at <= until) {
      fakeNow = events_[next_].at;
      if (events_[next_].enters) {
        watch_.Enter();
      } else {
        watch_.Leave();
      }
      ++next_;
    }
    if (end_ <= until) {
      fakeNow = end_;
      return true;
    }
    fakeNow = until;
    return false;
  }

 private:
  struct Event {
    std::uint64_t at;
    bool enters;
  };
  DriverCallWatch& watch_;
  std::vector<Event> events_;
  std::size_t next_ = 0;
  std::uint64_t end_ = 0;
};

TEST(JoinWhileCallsReturn, WaitsForASlowDriverAndGivesUpOnlyOnACallLongerThanTheBound) {
  const struct {
    const char* what;
    std::vector<Call> calls;
    bool ended;
    std::uint64_t decidedAtMs;  // from the close
  } cases[] = {
      {"three writes of 1.2 s", {{0, 1200}, {0, 1200}, {0, 1200}}, true, 3600 + 5},
      {"a call of exactly the bound", {{0, 2000}}, true, 2000 + 5},
      {"no call", {}, true, 5},
      {"a call that does not return", {{0, 60000}}, false, 2001},
      {"a slow call, then one that does not return", {{10, 1500}, {10, 60000}}, false, 1520 + 2001},
  };
  for (const auto& c : cases) {
    fakeNow = 1000;
    DriverCallWatch watch(&FakeNow);
    ScriptedWorker worker(watch, c.calls, 5);
    EXPECT_EQ(c.ended, JoinWhileCallsReturn(worker, watch, kBoundMs)) << c.what;
    EXPECT_EQ(1000 + c.decidedAtMs, fakeNow) << c.what;
  }
}

TEST(DriverCallWatch, CountsTheBoundFromTheStartOfTheCallUnderWay) {
  fakeNow = 5000;
  DriverCallWatch watch(&FakeNow);
  EXPECT_FALSE(watch.InCall());
  EXPECT_EQ(kBoundMs, watch.MsUntilOverdue(kBoundMs));
  watch.Timed([] { fakeNow += 1500; });
  EXPECT_FALSE(watch.InCall()) << "left when the call returns";

  watch.Enter();
  fakeNow += 1500;
  EXPECT_EQ(501u, watch.MsUntilOverdue(kBoundMs));
  watch.Enter();  // the next call of the same stretch, a retry say
  fakeNow += 1500;
  EXPECT_EQ(501u, watch.MsUntilOverdue(kBoundMs));
  fakeNow += 501;
  EXPECT_EQ(0u, watch.MsUntilOverdue(kBoundMs));
  EXPECT_EQ(7, watch.Timed([] { return 7; }));
  EXPECT_EQ(kBoundMs, watch.MsUntilOverdue(kBoundMs));
}

}  // namespace
