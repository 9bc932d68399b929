// The worker on a real thread with the real stop signal.
#include <gtest/gtest.h>

#include <future>

#include "device/device_search_worker.h"
#include "search_rig.h"

namespace {

using testing_rig::Rig;

// Stretches every pause to an hour: only a stop request can end it. A worker
// that does not honour the stop hangs, and the test's timeout reports it.
class HourLongWait : public StopSignalWait {
 public:
  bool Pause(std::uint32_t) override {
    if (!entered_) {
      entered_ = true;
      firstPause.set_value();
    }
    return StopSignalWait::Pause(60 * 60 * 1000);
  }
  std::promise<void> firstPause;

 private:
  bool entered_ = false;
};

// Pauses take no time, so the worker runs straight through.
class NoPauseWait : public StopSignalWait {
 public:
  bool Pause(std::uint32_t) override { return StopSignalWait::Pause(0); }
};

TEST(DeviceSearchWorker, AStopCutsAnHourLongPauseShort) {
  Rig rig("");  // no device: the worker pauses after its first attempt
  HourLongWait wait;
  std::future<void> paused = wait.firstPause.get_future();
  DeviceSearchWorker worker({rig.state, rig.link, rig.view}, wait);
  AcquireDriverService(rig.factory, rig.search, worker);
  paused.wait();
  worker.RequestStop();
  worker.Join();
  EXPECT_EQ(2u, rig.Stats().nodeListCalls);
  EXPECT_EQ(3u, rig.state.statusCode.load());  // the bare step: it never gave up
  rig.link.ReleaseAll();
  EXPECT_EQ(0, rig.Stats().liveObjects);
  EXPECT_EQ(0u, rig.Stats().unfreedLists);
}

TEST(DeviceSearchWorker, ItsDestructorStopsAndJoins) {
  Rig rig("");
  HourLongWait wait;
  std::future<void> paused = wait.firstPause.get_future();
  {
    DeviceSearchWorker worker({rig.state, rig.link, rig.view}, wait);
    AcquireDriverService(rig.factory, rig.search, worker);
    paused.wait();
  }
  EXPECT_EQ(2u, rig.Stats().nodeListCalls);
}

TEST(DeviceSearchWorker, FindsTheDeviceOnItsOwnThreadAndStartsOnlyOnce) {
  Rig rig(std::string("node = 1 2 ") + testing_rig::kT6 + " from=3\nport = 9 FIRM\n");
  NoPauseWait wait;
  DeviceSearchWorker worker({rig.state, rig.link, rig.view}, wait);
  AcquireDriverService(rig.factory, rig.search, worker);
  EXPECT_FALSE(worker.StartSearch());
  worker.Join();
  EXPECT_EQ(status::kReady, rig.state.statusCode.load());
  ASSERT_FALSE(rig.view.events.empty());
  EXPECT_EQ("port FIRM", rig.view.events.back());
  EXPECT_EQ(3u, rig.Stats().nodeListCalls);
}

}  // namespace
