// Stand-ins for the platform's COM types in the host build: an IUnknown with
// the same vtable order, 32-bit HRESULT and ULONG, GUID, and the task allocator.
#pragma once

#include <cstddef>
#include <cstdint>

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
#define REFIID const IID&
#define REFCLSID const CLSID&
#define STDMETHODCALLTYPE

bool operator==(const GUID& a, const GUID& b);
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
#define IsEqualGUID(a, b) ((a) == (b))
#define IsEqualIID(a, b) ((a) == (b))

#define S_OK static_cast<HRESULT>(0)
#define S_FALSE static_cast<HRESULT>(1)
#define E_FAIL static_cast<HRESULT>(0x80004005u)
#define E_NOINTERFACE static_cast<HRESULT>(0x80004002u)
#define E_POINTER static_cast<HRESULT>(0x80004003u)
#define E_OUTOFMEMORY static_cast<HRESULT>(0x8007000Eu)
#define CLASS_E_CLASSNOTAVAILABLE static_cast<HRESULT>(0x80040111u)
#define REGDB_E_CLASSNOTREG static_cast<HRESULT>(0x80040154u)
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

extern const IID IID_IUnknown;

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;

 protected:
  ~IUnknown() = default;  // objects are destroyed through Release only
};

void* CoTaskMemAlloc(std::size_t size);
void CoTaskMemFree(void* block);

// Host-only: lets tests observe every CoTaskMemFree (null for none), as a
// malloc spy does on Windows.
using TaskMemFreeObserver = void (*)(void* block);
void SetTaskMemFreeObserver(TaskMemFreeObserver observer);
