// The COM apartment that the device search's thread makes the driver's objects
// in: a single-threaded one, as the user-interface thread's, so that a driver
// registered for either apartment model is created as itself, without a proxy.
// The thread is in it for this object's life, which must end after the driver's
// objects are released: leaving the apartment unloads what was loaded in it.
// One implementation per platform; elsewhere than Windows there is none to enter.
#pragma once

#include "state/stop_signal.h"

class DriverApartment {
 public:
  DriverApartment();
  ~DriverApartment();  // NOLINT(performance-trivially-destructible): Windows leaves its apartment here
  DriverApartment(const DriverApartment&) = delete;
  DriverApartment& operator=(const DriverApartment&) = delete;

  // Returns once release is requested, meanwhile handling what is sent or
  // posted to this thread's windows (a driver's own, say), as an apartment
  // thread must.
  void ServeUntil(StopSignal& release);

 private:
  [[maybe_unused]] bool entered_ = false;  // only Windows has one to leave
};
