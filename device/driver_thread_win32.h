// DriverThread: where the driver service lives, from the dialog's start to
// its close.
//
// One thread at normal priority. It enters a single-threaded COM apartment as
// soon as it starts, and its owner initialises COM on its own thread only
// once that is done: this thread's apartment is then the process's first,
// where COM makes a driver registered without a ThreadingModel, and where
// "Apartment" and "Both" drivers are made for a caller in it. A "Free" driver
// lives in the multithreaded apartment and cannot be handed to this one (its
// interface has no proxy): when COM says so, the thread moves to the
// multithreaded apartment and obtains it again there. Either way the service
// is the driver's object itself, which the search on this thread and the
// transfer on its own call directly.
//
// The thread runs the device discovery (acquisition and search), then keeps
// the driver's objects until it is asked to let them go, releases them here
// and leaves its apartment. Whenever it waits (between the search's attempts,
// before readiness, for the search or the release to be asked for) it
// dispatches its messages, for a driver may own a window on it, and it wakes
// at once on a stop or a release: both are events it waits on beside them.
// Every call into the driver's code (a method, a release, a dispatched
// message, leaving the apartment) is marked on calls().
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "device/device_discovery.h"
#include "device/driver_call_watch.h"
#include "device/search_wait.h"
#include "device/service_factory.h"
#include "platform/handles_win32.h"
#include "platform/worker_thread.h"

class DriverThread final : private SearchWait, private ServiceFactory {
 public:
  // Starts the thread and returns once it is in its apartment (at once when
  // no thread could be made: Search then refuses).
  DriverThread();
  // Stops, lets go and waits.
  ~DriverThread();
  DriverThread(const DriverThread&) = delete;
  DriverThread& operator=(const DriverThread&) = delete;

  // Runs the discovery on the thread, at most once: the service comes from
  // factory (made on this thread), search tells what it works on; both must
  // outlive this object. False when it cannot run (nothing is obtained then).
  bool Search(ServiceFactory& factory, const DeviceSearch& search);
  // Cuts any pause short; the discovery then ends before its next driver call.
  void RequestStop() { SetEvent(stop_.get()); }
  // Once the discovery has ended, the thread lets every driver object go,
  // leaves its apartment and ends.
  void RequestRelease() { SetEvent(release_.get()); }
  // Waits at most ms for the thread to end, serving what it sends to this
  // thread's windows; true once it has ended (or never started).
  bool JoinFor(std::uint32_t ms) { return thread_.JoinFor(ms); }
  const DriverCallWatch& calls() const { return calls_; }

 private:
  static void Run(void* self);
  void Live();

  // SearchWait: pauses that serve this thread's messages.
  bool Pause(std::uint32_t ms) override;
  bool StopRequested() const override;
  // ServiceFactory: the owner's factory, in the apartment the driver needs.
  HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** object) override;

  // Waits until one of the handles is set or ms pass, dispatching this
  // thread's messages meanwhile. The index of the handle set, or -1.
  int ServeUntil(const HANDLE* handles, DWORD count, DWORD ms);
  void EnterApartment(bool multithreaded);
  void LeaveApartment();

  KernelHandle inApartment_;
  KernelHandle searchAsked_;
  KernelHandle stop_;
  KernelHandle release_;
  ServiceFactory* factory_ = nullptr;
  std::optional<DeviceSearch> search_;
  bool comEntered_ = false;     // on the thread only
  bool multithreaded_ = false;  // on the thread only
  DriverCallWatch calls_;
  WorkerThread thread_;  // last: joined before the rest goes
};
