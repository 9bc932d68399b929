// Finding the device: obtaining a driver service at dialog initialisation, and
// the search worker that opens the device and its "FIRM" port.
#pragma once

#include <cstdint>

#include "device/device_link.h"
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

// What the search works on; all three outlive the worker.
struct DeviceSearch {
  UpdateState& state;
  DeviceLink& link;
  DeviceSearchView& view;
};

// Starts DeviceSearchThread once; false when it could not be started.
class SearchLauncher {
 public:
  virtual bool StartSearch() = 0;

 protected:
  ~SearchLauncher() = default;
};

// Obtains the FW service, else the qBUS one, reads the node list once and, when
// both succeeded, starts the search. Runs on the user-interface thread.
void AcquireDriverService(ServiceFactory& factory, DeviceSearch& search, SearchLauncher& launcher);

// The search worker's procedure. Returns 1. Once the wait reports a stop it
// returns without calling a driver object or the view again.
std::uint32_t DeviceSearchThread(DeviceSearch& search, SearchWait& wait);
