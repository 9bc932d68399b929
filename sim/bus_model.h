// The simulated bus behind the driver objects: which nodes and ports it lists,
// which calls fail, and what was written. It also counts the driver objects
// alive and the lists handed out and not yet freed, so that tests can prove
// everything was released. Safe to call from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "device/qbus.h"
#include "sim/sim_clock.h"
#include "sim/sim_config.h"
#include "sim/sim_stats.h"

namespace sim {

// What an open hands back: a failure, success with no object, or a node/port.
struct OpenOutcome {
  HRESULT result = E_FAIL;
  bool giveObject = false;
  std::size_t index = 0;
};

enum class ServiceClass { kFW, kQBus };

class BusModel {
 public:
  BusModel(SimConfig config, std::shared_ptr<Clock> clock);
  ~BusModel();
  BusModel(const BusModel&) = delete;
  BusModel& operator=(const BusModel&) = delete;

  const SimConfig& config() const { return config_; }

  // Called when the number of live objects drops to zero; not under any lock.
  void SetIdleCallback(std::function<void(const BusModel&)> callback);
  // Called as each call begins, with its name in the calls file's words, on
  // the caller's thread and under the model's lock: it must not call the model.
  void SetCallObserver(std::function<void(const char* name)> observer);

  // The driver objects' side.
  void ObjectCreated();
  void ObjectDestroyed();
  void ServiceCreated(ServiceClass serviceClass);
  HRESULT GetNodeList(NodeList* list);
  OpenOutcome OpenDevice(std::uint32_t word0, std::uint32_t word1);
  HRESULT GetPortList(std::size_t node, PortList* list);
  OpenOutcome OpenPort(std::size_t node, std::uint32_t portId);
  PortEntry Port(std::size_t node, std::size_t port) const { return config_.nodes[node].ports[port]; }
  HRESULT Write(std::uint32_t portId, std::uint32_t flags, std::uint32_t byteCount, const std::uint8_t* bytes,
                std::uint32_t byteCount2);

  // A block passed to CoTaskMemFree; forgets it if it was one of our lists.
  void ListFreed(void* block);
  // Release on any object, before it takes effect.
  void ReleaseCalled();
  // COM asked the server whether it may be unloaded.
  void UnloadAsked();
  // The service's window has looked at the bus: with nodesByWindowTimer, the
  // nodes are listed from now on.
  void NodesLearned();

  SimStats Stats() const;
  std::vector<CapturedWrite> Writes() const;

 private:
  bool Listed(std::size_t node, std::uint32_t nodeListCall) const;
  // Counts one call of an operation and returns its number; then takes the
  // configured time, outside the lock, so that the report can still be read.
  // name is what the calls file calls the operation.
  std::uint32_t BeginCall(const char* name, std::uint32_t SimStats::*counter, const CallLatency& latency);
  void NoteCall(const char* name, std::uint32_t call);  // under mutex_

  const SimConfig config_;
  const std::shared_ptr<Clock> clock_;
  std::atomic<std::int64_t> live_{0};
  mutable std::mutex mutex_;
  SimStats stats_;
  std::set<void*> lists_;
  std::vector<CapturedWrite> writes_;
  std::uint32_t writesBegun_ = 0;
  std::uint32_t releaseCalls_ = 0;
  std::uint32_t unloadQueries_ = 0;
  bool nodesLearned_ = false;
  std::function<void(const BusModel&)> idle_;
  std::function<void(const char*)> callObserver_;
};

// Takes the time latency sets for call number call of its operation.
void TakeLatency(Clock& clock, const CallLatency& latency, std::uint32_t call);

// Reports a CoTaskMemFree to every model alive; the platform's free tracking calls it.
void NotifyTaskMemFreed(void* block);

// Starts observing CoTaskMemFree in this process (idempotent): the host
// allocator's observer, or a malloc spy on Windows.
void StartTaskMemFreeTracking();

}  // namespace sim
