// The simulated driver service as COM-style objects over a BusModel: the very
// objects the DLL serves, and the fake service of the host tests.
#pragma once

#include <cstdint>
#include <memory>

#include "device/com_types.h"
#include "device/service_factory.h"
#include "sim/bus_model.h"

namespace sim {

// Creates the service of class clsid (FW or qBUS) over model and asks it for
// iid. A class the configuration does not serve gives CLASS_E_CLASSNOTAVAILABLE.
HRESULT CreateServiceObject(const std::shared_ptr<BusModel>& model, REFCLSID clsid, REFIID iid, void** object);

// Whether the configuration serves clsid.
bool ServesClass(const SimConfig& config, REFCLSID clsid);

// The host tests' stand-in for CoCreateInstance.
class SimServiceFactory : public ServiceFactory {
 public:
  explicit SimServiceFactory(std::shared_ptr<BusModel> model) : model_(std::move(model)) {}
  // After the configured time for obtaining the class object.
  HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** object) override {
    TakeLatency(*MakeSystemClock(), model_->config().classObjectLatency, ++classObjectCalls_);
    return CreateServiceObject(model_, clsid, iid, object);
  }
  std::uint32_t classObjectCalls() const { return classObjectCalls_; }

 private:
  std::shared_ptr<BusModel> model_;
  std::uint32_t classObjectCalls_ = 0;
};

}  // namespace sim
