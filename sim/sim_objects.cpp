#include "sim/sim_objects.h"

#include "device/com_ptr.h"
#include "device/qbus_ids.h"
#include "sim/com_object.h"

namespace sim {

namespace {

// No exception may leave a COM method: the model's only throw is running out of memory.
template <class Call>
HRESULT NoThrow(Call call) {
  try {
    return call();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

// Each object counts itself live in the model while it exists.
template <class Interface>
class SimObject : public ComObject<Interface> {
 public:
  SimObject(std::shared_ptr<BusModel> model, REFIID iid) : ComObject<Interface>(iid), model_(std::move(model)) {
    model_->ObjectCreated();
  }
  ~SimObject() override { model_->ObjectDestroyed(); }

  ULONG STDMETHODCALLTYPE Release() override {
    model_->ReleaseCalled();  // first: the last release destroys this object
    return ComObject<Interface>::Release();
  }

 protected:
  BusModel& model() const { return *model_; }
  const std::shared_ptr<BusModel>& sharedModel() const { return model_; }

 private:
  // The model outlives its last object: it reports when that one goes.
  std::shared_ptr<BusModel> model_;
};

class SimPort final : public SimObject<IqBUSPort> {
 public:
  SimPort(std::shared_ptr<BusModel> model, PortEntry port) : SimObject(std::move(model), qbus::kIidPort), port_(port) {}

  HRESULT STDMETHODCALLTYPE GetPortInfo(PortRecord* info) override {
    if (info == nullptr) return E_POINTER;
    *info = PortRecord{port_.id, port_.name, 0};
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(std::uint32_t flags, std::uint32_t byteCount, const std::uint8_t* bytes,
                                  std::uint32_t byteCount2) override {
    return NoThrow([&] { return model().Write(port_.id, flags, byteCount, bytes, byteCount2); });
  }

 private:
  const PortEntry port_;
};

class SimDevice final : public SimObject<IqBUSDevice> {
 public:
  SimDevice(std::shared_ptr<BusModel> model, std::size_t node)
      : SimObject(std::move(model), qbus::kIidDevice), node_(node) {}

  HRESULT STDMETHODCALLTYPE GetPortList(PortList* list) override {
    return NoThrow([&] { return model().GetPortList(node_, list); });
  }
  HRESULT STDMETHODCALLTYPE OpenPort(std::uint32_t portId, IqBUSPort** port) override {
    if (port == nullptr) return E_POINTER;
    *port = nullptr;
    return NoThrow([&] {
      const OpenOutcome outcome = model().OpenPort(node_, portId);
      if (outcome.giveObject) *port = new SimPort(sharedModel(), model().Port(node_, outcome.index));
      return outcome.result;
    });
  }

 private:
  const std::size_t node_;
};

class SimService final : public SimObject<IqBUSAsync> {
 public:
  explicit SimService(std::shared_ptr<BusModel> model) : SimObject(std::move(model), qbus::kIidAsync) {}

  HRESULT STDMETHODCALLTYPE GetNodeList(NodeList* list) override {
    return NoThrow([&] { return model().GetNodeList(list); });
  }
  HRESULT STDMETHODCALLTYPE OpenDevice(std::uint32_t word0, std::uint32_t word1, IqBUSDevice** device) override {
    if (device == nullptr) return E_POINTER;
    *device = nullptr;
    return NoThrow([&] {
      const OpenOutcome outcome = model().OpenDevice(word0, word1);
      if (outcome.giveObject) *device = new SimDevice(sharedModel(), outcome.index);
      return outcome.result;
    });
  }
};

}  // namespace

bool ServesClass(const SimConfig& config, REFCLSID clsid) {
  return (IsEqualGUID(clsid, qbus::kClsidFW) && config.serveFW) ||
         (IsEqualGUID(clsid, qbus::kClsidQBus) && config.serveQBus);
}

HRESULT CreateServiceObject(const std::shared_ptr<BusModel>& model, REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!ServesClass(model->config(), clsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return NoThrow([&] {
    const ComPtr<SimService> service(new SimService(model));
    model->ServiceCreated(IsEqualGUID(clsid, qbus::kClsidFW) ? ServiceClass::kFW : ServiceClass::kQBus);
    return service->QueryInterface(iid, object);
  });
}

}  // namespace sim
