#include "device/driver_apartment.h"

DriverApartment::DriverApartment() = default;

DriverApartment::~DriverApartment() = default;

void DriverApartment::ServeUntil(StopSignal& release) {
  while (release.WaitFor(60 * 1000)) {
  }
}
