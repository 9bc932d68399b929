// How a driver service is obtained. On Windows the factory is CoCreateInstance;
// the tests hand in the simulated service instead.
#pragma once

#include "device/com_ptr.h"
#include "device/com_types.h"
#include "device/driver_call_watch.h"
#include "device/qbus.h"

class ServiceFactory {
 public:
  // Creates an in-process object of class clsid and asks it for iid.
  virtual HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** object) = 0;

 protected:
  ~ServiceFactory() = default;
};

// Creates the service of class clsid and checks at run time that it is an
// IqBUSAsync, each a driver call of calls when given. Either failing leaves
// service empty.
bool ObtainService(ServiceFactory& factory, REFCLSID clsid, ComPtr<IqBUSAsync>& service,
                   DriverCallWatch* calls = nullptr);
