// The order in which the device link lets its driver objects go. Host only:
// the host's task allocator tells of every free, which shows the lists' turn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/device_link.h"
#include "sim/bus_model.h"

namespace {

std::vector<std::string>* gone = nullptr;  // what went, in order
void* nodeRecords = nullptr;
void* portRecords = nullptr;

// One object for all three interfaces; each slot of the link holds its own.
struct Noted final : IqBUSAsync, IqBUSDevice, IqBUSPort {
  explicit Noted(const char* name) : name(name) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override {
    gone->push_back(name);
    return 1;
  }
  HRESULT STDMETHODCALLTYPE GetNodeList(NodeList*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE OpenDevice(std::uint32_t, std::uint32_t, IqBUSDevice**) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE GetPortList(PortList*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE OpenPort(std::uint32_t, IqBUSPort**) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE GetPortInfo(PortRecord*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE Write(std::uint32_t, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
    return E_FAIL;
  }
  const char* name;
};

TEST(DeviceLink, ReleasesPortPortListDeviceNodeListThenService) {
  for (const bool byDestructor : {false, true}) {
    std::vector<std::string> order;
    gone = &order;
    SetTaskMemFreeObserver([](void* block) {
      gone->push_back(block == nodeRecords ? "node list" : block == portRecords ? "port list" : "");
    });
    Noted service("service"), device("device"), port("port");
    {
      DeviceLink link;
      nodeRecords = CoTaskMemAlloc(sizeof(NodeRecord));
      portRecords = CoTaskMemAlloc(sizeof(PortRecord));
      *link.service.ResetAndGetAddress() = &service;
      *link.nodeList.ResetAndGetAddress() = NodeList{1, static_cast<NodeRecord*>(nodeRecords)};
      *link.device.ResetAndGetAddress() = &device;
      *link.portList.ResetAndGetAddress() = PortList{1, static_cast<PortRecord*>(portRecords)};
      *link.port.ResetAndGetAddress() = &port;
      if (!byDestructor) link.ReleaseAll();
    }
    sim::StartTaskMemFreeTracking();  // the observer the simulator relies on
    EXPECT_EQ((std::vector<std::string>{"port", "port list", "device", "node list", "service"}), order) << byDestructor;
  }
}

}  // namespace
