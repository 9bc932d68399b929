#include "device/service_factory.h"

#include "device/qbus_ids.h"

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
