// The simulated driver service as an in-process COM server serving the FW and
// the qBUS class. Its configuration file is named by T6_QBUS_SIM_CONFIG and
// read afresh whenever no object of the previous session is alive, so each
// test may bring its own; without one it serves nothing, so that it never
// answers for a real driver by accident. The report is written when the last
// object goes and when the process ends.
//
// regsvr32 registers it "Both"; `regsvr32 /n /i:<model> qbus_sim.dll`
// registers it with ThreadingModel <model> (Apartment, Both, Free, Neutral),
// or with none for "none", as drivers are registered in the field.
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
  sim::ConfigResult loaded;
  if (length != 0 && length < sizeof(path)) loaded = sim::LoadSimConfigFile(path);
  if (loaded.ok) return loaded.config;
  // Without a configuration, or with one that cannot be read, it serves
  // nothing: the simulator is not a device, and the mistake shows.
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

  // COM asks whether it may unload the DLL: the calls file notes it.
  void NoteUnloadQuery() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (model_) model_->UnloadAsked();
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

// A driver that learns of the bus through a message-only window on the thread
// that created its service: a timer there looks at the bus, and the nodes are
// listed only once it has. It runs only while that thread dispatches its
// messages, and goes with the session (or the thread).
class BusWatchWindow {
 public:
  static void Start(const std::shared_ptr<sim::BusModel>& session) {
    static const ATOM registered = [] {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = &Proc;
      wc.hInstance = thisModule;
      wc.lpszClassName = kClassName;
      return RegisterClassW(&wc);
    }();
    if (registered == 0) return;
    const HWND window = CreateWindowW(kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, thisModule, nullptr);
    if (window == nullptr) return;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new std::weak_ptr<sim::BusModel>(session)));
    SetTimer(window, 1, kLookMs, nullptr);
  }

 private:
  static constexpr const wchar_t* kClassName = L"t6-qbus-sim-bus-watch";
  static constexpr UINT kLookMs = 100;

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* session = reinterpret_cast<std::weak_ptr<sim::BusModel>*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_TIMER && session != nullptr) {
      if (const std::shared_ptr<sim::BusModel> model = session->lock()) {
        model->NodesLearned();
      } else {
        DestroyWindow(window);
      }
      return 0;
    }
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      delete session;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
};

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
      const std::shared_ptr<sim::BusModel> session = server.Session();
      const HRESULT created = sim::CreateServiceObject(session, clsid_, riid, object);
      if (SUCCEEDED(created) && session->config().nodesByWindowTimer) BusWatchWindow::Start(session);
      return created;
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

STDAPI DllCanUnloadNow() {
  server.NoteUnloadQuery();
  return serverLocks.load() == 0 && !server.Busy() ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  const std::wstring path = ModulePath();
  if (path.empty()) return SELFREG_E_CLASS;
  // "Both": made in whichever apartment asks, as the program's workers want it.
  return sim::RegisterForThisUser(kServiceClasses, std::size(kServiceClasses), path, L"Both");
}

// regsvr32 /i:<model> (with /n, alone): the registration with that
// ThreadingModel, or with none for "none"; with /u, the unregistration.
STDAPI DllInstall(BOOL install, PCWSTR commandLine) {
  if (!install) return DllUnregisterServer();
  const std::wstring path = ModulePath();
  if (path.empty()) return SELFREG_E_CLASS;
  const std::wstring model = commandLine != nullptr ? commandLine : L"";
  static const wchar_t* const kModels[] = {L"Apartment", L"Both", L"Free", L"Neutral"};
  for (const wchar_t* known : kModels) {
    if (model == known) return sim::RegisterForThisUser(kServiceClasses, std::size(kServiceClasses), path, known);
  }
  if (model == L"none") return sim::RegisterForThisUser(kServiceClasses, std::size(kServiceClasses), path, nullptr);
  return E_INVALIDARG;
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
