// libFuzzer target: the device search against a driver service that answers
// from the input. Every node and port list has any count, maybe a null records
// pointer, duplicate and odd names; any call may fail or succeed without an
// object. ASan catches a read past the records (each list is allocated to its
// exact count); the checks catch a leaked list or object. Which node and port
// a search picks is the discovery tests'.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "device/com_ptr.h"
#include "device/device_discovery.h"
#include "device/qbus_ids.h"
#include "sim/com_object.h"
#include "tools/search_fakes.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// What the fake service handed out and has not had back, for the current input.
std::set<void*> liveLists;
int liveObjects = 0;

void ListFreed(void* block) { Check(liveLists.erase(block) == 1); }

// Counts itself live while it exists; answers calls from the input.
template <class Interface>
class Fake : public sim::ComObject<Interface> {
 public:
  Fake(FuzzedDataProvider& input, REFIID iid) : sim::ComObject<Interface>(iid), input_(input) { ++liveObjects; }
  ~Fake() override { --liveObjects; }

 protected:
  FuzzedDataProvider& input_;
};

// Fails, succeeds without an object, or hands out a new one.
template <class Object, class Interface>
HRESULT Open(FuzzedDataProvider& input, Interface** object) {
  const int answer = input.ConsumeIntegralInRange(0, 2);
  *object = answer == 2 ? new Object(input) : nullptr;
  return answer == 0 ? E_FAIL : S_OK;
}

// Fails, or succeeds with no records and any count, or with a few records
// allocated to their exact count or to fewer than the count claims.
template <class List, class Record, class Fill>
HRESULT Serve(FuzzedDataProvider& input, List* list, Fill fill) {
  *list = List{};
  if (!input.ConsumeBool()) return E_FAIL;
  if (input.ConsumeBool()) {
    list->count = input.ConsumeIntegral<std::uint32_t>();
    return S_OK;
  }
  const std::uint32_t allocated = input.ConsumeIntegralInRange<std::uint32_t>(0, 8);
  list->count = allocated + (input.ConsumeBool() ? 0 : input.ConsumeIntegralInRange<std::uint32_t>(1, 3));
  auto* records = static_cast<Record*>(CoTaskMemAlloc(allocated * sizeof(Record)));
  if (records == nullptr) return S_OK;
  if (allocated != 0) std::memset(records, 0, allocated * sizeof(Record));
  for (std::uint32_t i = 0; i < allocated; ++i) fill(input, records[i]);
  liveLists.insert(records);
  list->records = records;
  return S_OK;
}

// Half the time what the search looks for, so that it gets far.
std::uint32_t Pick(FuzzedDataProvider& input, std::uint32_t likely) {
  return input.ConsumeBool() ? likely : input.ConsumeIntegral<std::uint32_t>();
}

class FakePort final : public Fake<IqBUSPort> {
 public:
  explicit FakePort(FuzzedDataProvider& input) : Fake(input, qbus::kIidPort) {}
  HRESULT STDMETHODCALLTYPE GetPortInfo(PortRecord*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE Write(std::uint32_t, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
    return S_OK;
  }
};

class FakeDevice final : public Fake<IqBUSDevice> {
 public:
  explicit FakeDevice(FuzzedDataProvider& input) : Fake(input, qbus::kIidDevice) {}
  HRESULT STDMETHODCALLTYPE GetPortList(PortList* list) override {
    return Serve<PortList, PortRecord>(input_, list, [](FuzzedDataProvider& in, PortRecord& r) {
      r.portId = in.ConsumeIntegralInRange<std::uint32_t>(0, 3);  // duplicates are likely
      r.name = Pick(in, qbus::kFirmwarePortName);
    });
  }
  HRESULT STDMETHODCALLTYPE OpenPort(std::uint32_t, IqBUSPort** port) override { return Open<FakePort>(input_, port); }
};

class FakeService final : public Fake<IqBUSAsync> {
 public:
  explicit FakeService(FuzzedDataProvider& input) : Fake(input, qbus::kIidAsync) {}
  HRESULT STDMETHODCALLTYPE GetNodeList(NodeList* list) override {
    return Serve<NodeList, NodeRecord>(input_, list, [](FuzzedDataProvider& in, NodeRecord& r) {
      r.nodeId[0] = in.ConsumeIntegral<std::uint32_t>();
      r.nodeId[1] = in.ConsumeIntegral<std::uint32_t>();
      r.vendorId = Pick(in, qbus::kVendorOui);
      r.modelId = Pick(in, in.ConsumeBool() ? qbus::kModelT6 : qbus::kModelT10);
    });
  }
  HRESULT STDMETHODCALLTYPE OpenDevice(std::uint32_t, std::uint32_t, IqBUSDevice** device) override {
    return Open<FakeDevice>(input_, device);
  }
};

class FakeFactory final : public ServiceFactory {
 public:
  explicit FakeFactory(FuzzedDataProvider& input) : input_(input) {}
  HRESULT CreateInstance(REFCLSID, REFIID iid, void** object) override {
    ComPtr<IqBUSAsync> service;
    const HRESULT result = Open<FakeService>(input_, service.ResetAndGetAddress());
    *object = nullptr;
    if (!service) return result;
    return service->QueryInterface(iid, object);
  }

 private:
  FuzzedDataProvider& input_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SetTaskMemFreeObserver(ListFreed);
  Check(liveLists.empty() && liveObjects == 0);
  FuzzedDataProvider input(data, size);
  UpdateState state;
  state.retryLimitOn = input.ConsumeBool() ? 1 : 0;
  testing_rig::FakeWait wait(state);
  wait.stopAtPause = input.ConsumeIntegralInRange<std::size_t>(0, 40);
  wait.stopAtLook = input.ConsumeIntegralInRange<std::size_t>(0, 400);
  testing_rig::RecordingView view;
  DeviceLink link;
  DeviceSearch search{state, link, view};
  FakeFactory factory(input);

  DeviceSearchThread(factory, search, wait);
  link.ReleaseAll();
  Check(liveLists.empty() && liveObjects == 0);
  return 0;
}
