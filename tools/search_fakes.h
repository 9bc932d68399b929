// The dialog and the worker's wait, faked for a device search run on the
// caller's thread: a recording view, and a wait that never sleeps but notes
// every pause and the status code at that moment. Free of the test framework,
// so that the discovery fuzzer uses them too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/device_discovery.h"

namespace testing_rig {

// What the search asked of the dialog, in order; onStatus also gets each text.
class RecordingView : public DeviceSearchView {
 public:
  void DisableBrowse() override { events.push_back("browse off"); }
  void SetStatusText(const char* text) override {
    events.push_back(std::string("status ") + text);
    if (onStatus) onStatus(text);
  }
  void DeviceReady(const char* portName) override { events.push_back(std::string("ready ") + portName); }

  std::vector<std::string> events;
  std::function<void(const char*)> onStatus;
};

// A stop comes at a given pause, or at a given look for one.
class FakeWait : public SearchWait {
 public:
  explicit FakeWait(const UpdateState& state) : state_(state) {}
  bool Pause(std::uint32_t ms) override {
    pauses.push_back(ms);
    codesAtPause.push_back(state_.statusCode.load());
    if (pauses.size() > stopAtPause) stopped = true;
    return !stopped;
  }
  bool StopRequested() const override {
    if (++looks > stopAtLook) stopped = true;
    return stopped;
  }

  std::vector<std::uint32_t> pauses;
  std::vector<StatusCode> codesAtPause;
  std::size_t stopAtPause = SIZE_MAX;  // index of the first pause that reports a stop
  std::size_t stopAtLook = SIZE_MAX;   // index of the first look that finds one
  mutable std::size_t looks = 0;
  mutable bool stopped = false;

 private:
  const UpdateState& state_;
};

}  // namespace testing_rig
