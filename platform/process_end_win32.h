// Ending the process at once, running nothing more of it: no destructors, no
// C runtime exit, no DLL detach routines. For a close while a worker is stuck
// inside a driver call: releasing the driver's objects under that call, or
// letting the driver's DLL detach while the call runs, could crash or hang
// the driver; the system takes back every handle and the memory.
#pragma once

#include <windows.h>

[[noreturn]] inline void EndProcessNow(UINT exitCode) {
  TerminateProcess(GetCurrentProcess(), exitCode);
  ExitProcess(exitCode);  // only if the system refused the above
}
