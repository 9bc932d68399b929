// Reference counting and QueryInterface for an object that answers as one
// interface (and IUnknown). Header only: the fakes of the fuzzers use it too.
#pragma once

#include <atomic>

#include "device/com_types.h"

namespace sim {

template <class Interface>
class ComObject : public Interface {
 public:
  explicit ComObject(REFIID iid) : iid_(iid) {}
  virtual ~ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, iid_)) {
      *object = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  const IID iid_;
  std::atomic<ULONG> references_{1};
};

}  // namespace sim
