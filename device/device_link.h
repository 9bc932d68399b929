// The driver objects the device search obtains, kept for the whole run. The
// members are declared in acquisition order, so that they are freed in the
// reverse one: port, port list, device, node list, service.
#pragma once

#include <cstdint>

#include "device/com_ptr.h"
#include "device/qbus.h"

struct DeviceLink {
  ComPtr<IqBUSAsync> service;
  OwnedNodeList nodeList;
  std::uint32_t nodeId[2] = {0, 0};
  ComPtr<IqBUSDevice> device;
  OwnedPortList portList;
  std::uint32_t portId = 0;
  ComPtr<IqBUSPort> port;  // the open "FIRM" port; the transfer writes to it

  // Frees and releases everything held, in the order above.
  void ReleaseAll() {
    port.Reset();
    portList.Reset();
    device.Reset();
    nodeList.Reset();
    service.Reset();
  }
};
