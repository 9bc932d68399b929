// libFuzzer target: the device search against a driver service that answers
// from the input. Every node and port list has any count, maybe a null records
// pointer, duplicate and odd names; any call may fail or succeed without an
// object. ASan catches a read past the records (each list is allocated to its
// exact count); the checks catch a leaked list or object and a success that
// did not pick a "FIRM" port.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "device/device_discovery.h"
#include "device/qbus_ids.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// What the fake service handed out and has not had back, for the current input.
std::set<void*> liveLists;
int liveObjects = 0;

void ListFreed(void* block) { Check(liveLists.erase(block) == 1); }

template <class Interface>
class Fake : public Interface {
 public:
  Fake(FuzzedDataProvider& input, REFIID iid) : input_(input), iid_(iid) { ++liveObjects; }
  virtual ~Fake() { --liveObjects; }
  Fake(const Fake&) = delete;
  Fake& operator=(const Fake&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    *object = nullptr;
    if (!IsEqualIID(riid, iid_) && !IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;
    *object = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  FuzzedDataProvider& input_;

 private:
  const IID iid_;
  ULONG references_ = 1;
};

// Fails, succeeds without an object, or hands out a new one.
template <class Object, class Interface>
HRESULT Open(FuzzedDataProvider& input, Interface** object) {
  *object = nullptr;
  switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:
      return E_FAIL;
    case 1:
      return S_OK;
    default:
      *object = new Object(input);
      return S_OK;
  }
}

// Fails, or succeeds with no records and any count, or with a few records
// allocated to their exact count.
template <class List, class Record, class Fill>
HRESULT Serve(FuzzedDataProvider& input, List* list, Fill fill) {
  *list = List{};
  if (!input.ConsumeBool()) return E_FAIL;
  if (input.ConsumeBool()) {
    list->count = input.ConsumeIntegral<std::uint32_t>();
    return S_OK;
  }
  list->count = input.ConsumeIntegralInRange<std::uint32_t>(0, 8);
  auto* records = static_cast<Record*>(CoTaskMemAlloc(list->count * sizeof(Record)));
  if (records == nullptr) return S_OK;
  if (list->count != 0) std::memset(records, 0, list->count * sizeof(Record));
  for (std::uint32_t i = 0; i < list->count; ++i) fill(input, records[i]);
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
  HRESULT STDMETHODCALLTYPE Write(std::uint32_t, std::uint32_t, const std::uint8_t*,
                                  std::uint32_t) override {
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
  HRESULT STDMETHODCALLTYPE OpenPort(std::uint32_t, IqBUSPort** port) override {
    return Open<FakePort>(input_, port);
  }
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
  HRESULT STDMETHODCALLTYPE OpenDevice(std::uint32_t, std::uint32_t,
                                       IqBUSDevice** device) override {
    return Open<FakeDevice>(input_, device);
  }
};

class FakeFactory final : public ServiceFactory {
 public:
  explicit FakeFactory(FuzzedDataProvider& input) : input_(input) {}
  HRESULT CreateInstance(REFCLSID, REFIID iid, void** object) override {
    IqBUSAsync* service = nullptr;
    const HRESULT result = Open<FakeService>(input_, &service);
    *object = nullptr;
    if (service == nullptr) return result;
    const HRESULT asked = service->QueryInterface(iid, object);
    service->Release();
    return asked;
  }

 private:
  FuzzedDataProvider& input_;
};

// Pauses end at once; a stop comes after the input's number of them.
class InstantWait final : public SearchWait {
 public:
  explicit InstantWait(std::uint32_t stopAfter) : stopAfter_(stopAfter) {}
  bool Pause(std::uint32_t) override {
    stopped_ = stopped_ || ++pauses_ > stopAfter_;
    return !stopped_;
  }
  bool StopRequested() const override { return stopped_; }

 private:
  const std::uint32_t stopAfter_;
  std::uint32_t pauses_ = 0;
  bool stopped_ = false;
};

class InlineLauncher final : public SearchLauncher {
 public:
  InlineLauncher(DeviceSearch& search, SearchWait& wait) : search_(search), wait_(wait) {}
  bool StartSearch() override {
    Check(DeviceSearchThread(search_, wait_) == 1);
    return true;
  }

 private:
  DeviceSearch& search_;
  SearchWait& wait_;
};

// Keeps only the port name the worker announces on success.
class PortNameView final : public DeviceSearchView {
 public:
  void EnableBrowse(bool) override {}
  void SetStatusText(const char*) override {}
  void SetPortNameText(const char* text) override {
    announced = true;
    portName = text;
  }
  bool announced = false;
  std::string portName;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SetTaskMemFreeObserver(ListFreed);
  Check(liveLists.empty() && liveObjects == 0);
  FuzzedDataProvider input(data, size);
  UpdateState state;
  state.retryLimitOn = input.ConsumeBool() ? 1 : 0;
  InstantWait wait(input.ConsumeIntegralInRange<std::uint32_t>(0, 40));
  PortNameView view;
  DeviceLink link;
  DeviceSearch search{state, link, view};
  InlineLauncher launcher(search, wait);
  FakeFactory factory(input);

  AcquireDriverService(factory, search, launcher);
  if (view.announced) {
    Check(view.portName == "FIRM" && state.statusCode == 0 && link.port);
    bool chosenIsFirm = false;
    for (std::uint32_t i = 0; i < link.portList.count(); ++i) {
      const PortRecord& record = link.portList.get().records[i];
      chosenIsFirm |= record.portId == link.portId && record.name == qbus::kFirmwarePortName;
    }
    Check(chosenIsFirm);
  }
  link.ReleaseAll();
  Check(liveLists.empty() && liveObjects == 0);
  return 0;
}
