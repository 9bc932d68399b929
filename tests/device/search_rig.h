// A device search against the simulated bus, with the fakes of search_fakes.h.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sim/bus_model.h"
#include "sim/sim_objects.h"
#include "tools/search_fakes.h"

namespace testing_rig {

inline sim::SimConfig Config(const std::string& text) {
  const sim::ConfigResult parsed = sim::ParseSimConfig(text);
  EXPECT_TRUE(parsed.ok) << "line " << parsed.errorLine << ": " << parsed.error;
  return parsed.config;
}

struct Rig {
  explicit Rig(const std::string& configText)
      : model(std::make_shared<sim::BusModel>(Config(configText), sim::MakeSystemClock())), factory(model) {}

  // The search worker's procedure, on this thread.
  void Discover() { DeviceSearchThread(factory, search, wait); }
  sim::SimStats Stats() const { return model->Stats(); }

  std::shared_ptr<sim::BusModel> model;
  sim::SimServiceFactory factory;
  UpdateState state;
  DeviceLink link;
  RecordingView view;
  DeviceSearch search{state, link, view};
  FakeWait wait{state};
};

}  // namespace testing_rig
