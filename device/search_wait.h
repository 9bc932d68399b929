// The device search's pauses. They must be cut short when the dialog closes,
// so that the worker can be joined before the driver objects are released.
// The driver's thread implements them (serving its messages meanwhile); the
// tests use fakes.
#pragma once

#include <cstdint>

class SearchWait {
 public:
  // Pauses ms milliseconds; false when a stop was requested before or during the pause.
  virtual bool Pause(std::uint32_t ms) = 0;
  virtual bool StopRequested() const = 0;

 protected:
  ~SearchWait() = default;
};
