// A device search view that records what the worker asked of the dialog.
#pragma once

#include <string>
#include <vector>

#include "device/search_view.h"

class RecordingView : public DeviceSearchView {
 public:
  void EnableBrowse(bool enable) override { events.push_back(enable ? "browse on" : "browse off"); }
  void SetStatusText(const char* text) override { events.push_back(std::string("status ") + text); }
  void SetPortNameText(const char* text) override { events.push_back(std::string("port ") + text); }

  std::vector<std::string> events;
};
