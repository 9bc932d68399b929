#include "sim/sim_registration_win32.h"

#include <objbase.h>
#include <olectl.h>

#include <vector>

namespace sim {
namespace {

struct RegistryKey {
  HKEY key = nullptr;
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() {
    if (key != nullptr) RegCloseKey(key);
  }
};

std::wstring ClassKeyPath(const CLSID& clsid) {
  wchar_t text[40];
  StringFromGUID2(clsid, text, 40);
  return std::wstring(L"Software\\Classes\\CLSID\\") + text;
}

// What a hive says of a class: not there, or there with its in-process
// server ("" when it has none, e.g. a class served by an executable).
struct Registration {
  bool present = false;
  std::wstring server;
};

Registration ReadRegistration(HKEY root, const CLSID& clsid) {
  Registration found;
  RegistryKey classKey;
  if (RegOpenKeyExW(root, ClassKeyPath(clsid).c_str(), 0, KEY_READ, &classKey.key) != ERROR_SUCCESS) return found;
  found.present = true;
  DWORD bytes = 0;
  if (RegGetValueW(classKey.key, L"InprocServer32", nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
          ERROR_SUCCESS ||
      bytes < sizeof(wchar_t)) {
    return found;
  }
  std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(classKey.key, L"InprocServer32", nullptr, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) ==
      ERROR_SUCCESS) {
    found.server = text.data();
  }
  return found;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

void Say(const std::wstring& text) {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
  DWORD written = 0;
  if (error == nullptr || error == INVALID_HANDLE_VALUE ||
      !WriteFile(error, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr)) {
    OutputDebugStringW(text.c_str());
  }
}

HRESULT SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  const LONG result = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  return result == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

HRESULT WriteRegistration(HKEY root, const RegisteredClass& service, const std::wstring& modulePath,
                          const wchar_t* threadingModel) {
  RegistryKey classKey;
  RegistryKey serverKey;
  if (RegCreateKeyExW(root, ClassKeyPath(*service.clsid).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &classKey.key,
                      nullptr) != ERROR_SUCCESS ||
      RegCreateKeyExW(classKey.key, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &serverKey.key, nullptr) !=
          ERROR_SUCCESS) {
    return SELFREG_E_CLASS;
  }
  if (FAILED(SetString(classKey.key, nullptr, service.description)) ||
      FAILED(SetString(serverKey.key, nullptr, modulePath))) {
    return SELFREG_E_CLASS;
  }
  if (threadingModel != nullptr) return SetString(serverKey.key, L"ThreadingModel", threadingModel);
  // An earlier registration's value stays unless it is taken away.
  const LONG deleted = RegDeleteValueW(serverKey.key, L"ThreadingModel");
  return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}

}  // namespace

HRESULT RegisterForThisUser(const RegisteredClass* classes, std::size_t count, const std::wstring& modulePath,
                            const wchar_t* threadingModel) {
  // The user's classes hide the machine's from COM: a class the machine gives
  // another server is refused too, and nothing is written before all are checked.
  for (std::size_t i = 0; i < count; ++i) {
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      const Registration found = ReadRegistration(root, *classes[i].clsid);
      if (found.present && !SamePath(found.server, modulePath)) {
        wchar_t clsid[40];
        StringFromGUID2(*classes[i].clsid, clsid, 40);
        Say(std::wstring(L"qbus_sim: not registered: the class ") + clsid + L" is already registered to " +
            (found.server.empty() ? L"another server" : found.server) + L" (" +
            (root == HKEY_CURRENT_USER ? L"this user's classes" : L"the machine's classes") +
            L"): the simulator never takes the place of an installed driver service.\n");
        return SELFREG_E_CLASS;
      }
    }
  }
  const bool forTheMachineToo = UnderWine();
  for (std::size_t i = 0; i < count; ++i) {
    HRESULT written = WriteRegistration(HKEY_CURRENT_USER, classes[i], modulePath, threadingModel);
    if (SUCCEEDED(written) && forTheMachineToo) {
      written = WriteRegistration(HKEY_LOCAL_MACHINE, classes[i], modulePath, threadingModel);
    }
    if (FAILED(written)) return written;
  }
  return S_OK;
}

HRESULT UnregisterForThisUser(const RegisteredClass* classes, std::size_t count, const std::wstring& modulePath) {
  const bool forTheMachineToo = UnderWine();
  for (std::size_t i = 0; i < count; ++i) {
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      if (root == HKEY_LOCAL_MACHINE && !forTheMachineToo) continue;
      const Registration found = ReadRegistration(root, *classes[i].clsid);
      if (!found.present || !SamePath(found.server, modulePath)) continue;
      const LONG result = RegDeleteTreeW(root, ClassKeyPath(*classes[i].clsid).c_str());
      if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) return SELFREG_E_CLASS;
    }
  }
  return S_OK;
}

}  // namespace sim
