// Runs the device discovery (DeviceSearchThread: the acquisition of a driver
// service, then the search) on a thread of its own at normal priority, so that
// the dialog answers whatever the driver does. The driver's objects are made in
// that thread's COM apartment, which the thread keeps, serving it, until it is
// asked to let them go: it releases them there and ends. The dialog keeps one
// worker and asks for the release once the transfer no longer uses the port;
// the destructor stops, releases and joins.
#pragma once

#include <cstdint>

#include "device/device_discovery.h"
#include "device/search_wait.h"
#include "platform/worker_thread.h"
#include "state/stop_signal.h"

class DeviceSearchWorker {
 public:
  // factory, search and wait must outlive the worker; wait is the one RequestStop stops.
  DeviceSearchWorker(ServiceFactory& factory, DeviceSearch search, StopSignalWait& wait)
      : factory_(factory), search_(search), wait_(wait) {}
  ~DeviceSearchWorker();
  DeviceSearchWorker(const DeviceSearchWorker&) = delete;
  DeviceSearchWorker& operator=(const DeviceSearchWorker&) = delete;

  // Starts the discovery at most once in the worker's life; false when no
  // thread could be made (nothing was obtained then).
  bool Start();
  // Cuts any pause short; the discovery then ends before its next driver call.
  void RequestStop() { wait_.RequestStop(); }
  // Once the discovery has ended, the worker releases every driver object it
  // obtained, on its own thread, and ends.
  void RequestRelease() { release_.RequestStop(); }
  // Waits for the worker to end; returns at once when it never started.
  void Join() { thread_.Join(); }
  // Waits at most ms; false while the worker is still inside a driver call.
  bool JoinFor(std::uint32_t ms) { return thread_.JoinFor(ms); }

 private:
  static void Run(void* self);

  ServiceFactory& factory_;
  DeviceSearch search_;
  StopSignalWait& wait_;
  StopSignal release_;
  WorkerThread thread_;  // last: joined before the rest goes
};
