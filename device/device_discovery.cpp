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

// The status code last: whoever sees it finds the dialog told.
void ReportNoService(DeviceSearch& search) {
  const StatusCode code = status::Error(status::kNoInterface);
  search.view.SetStatusText(StatusMessage(code, kInterfaceQBus));  // both columns agree
  search.view.DisableBrowse();
  search.state.interfaceKind = kInterfaceNone;
  search.state.statusCode = code;
}

bool AcquireDriverService(ServiceFactory& factory, DeviceSearch& search, const SearchWait& wait) {
  UpdateState& state = search.state;
  DeviceLink& link = search.link;
  if (wait.StopRequested()) return false;
  search.view.SetStatusText(SearchingText(kInterfaceFW));
  if (!ObtainService(factory, qbus::kClsidFW, link.service, search.calls)) {
    if (wait.StopRequested()) return false;
    search.view.SetStatusText(SearchingText(kInterfaceQBus));
    if (!ObtainService(factory, qbus::kClsidQBus, link.service, search.calls)) {
      ReportNoService(search);
      return false;
    }
    state.interfaceKind = kInterfaceQBus;
  }
  if (wait.StopRequested()) return false;
  if (FAILED(TimedCall(search.calls, [&] { return link.service->GetNodeList(link.nodeList.ResetAndGetAddress()); })) ||
      !link.nodeList.CountFitsBlock()) {
    const StatusCode code = status::Error(status::kNoDeviceInformation);
    search.view.SetStatusText(StatusMessage(code, state.interfaceKind));
    search.view.DisableBrowse();
    state.statusCode = code;
    return false;
  }
  return true;
}

namespace {

using namespace discovery;

constexpr std::uint32_t kStopped = 0xFFFFFFFFu;  // not a step: the attempt saw a stop

// One attempt, steps 2 to 7, each after a look for a stop. Returns the step
// that failed, kStopped, or 0 with the chosen port's name word in portName.
std::uint32_t RunAttempt(const DeviceSearch& search, const SearchWait& wait, std::uint32_t& portName) {
  DeviceLink& link = search.link;
  IqBUSAsync* service = link.service.get();
  // Each call into the driver, with the release of what it replaces.
  const auto driver = [&search](auto call) { return TimedCall(search.calls, call); };

  if (wait.StopRequested()) return kStopped;
  if (FAILED(driver([&] { return service->GetNodeList(link.nodeList.ResetAndGetAddress()); })) ||
      !link.nodeList.CountFitsBlock()) {
    return kStepNodeList;
  }

  if (wait.StopRequested()) return kStopped;
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

  if (wait.StopRequested()) return kStopped;
  if (FAILED(driver(
          [&] { return service->OpenDevice(link.nodeId[0], link.nodeId[1], link.device.ResetAndGetAddress()); })) ||
      !link.device) {
    return kStepOpenDevice;
  }

  if (wait.StopRequested()) return kStopped;
  if (FAILED(driver([&] { return link.device->GetPortList(link.portList.ResetAndGetAddress()); })) ||
      !link.portList.CountFitsBlock()) {
    return kStepPortList;
  }

  if (wait.StopRequested()) return kStopped;
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

  if (wait.StopRequested()) return kStopped;
  if (FAILED(driver([&] { return link.device->OpenPort(link.portId, link.port.ResetAndGetAddress()); })) ||
      !link.port) {
    return kStepOpenPort;
  }
  return 0;
}

}  // namespace

std::uint32_t DeviceSearchThread(ServiceFactory& factory, DeviceSearch& search, SearchWait& wait) {
  UpdateState& state = search.state;
  if (!AcquireDriverService(factory, search, wait) || wait.StopRequested()) return 1;
  search.view.DisableBrowse();
  search.view.SetStatusText(SearchingText(state.interfaceKind));

  std::uint32_t failed = 0;
  std::uint32_t step = 0;
  std::uint32_t portName = 0;
  for (;;) {
    if (step != 0 && !wait.Pause(kRetryPauseMs)) return 1;
    step = RunAttempt(search, wait, portName);
    if (step == kStopped) return 1;
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
