// Finding the device, on the search worker's thread: obtaining a driver
// service, then the search that opens the device and its "FIRM" port.
#pragma once

#include <cstdint>

#include "device/device_link.h"
#include "device/driver_call_watch.h"
#include "device/search_view.h"
#include "device/search_wait.h"
#include "device/service_factory.h"
#include "state/update_state.h"

namespace discovery {

constexpr std::uint32_t kRetryPauseMs = 1000;     // before every attempt but the first
constexpr std::uint32_t kReadinessStepMs = 1000;  // times (2 - failed attempts), if positive
constexpr std::uint32_t kReadinessAttempts = 2;
constexpr std::uint32_t kMaxFailedAttempts = 10;  // the search gives up at the eleventh failure

// Step codes of an attempt; 0 is success.
enum Step : std::uint32_t {
  kStepNodeList = 2,
  kStepFindNode = 3,
  kStepOpenDevice = 4,
  kStepPortList = 5,
  kStepFindPort = 6,
  kStepOpenPort = 7,
};

// "%c%c%c%c" of a port name word, most significant byte first.
struct PortNameText {
  char text[8];
};
PortNameText FormatPortName(std::uint32_t name);

}  // namespace discovery

// What the search works on; all of it outlives the worker.
struct DeviceSearch {
  UpdateState& state;
  DeviceLink& link;
  DeviceSearchView& view;
  // Each driver call of the search is marked on it, for a close to judge
  // whether the worker is stuck in the driver; none for an untimed search.
  DriverCallWatch* calls = nullptr;
};

// Obtains the FW service, else the qBUS one, showing the searching text of the
// service being tried however long its driver takes, and reads the node list
// once. True when the search may begin; otherwise the status line says why, or
// a stop was requested.
bool AcquireDriverService(ServiceFactory& factory, DeviceSearch& search, const SearchWait& wait);

// No driver service at all: code 1, its message, interface kind none.
void ReportNoService(DeviceSearch& search);

// The search worker's procedure: the acquisition, then the search. Returns 1.
// It looks for a stop before every driver call, and once it sees one it
// returns without calling a driver object or the view again.
std::uint32_t DeviceSearchThread(ServiceFactory& factory, DeviceSearch& search, SearchWait& wait);
