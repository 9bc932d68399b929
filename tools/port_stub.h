// A port for tests and benchmarks: a plain object rather than a COM one, so
// AddRef and Release do nothing. Subclasses say what a write does.
#pragma once

#include "device/qbus.h"

class PortStub : public IqBUSPort {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    if (object != nullptr) *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetPortInfo(PortRecord*) override { return E_FAIL; }

 protected:
  ~PortStub() = default;
};
