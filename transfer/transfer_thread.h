// TransferThread, what the transfer's thread runs (TransferWorker starts
// it): locks the dialog's buttons, runs Play, records the outcome in the
// update state and the status line with one beep, and leaves Start as the way
// to close.
#pragma once

#include <cstdint>

#include "state/update_state.h"
#include "transfer/rq_data_play.h"
#include "transfer/transfer_ports.h"

// What the worker needs of the dialog; called from the worker's thread.
class TransferView {
 public:
  virtual void EnableBrowse(bool enable) = 0;
  virtual void EnableStart(bool enable) = 0;
  virtual void SetStatusText(const char* text) = 0;
  virtual ProgressBar& Progress() = 0;
  virtual void Beep() = 0;
  // The transfer has ended: Start becomes "Close", enabled and focused, so
  // that the operator's next press ends the program. finished is false after
  // a failed transfer.
  virtual void OfferClose(bool finished) = 0;

 protected:
  ~TransferView() = default;
};

struct TransferJob {
  TransferView& view;
  UpdateState& state;  // the dialog set busy to 1 before starting the worker
  CRQDataPlay& player;
  IqBUSPort& port;
  const StopSignal& stop;
  DriverCallWatch* calls = nullptr;  // each write is marked on it
};

// Runs one transfer to its end and returns the thread's exit code, 0. Busy is
// cleared just before Start is offered as "Close": whatever the operator does
// on seeing "Close", Esc included, finds the transfer over. The dialog waits
// for the worker before it lets its controls go.
// sleeper, when given, paces between messages and is begun and ended around
// the transfer, whatever way it ends; without one the transfer spins.
std::uint32_t TransferThread(const TransferJob& job, MillisecondCounter& counter, PacingSleeper* sleeper = nullptr);
