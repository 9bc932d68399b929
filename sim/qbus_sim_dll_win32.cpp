// The simulated driver service as an in-process COM server serving the FW and
// the qBUS class. Its configuration file is named by T6_QBUS_SIM_CONFIG and
// read afresh whenever no object of the previous session is alive, so each
// test may bring its own. The report is written when the last object goes and
// when the process ends.
#include <windows.h>

#include <objbase.h>
#include <olectl.h>

#include <atomic>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>

#include "device/qbus_ids.h"
#include "sim/bus_model.h"
#include "sim/report_writer.h"
#include "sim/sim_config.h"
#include "sim/sim_objects.h"
#include "sim/sim_registration_win32.h"

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

constexpr sim::RegisteredClass kServiceClasses[] = {{&qbus::kClsidFW, L"t6 simulated FW driver service"},
                                                    {&qbus::kClsidQBus, L"t6 simulated qBUS driver service"}};

// This DLL's full path, or "" when it does not fit.
std::wstring ModulePath() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(thisModule, path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(path, length);
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
  const std::wstring path = ModulePath();
  if (path.empty()) return SELFREG_E_CLASS;
  return sim::RegisterForThisUser(kServiceClasses, std::size(kServiceClasses), path);
}

STDAPI DllUnregisterServer() {
  const std::wstring path = ModulePath();
  if (path.empty()) return SELFREG_E_CLASS;
  return sim::UnregisterForThisUser(kServiceClasses, std::size(kServiceClasses), path);
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
