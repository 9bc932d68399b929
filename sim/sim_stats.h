// What the simulator reports: its counters and every Write it took.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct CapturedWrite {
  std::uint64_t ticks = 0;  // on entry to Write
  std::uint32_t portId = 0;
  std::uint32_t flags = 0;
  std::uint32_t byteCount = 0;
  std::uint32_t byteCount2 = 0;
  std::int32_t result = 0;
  std::vector<std::uint8_t> bytes;
};

struct SimStats {
  std::int64_t liveObjects = 0;
  std::uint64_t unfreedLists = 0;
  std::uint32_t servicesFW = 0;  // services created per class
  std::uint32_t servicesQBus = 0;
  std::uint32_t nodeListCalls = 0;
  std::uint32_t openDeviceCalls = 0;
  std::uint32_t portListCalls = 0;
  std::uint32_t openPortCalls = 0;
  std::uint32_t writeCalls = 0;
  std::uint32_t oversizeWrites = 0;  // more than kMaxWriteBytes
  std::uint32_t badWriteArgs = 0;    // flags not 0, or the two byte counts differ
  std::uint64_t ticksPerSecond = 0;
};

}  // namespace sim
