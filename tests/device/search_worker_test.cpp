// The worker on a real thread with the real stop signal.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <thread>

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

TEST(DeviceSearchWorker, AStopOrItsDestructorCutsAnHourLongPauseShort) {
  for (const bool byDestructor : {false, true}) {
    Rig rig("");  // no device: the worker pauses after its first attempt
    HourLongWait wait;
    std::future<void> paused = wait.firstPause.get_future();
    auto worker = std::make_unique<DeviceSearchWorker>(rig.factory, rig.search, wait);
    ASSERT_TRUE(worker->Start());
    paused.wait();
    if (!byDestructor) {
      worker->RequestStop();
      worker->RequestRelease();
      worker->Join();
    }
    worker.reset();
    EXPECT_EQ(2u, rig.Stats().nodeListCalls) << byDestructor;
    EXPECT_EQ(3u, rig.state.statusCode.load()) << byDestructor;  // the bare step: it never gave up
    EXPECT_EQ(0, rig.Stats().liveObjects) << byDestructor;
    EXPECT_EQ(0u, rig.Stats().unfreedLists) << byDestructor;
  }
}

// Pauses take no time, so the worker runs straight through.
class NoPauseWait : public StopSignalWait {
 public:
  bool Pause(std::uint32_t) override { return StopSignalWait::Pause(0); }
};

// A release asked for at once waits for the discovery's end; the objects then
// go on the worker's own thread, where they were made.
TEST(DeviceSearchWorker, ObtainsAndFindsOnItsOwnThreadAndLetsGoThereWhenAsked) {
  Rig rig("node = 1 2 0x000A7610 0x7606 from=3\nport = 9 FIRM\n");
  std::thread::id releasedOn;
  rig.model->SetIdleCallback([&](const sim::BusModel&) { releasedOn = std::this_thread::get_id(); });
  NoPauseWait wait;
  DeviceSearchWorker worker(rig.factory, rig.search, wait);
  ASSERT_TRUE(worker.Start());
  EXPECT_FALSE(worker.Start()) << "once per worker";
  worker.RequestRelease();
  worker.Join();
  EXPECT_EQ(status::kReady, rig.state.statusCode.load());
  ASSERT_FALSE(rig.view.events.empty());
  EXPECT_EQ("ready FIRM", rig.view.events.back());
  EXPECT_EQ(3u, rig.Stats().nodeListCalls);
  EXPECT_EQ(0, rig.Stats().liveObjects);
  EXPECT_EQ(0u, rig.Stats().unfreedLists);
  EXPECT_NE(std::thread::id(), releasedOn);
  EXPECT_NE(std::this_thread::get_id(), releasedOn);
}

}  // namespace
