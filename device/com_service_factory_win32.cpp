#include "device/com_service_factory_win32.h"

#include <objbase.h>

HRESULT ComServiceFactory::CreateInstance(REFCLSID clsid, REFIID iid, void** object) {
  // Context 3: the service may be an in-process server or handler.
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, iid, object);
}
