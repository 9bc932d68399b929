// The driver objects the device search obtains, kept for the whole run. The
// members are declared in acquisition order, so that they are freed in the
// reverse one: port, port list, device, node list, service.
#pragma once

#include <cstdint>

#include "device/com_ptr.h"
#include "device/driver_call_watch.h"
#include "device/qbus.h"

struct DeviceLink {
  ComPtr<IqBUSAsync> service;
  OwnedNodeList nodeList;
  std::uint32_t nodeId[2] = {0, 0};
  ComPtr<IqBUSDevice> device;
  OwnedPortList portList;
  std::uint32_t portId = 0;
  ComPtr<IqBUSPort> port;  // the open "FIRM" port; the transfer writes to it

  // Frees and releases everything held, in the order above, each as a
  // driver call of calls when given (a release runs the driver's code).
  void ReleaseAll(DriverCallWatch* calls = nullptr) {
    TimedCall(calls, [this] { port.Reset(); });
    TimedCall(calls, [this] { portList.Reset(); });
    TimedCall(calls, [this] { device.Reset(); });
    TimedCall(calls, [this] { nodeList.Reset(); });
    TimedCall(calls, [this] { service.Reset(); });
  }
};
