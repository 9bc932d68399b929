// The device search's pauses. They must be cut short when the dialog closes,
// so that the worker can be joined before the driver objects are released.
#pragma once

#include <cstdint>

#include "state/stop_signal.h"

class SearchWait {
 public:
  // Pauses ms milliseconds; false when a stop was requested before or during the pause.
  virtual bool Pause(std::uint32_t ms) = 0;
  virtual bool StopRequested() const = 0;

 protected:
  ~SearchWait() = default;
};

// A wait that a stop request ends at once; the owner of the worker stops it.
class StopSignalWait : public SearchWait {
 public:
  StopSignalWait() = default;
  StopSignalWait(const StopSignalWait&) = delete;
  StopSignalWait& operator=(const StopSignalWait&) = delete;
  virtual ~StopSignalWait() = default;

  bool Pause(std::uint32_t ms) override { return signal_.WaitFor(ms); }
  bool StopRequested() const override { return signal_.StopRequested(); }
  void RequestStop() { signal_.RequestStop(); }

 private:
  StopSignal signal_;
};
