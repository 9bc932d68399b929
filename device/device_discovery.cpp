#include "device/device_discovery.h"

#include "device/qbus_ids.h"
#include "state/status_messages.h"

namespace discovery {

PortNameText FormatPortName(std::uint32_t name) {
  PortNameText result{};  // ends with NUL bytes
  for (int i = 0; i < 4; ++i) result.text[i] = static_cast<char>(name >> (24 - 8 * i));
  return result;
}

}  // namespace discovery

bool ObtainService(ServiceFactory& factory, REFCLSID clsid, ComPtr<IqBUSAsync>& service) {
  service.Reset();
  ComPtr<IqBUSAsync> created;
  if (FAILED(factory.CreateInstance(clsid, qbus::kIidAsync, reinterpret_cast<void**>(created.ResetAndGetAddress()))) ||
      !created) {
    return false;
  }
  // The run-time type check: the object must itself answer as an IqBUSAsync.
  IqBUSAsync** slot = service.ResetAndGetAddress();
  if (FAILED(created->QueryInterface(qbus::kIidAsync, reinterpret_cast<void**>(slot))) || !service) {
    service.Reset();
    return false;
  }
  return true;
}

void AcquireDriverService(ServiceFactory& factory, DeviceSearch& search, SearchLauncher& launcher) {
  UpdateState& state = search.state;
  DeviceLink& link = search.link;
  if (!ObtainService(factory, qbus::kClsidFW, link.service)) {
    if (ObtainService(factory, qbus::kClsidQBus, link.service)) {
      state.interfaceKind = kInterfaceQBus;
    } else {
      state.statusCode = status::Error(status::kNoInterface);
      search.view.SetStatusText(StatusMessage(state.statusCode, kInterfaceQBus));
      search.view.DisableBrowse();
      state.interfaceKind = kInterfaceNone;
      return;
    }
  }
  if (FAILED(link.service->GetNodeList(link.nodeList.ResetAndGetAddress())) || !link.nodeList.CountFitsBlock()) {
    state.statusCode = status::Error(status::kNoDeviceInformation);
    search.view.SetStatusText(StatusMessage(state.statusCode, state.interfaceKind));
    search.view.DisableBrowse();
    return;
  }
  // Without a worker no device is ever opened: the operator is told that the
  // device cannot be reached, as when the node list cannot be read.
  if (!launcher.StartSearch()) {
    state.statusCode = status::Error(status::kNoDeviceInformation);
    search.view.SetStatusText(StatusMessage(state.statusCode, state.interfaceKind));
    search.view.DisableBrowse();
  }
}

namespace {

using namespace discovery;

// One attempt, steps 2 to 7. Returns the step that failed, or 0 with the
// chosen port's name word in portName.
std::uint32_t RunAttempt(DeviceLink& link, std::uint32_t& portName) {
  IqBUSAsync* service = link.service.get();

  if (FAILED(service->GetNodeList(link.nodeList.ResetAndGetAddress())) || !link.nodeList.CountFitsBlock()) {
    return kStepNodeList;
  }

  const NodeRecord* node = nullptr;
  for (std::uint32_t i = 0; i < link.nodeList.count(); ++i) {
    const NodeRecord& candidate = link.nodeList.get().records[i];
    if (candidate.vendorId == qbus::kVendorOui &&
        (candidate.modelId == qbus::kModelT6 || candidate.modelId == qbus::kModelT10)) {
      node = &candidate;
      break;
    }
  }
  if (node == nullptr) return kStepFindNode;
  link.nodeId[0] = node->nodeId[0];
  link.nodeId[1] = node->nodeId[1];

  if (FAILED(service->OpenDevice(link.nodeId[0], link.nodeId[1], link.device.ResetAndGetAddress())) || !link.device) {
    return kStepOpenDevice;
  }

  if (FAILED(link.device->GetPortList(link.portList.ResetAndGetAddress())) || !link.portList.CountFitsBlock()) {
    return kStepPortList;
  }

  const PortRecord* port = nullptr;
  for (std::uint32_t i = 0; i < link.portList.count(); ++i) {
    if (link.portList.get().records[i].name == qbus::kFirmwarePortName) {
      port = &link.portList.get().records[i];
      break;
    }
  }
  if (port == nullptr) return kStepFindPort;
  link.portId = port->portId;
  portName = port->name;

  if (FAILED(link.device->OpenPort(link.portId, link.port.ResetAndGetAddress())) || !link.port) {
    return kStepOpenPort;
  }
  return 0;
}

}  // namespace

std::uint32_t DeviceSearchThread(DeviceSearch& search, SearchWait& wait) {
  UpdateState& state = search.state;
  if (wait.StopRequested()) return 1;
  search.view.DisableBrowse();
  search.view.SetStatusText(SearchingText(state.interfaceKind));

  std::uint32_t failed = 0;
  std::uint32_t step = 0;
  std::uint32_t portName = 0;
  for (;;) {
    if (step != 0 && !wait.Pause(kRetryPauseMs)) return 1;
    if (wait.StopRequested()) return 1;
    step = RunAttempt(search.link, portName);
    state.statusCode = step;
    if (step == 0) break;
    ++failed;
    if (failed > kMaxFailedAttempts) {
      state.statusCode = status::kErrorBit | step;
      if (state.retryLimitOn != 0) {
        search.view.SetStatusText(StatusMessage(state.statusCode, state.interfaceKind));
        return 1;
      }
    }
  }

  if (failed < kReadinessAttempts && !wait.Pause((kReadinessAttempts - failed) * kReadinessStepMs)) {
    return 1;
  }
  if (wait.StopRequested()) return 1;
  search.view.DeviceReady(FormatPortName(portName).text);
  return 1;
}
