// A device search against the simulated bus, with a recording view and a wait
// that never sleeps: it notes every pause and the status code at that moment.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/device_discovery.h"
#include "sim/bus_model.h"
#include "sim/sim_objects.h"

namespace testing_rig {

// What the search asked of the dialog, in order.
class RecordingView : public DeviceSearchView {
 public:
  void EnableBrowse(bool enable) override { events.push_back(enable ? "browse on" : "browse off"); }
  void SetStatusText(const char* text) override { events.push_back(std::string("status ") + text); }
  void SetPortNameText(const char* text) override { events.push_back(std::string("port ") + text); }

  std::vector<std::string> events;
};

class FakeWait : public SearchWait {
 public:
  explicit FakeWait(const UpdateState& state) : state_(state) {}
  bool Pause(std::uint32_t ms) override {
    pauses.push_back(ms);
    codesAtPause.push_back(state_.statusCode.load());
    if (pauses.size() > stopAtPause) stopped = true;
    return !stopped;
  }
  bool StopRequested() const override { return stopped; }

  std::vector<std::uint32_t> pauses;
  std::vector<StatusCode> codesAtPause;
  std::size_t stopAtPause = SIZE_MAX;  // index of the first pause that reports a stop
  bool stopped = false;

 private:
  const UpdateState& state_;
};

// Runs the search on the caller's thread, as if the worker had started.
class InlineLauncher : public SearchLauncher {
 public:
  InlineLauncher(DeviceSearch& search, SearchWait& wait) : search_(search), wait_(wait) {}
  bool StartSearch() override {
    ++starts;
    if (refuse) return false;
    DeviceSearchThread(search_, wait_);
    return true;
  }
  int starts = 0;
  bool refuse = false;

 private:
  DeviceSearch& search_;
  SearchWait& wait_;
};

inline sim::SimConfig Config(const std::string& text) {
  const sim::ConfigResult parsed = sim::ParseSimConfig(text);
  EXPECT_TRUE(parsed.ok) << "line " << parsed.errorLine << ": " << parsed.error;
  return parsed.config;
}

struct Rig {
  explicit Rig(const std::string& configText)
      : model(std::make_shared<sim::BusModel>(Config(configText), sim::MakeSystemClock())),
        factory(model) {}

  void Acquire() { AcquireDriverService(factory, search, launcher); }
  sim::SimStats Stats() const { return model->Stats(); }

  std::shared_ptr<sim::BusModel> model;
  sim::SimServiceFactory factory;
  UpdateState state;
  DeviceLink link;
  RecordingView view;
  DeviceSearch search{state, link, view};
  FakeWait wait{state};
  InlineLauncher launcher{search, wait};
};

}  // namespace testing_rig
