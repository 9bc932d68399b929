// Owns the thread that runs one transfer. The thread runs at
// THREAD_PRIORITY_HIGHEST, so that ordinary work does not delay a message
// once it is due.
#pragma once

#include "device/driver_call_watch.h"
#include "platform/worker_thread.h"
#include "state/stop_signal.h"
#include "transfer/transfer_thread.h"

class TransferWorker {
 public:
  // How the worker waits for a message's due time.
  enum class Pacing {
    kSleepThenSpin,  // sleeps until just before, then spins: a core is not kept busy
    kSpin,           // spins all the way, as the benchmark compares
  };

  explicit TransferWorker(Pacing pacing = Pacing::kSleepThenSpin) : pacing_(pacing) {}
  // Stops a running transfer and waits for its thread.
  ~TransferWorker();
  TransferWorker(const TransferWorker&) = delete;
  TransferWorker& operator=(const TransferWorker&) = delete;

  // Starts the one transfer of this object. The caller has set busy to 1; on
  // false (a transfer was already started here, or no thread could be made)
  // nothing runs and busy is the caller's to clear. The arguments must outlive
  // the worker.
  bool Start(TransferView& view, UpdateState& state, CRQDataPlay& player, IqBUSPort& port);

  // The transfer then ends as failed at its next wait or chunk.
  void RequestStop() { stop_.RequestStop(); }

  // Waits for the thread to end, serving the messages it sends to the dialog.
  void Join() { thread_.Join(); }
  // The same for at most ms; false while the thread still runs.
  bool JoinFor(std::uint32_t ms) { return thread_.JoinFor(ms); }
  // Its writes to the port: a close waits while each returns in time.
  const DriverCallWatch& calls() const { return calls_; }

 private:
  static void Run(void* self);

  TransferView* view_ = nullptr;
  UpdateState* state_ = nullptr;
  CRQDataPlay* player_ = nullptr;
  IqBUSPort* port_ = nullptr;
  const Pacing pacing_;
  StopSignal stop_;
  DriverCallWatch calls_;
  WorkerThread thread_;  // last: joined before the rest goes
};
