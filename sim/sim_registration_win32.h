// Where the simulated driver service registers its two classes: for the user
// who runs it (HKEY_CURRENT_USER\Software\Classes), never over a class that is
// registered to another server, for this user or for the machine. On a PC with
// the device's own driver installed, the simulator refuses to register, and
// that driver keeps working.
//
// Under Wine, whose COM looks up the machine's classes only (Wine 8 does not
// merge the user's into HKEY_CLASSES_ROOT), the classes are registered for the
// prefix's machine as well, under the same refusal; a Wine prefix is a
// machine of its own, the build's.
#pragma once

#include <windows.h>

#include <string>

namespace sim {

struct RegisteredClass {
  const CLSID* clsid;
  const wchar_t* description;
};

// Registers each class to modulePath with that ThreadingModel (null: none,
// as a main-threaded server has), or none of them when one is already
// registered to another server; then names that server on stderr (or to a
// debugger, when there is no stderr) and returns SELFREG_E_CLASS.
HRESULT RegisterForThisUser(const RegisteredClass* classes, std::size_t count, const std::wstring& modulePath,
                            const wchar_t* threadingModel);

// Removes the registrations of the classes to modulePath (under Wine, the
// machine's too), and nothing else.
HRESULT UnregisterForThisUser(const RegisteredClass* classes, std::size_t count, const std::wstring& modulePath);

}  // namespace sim
