#include "device/driver_apartment.h"

#include <windows.h>

#include <objbase.h>

namespace {

// How soon a release is seen between two of the thread's messages.
constexpr DWORD kReleasePollMs = 50;

}  // namespace

DriverApartment::DriverApartment() : entered_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

DriverApartment::~DriverApartment() {
  if (entered_) CoUninitialize();
}

void DriverApartment::ServeUntil(StopSignal& release) {
  while (!release.StopRequested()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kReleasePollMs, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}
