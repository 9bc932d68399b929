// What a transfer reaches outside the player: the progress bar, a millisecond
// counter to pace by, a way to sleep, the device's port and a stop request.
// The Win32 edges implement the counter, the sleeper and the progress bar; the
// tests use fakes.
#pragma once

#include <cstdint>

#include "device/driver_call_watch.h"
#include "device/qbus.h"
#include "state/stop_signal.h"

class ProgressBar {
 public:
  virtual void SetRange(std::uint16_t minimum, std::uint16_t maximum) = 0;
  virtual void SetPos(std::uint32_t position) = 0;

 protected:
  ~ProgressBar() = default;
};

// A free-running count of milliseconds that wraps at 32 bits; only unsigned
// differences between readings mean anything.
class MillisecondCounter {
 public:
  virtual std::uint32_t Now() = 0;

 protected:
  ~MillisecondCounter() = default;
};

// How the transfer's thread passes the time until a message is due. Begin and
// End bracket one transfer (a platform may raise its timer resolution for it).
// Sleep may wake a little early or late: the counter alone decides when a
// message leaves.
class PacingSleeper {
 public:
  virtual void Begin() = 0;
  virtual void End() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;

 protected:
  ~PacingSleeper() = default;
};

struct TransferLink {
  IqBUSPort& port;  // the open "FIRM" port
  MillisecondCounter& counter;
  const StopSignal& stop;  // a stop ends the transfer as failed
  // Null: spin on the counter all the way to each due time.
  PacingSleeper* sleeper = nullptr;
  // Each write is marked on it as a driver call; null: untimed.
  DriverCallWatch* calls = nullptr;
};
