// The simulated driver service as an in-process COM server serving the FW and
// the qBUS class. Its configuration file is named by T6_QBUS_SIM_CONFIG and
// read afresh whenever no object of the previous session is alive, so each
// test may bring its own. The report is written when the last object goes and
// when the process ends.
#include <windows.h>

#include <objbase.h>
#include <olectl.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "device/qbus_ids.h"
#include "sim/bus_model.h"
#include "sim/report_writer.h"
#include "sim/sim_config.h"
#include "sim/sim_objects.h"

namespace {

HMODULE thisModule = nullptr;
std::atomic<long> serverLocks{0};
std::atomic<std::uint32_t> classObjectCalls{0};  // of the process, whichever session they reach

sim::SimConfig ConfigFromEnvironment() {
  char path[MAX_PATH * 2];
  const DWORD length = GetEnvironmentVariableA(sim::kConfigVariable, path, sizeof(path));
  if (length == 0) return sim::DefaultSimConfig();
  sim::ConfigResult loaded;
  if (length < sizeof(path)) loaded = sim::LoadSimConfigFile(path);
  if (loaded.ok) return loaded.config;
  // A configuration that cannot be read serves nothing, so that the mistake shows.
  sim::SimConfig nothing;
  nothing.serveFW = false;
  nothing.serveQBus = false;
  return nothing;
}

// The bus of the current session: kept while any of its objects lives.
class Server {
 public:
  std::shared_ptr<sim::BusModel> Session() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!model_ || model_->Stats().liveObjects == 0) {
      model_ = std::make_shared<sim::BusModel>(ConfigFromEnvironment(), sim::MakeSystemClock());
      model_->SetIdleCallback([](const sim::BusModel& model) { sim::WriteReport(model); });
    }
    return model_;
  }

  bool Busy() {
    std::lock_guard<std::mutex> lock(mutex_);
    return model_ && model_->Stats().liveObjects != 0;
  }

  // At process end another thread may have died holding the lock: then skip.
  void WriteLastReport() {
    std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
    if (lock.owns_lock() && model_) sim::WriteReport(*model_);
  }

 private:
  std::mutex mutex_;
  std::shared_ptr<sim::BusModel> model_;
};

Server server;

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(const CLSID& clsid) : clsid_(clsid) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Static storage: a reference only keeps the server loaded.
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++serverLocks); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--serverLocks); }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    try {
      return sim::CreateServiceObject(server.Session(), clsid_, riid, object);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++serverLocks;
    } else {
      --serverLocks;
    }
    return S_OK;
  }

 private:
  const CLSID clsid_;
};

ClassFactory fwFactory(qbus::kClsidFW);
ClassFactory qbusFactory(qbus::kClsidQBus);

struct RegistryKey {
  HKEY key = nullptr;
  ~RegistryKey() {
    if (key != nullptr) RegCloseKey(key);
  }
};

std::wstring ClassKeyPath(const CLSID& clsid) {
  wchar_t text[40];
  StringFromGUID2(clsid, text, 40);
  return std::wstring(L"CLSID\\") + text;
}

HRESULT SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  const LONG result = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  return result == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

HRESULT RegisterServiceClass(const CLSID& clsid, const wchar_t* description, const std::wstring& modulePath) {
  RegistryKey classKey;
  RegistryKey serverKey;
  const std::wstring path = ClassKeyPath(clsid);
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &classKey.key, nullptr) !=
          ERROR_SUCCESS ||
      RegCreateKeyExW(classKey.key, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &serverKey.key, nullptr) !=
          ERROR_SUCCESS) {
    return SELFREG_E_CLASS;
  }
  // "Both": the program's workers call the objects from threads that never initialise COM.
  if (FAILED(SetString(classKey.key, nullptr, description)) || FAILED(SetString(serverKey.key, nullptr, modulePath)) ||
      FAILED(SetString(serverKey.key, L"ThreadingModel", L"Both"))) {
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  ClassFactory* factory = IsEqualCLSID(clsid, qbus::kClsidFW)     ? &fwFactory
                          : IsEqualCLSID(clsid, qbus::kClsidQBus) ? &qbusFactory
                                                                  : nullptr;
  try {
    const std::shared_ptr<sim::BusModel> session = server.Session();
    sim::TakeLatency(*sim::MakeSystemClock(), session->config().classObjectLatency, ++classObjectCalls);
    if (factory == nullptr || !sim::ServesClass(session->config(), clsid)) {
      return CLASS_E_CLASSNOTAVAILABLE;
    }
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  return factory->QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() { return serverLocks.load() == 0 && !server.Busy() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  wchar_t modulePath[MAX_PATH];
  const DWORD length = GetModuleFileNameW(thisModule, modulePath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return SELFREG_E_CLASS;
  const HRESULT fw = RegisterServiceClass(qbus::kClsidFW, L"t6 simulated FW driver service", modulePath);
  if (FAILED(fw)) return fw;
  return RegisterServiceClass(qbus::kClsidQBus, L"t6 simulated qBUS driver service", modulePath);
}

STDAPI DllUnregisterServer() {
  for (const CLSID* clsid : {&qbus::kClsidFW, &qbus::kClsidQBus}) {
    const LONG result = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKeyPath(*clsid).c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) return SELFREG_E_CLASS;
  }
  return S_OK;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    thisModule = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    server.WriteLastReport();
  }
  return TRUE;
}
