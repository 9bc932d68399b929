// Windows looks for a DLL that is not one of its known system DLLs in the
// executable's own folder before the system folder, and the system's own DLLs
// (the file dialog, visual styles, COM) load more DLLs the same way: a DLL
// planted beside the downloaded updater would run inside it with the
// operator's rights. Restricting the search to the system folder closes that;
// the driver service still loads, from the full path its registration names.
#pragma once

#include <windows.h>

inline void RestrictDllSearchToSystemFolder() {
  // Windows 8 on, and 7 with its 2011 loader update; looked up, so that the
  // program still starts where it is missing.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  SetDllDirectoryW(L"");  // there, at least the current folder is not searched
}
