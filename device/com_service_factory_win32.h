// The driver services as Windows provides them: in-process COM objects.
#pragma once

#include "device/service_factory.h"

class ComServiceFactory : public ServiceFactory {
 public:
  HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** object) override;
};
