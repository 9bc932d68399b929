#include "device/service_factory.h"

#include "device/qbus_ids.h"

bool ObtainService(ServiceFactory& factory, REFCLSID clsid, ComPtr<IqBUSAsync>& service, DriverCallWatch* calls) {
  service.Reset();
  ComPtr<IqBUSAsync> created;
  if (FAILED(TimedCall(calls,
                       [&] {
                         return factory.CreateInstance(clsid, qbus::kIidAsync,
                                                       reinterpret_cast<void**>(created.ResetAndGetAddress()));
                       })) ||
      !created) {
    return false;
  }
  // The run-time type check: the object must itself answer as an IqBUSAsync.
  IqBUSAsync** slot = service.ResetAndGetAddress();
  const HRESULT answered =
      TimedCall(calls, [&] { return created->QueryInterface(qbus::kIidAsync, reinterpret_cast<void**>(slot)); });
  TimedCall(calls, [&] { created.Reset(); });
  if (FAILED(answered) || !service) {
    TimedCall(calls, [&] { service.Reset(); });
    return false;
  }
  return true;
}
