// Whether this start is the first copy of the updater, from what creating the
// single-instance mutex gave: a mutex, or none, and the system's last error.
#pragma once

#include <cstdint>

constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorAlreadyExists = 183;

// Another copy runs when the mutex already existed, and also when it exists
// but may not be opened: a copy started "Run as administrator" holds a mutex
// that a normal user's copy is refused. Any other failure leaves no way to
// tell, and the updater runs rather than refusing to run at all.
constexpr bool AnotherCopyRuns(bool gotMutex, std::uint32_t lastError) {
  return gotMutex ? lastError == kErrorAlreadyExists : lastError == kErrorAccessDenied;
}
