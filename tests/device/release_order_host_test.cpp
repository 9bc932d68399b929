// The order in which the device link lets its driver objects go. Host only:
// the host's task allocator tells of every free, which shows the lists' turn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/device_link.h"
#include "sim/bus_model.h"

namespace {

using Events = std::vector<std::string>;

// What went, in order: objects by name, lists by which block was freed.
Events* gone = nullptr;
void* nodeRecords = nullptr;
void* portRecords = nullptr;

void NoteFree(void* block) {
  gone->push_back(block == nodeRecords ? "node list" : block == portRecords ? "port list" : "other block");
}

template <class Interface>
class Noted : public Interface {
 public:
  explicit Noted(const char* name) : name_(name) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override {
    gone->push_back(name_);
    return 1;
  }

 private:
  const char* name_;
};
struct NotedService final : Noted<IqBUSAsync> {
  NotedService() : Noted("service") {}
  HRESULT STDMETHODCALLTYPE GetNodeList(NodeList*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE OpenDevice(std::uint32_t, std::uint32_t, IqBUSDevice**) override { return E_FAIL; }
};
struct NotedDevice final : Noted<IqBUSDevice> {
  NotedDevice() : Noted("device") {}
  HRESULT STDMETHODCALLTYPE GetPortList(PortList*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE OpenPort(std::uint32_t, IqBUSPort**) override { return E_FAIL; }
};
struct NotedPort final : Noted<IqBUSPort> {
  NotedPort() : Noted("port") {}
  HRESULT STDMETHODCALLTYPE GetPortInfo(PortRecord*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE Write(std::uint32_t, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
    return E_FAIL;
  }
};

TEST(DeviceLink, ReleasesPortPortListDeviceNodeListThenService) {
  for (const bool byDestructor : {false, true}) {
    Events order;
    gone = &order;
    SetTaskMemFreeObserver(&NoteFree);
    NotedService service;
    NotedDevice device;
    NotedPort port;
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
    sim::StartTaskMemFreeTracking();  // the observer the simulator's tests rely on
    EXPECT_EQ((Events{"port", "port list", "device", "node list", "service"}), order) << byDestructor;
  }
}

}  // namespace
