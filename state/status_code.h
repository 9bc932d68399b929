// Outcomes shown to the operator, and the interface kinds that select their wording.
#pragma once

#include <cstdint>

using StatusCode = std::uint32_t;

namespace status {

constexpr StatusCode kReady = 0;
constexpr StatusCode kRebooting = 255;  // transfer finished, the device restarts by itself
constexpr StatusCode kErrorBit = 0x80000000u;

// Error numbers, the rows of the message table.
enum ErrorNumber : std::uint32_t {
  kNoInterface = 1,
  kNoDeviceInformation = 2,
  kDeviceNotFound = 3,
  kCannotOpenDevice = 4,
  kNoPortInformation = 5,
  kPortNotFound = 6,
  kCannotOpenPort = 7,
  kNotEnoughMemory = 8,
  kFileNotFound = 9,
  kFileOpenFailed = 10,
  kFileFormatError = 11,
  kCommunicationError = 12,
};

constexpr StatusCode Error(std::uint32_t number) { return kErrorBit | number; }
constexpr bool IsError(StatusCode code) { return (code & kErrorBit) != 0; }

}  // namespace status

// Which driver service is in use; signed 32-bit like the field it models.
enum InterfaceKind : std::int32_t {
  kInterfaceFW = 0,
  kInterfaceQBus = 1,
  kInterfaceNone = 2,
};
