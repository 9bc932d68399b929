// Runs DeviceSearchThread on a thread of its own at normal priority. The dialog
// keeps one and lets it go before it releases the driver objects: the
// destructor stops the search and joins the thread.
#pragma once

#include "device/device_discovery.h"
#include "device/search_wait.h"
#include "platform/worker_thread.h"

class DeviceSearchWorker : public SearchLauncher {
 public:
  // search and wait must outlive the worker; wait is the one RequestStop stops.
  DeviceSearchWorker(DeviceSearch search, StopSignalWait& wait) : search_(search), wait_(wait) {}
  ~DeviceSearchWorker();
  DeviceSearchWorker(const DeviceSearchWorker&) = delete;
  DeviceSearchWorker& operator=(const DeviceSearchWorker&) = delete;

  // Starts the search at most once in the worker's life.
  bool StartSearch() override;
  // Cuts any pause short; the worker then ends without calling a driver object.
  void RequestStop() { wait_.RequestStop(); }
  // Waits for the worker to end; returns at once when it never started.
  void Join() { thread_.Join(); }
  // Waits at most ms; false while the worker is still inside a driver call.
  bool JoinFor(std::uint32_t ms) { return thread_.JoinFor(ms); }

 private:
  static void Run(void* self);

  DeviceSearch search_;
  StopSignalWait& wait_;
  WorkerThread thread_;  // last: joined before the rest goes
};
