// What a device should receive from an update file, worked out apart from the
// program's own player, and a check of a simulator capture against it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_stats.h"
#include "tools/lateness.h"

struct ExpectedMessage {
  std::uint32_t ticks = 0;                        // sum of every delta time up to this message
  std::uint32_t dueMs = 0;                        // after the transfer's start, at the fixed tempo
  std::vector<std::vector<std::uint8_t>> chunks;  // one per port write, in order
};

struct SysExStream {
  std::uint16_t division = 0;
  std::vector<ExpectedMessage> messages;
  std::size_t chunkCount = 0;   // writes over all messages
  std::uint64_t byteCount = 0;  // bytes over all writes
};

// Every SysEx message of track 0, as the program would send it. False, with a
// short reason, for a file the program refuses.
bool ReadSysExStream(const std::vector<std::uint8_t>& file, SysExStream& stream, std::string& error);

struct CaptureCheck {
  bool equal = false;            // the writes' bytes are the expected chunks, no more, no fewer
  bool prefix = false;           // every write is the expected chunk at its place; may stop early
  std::string mismatch;          // the first difference; writes and messages count from 0, chunks from 1
  std::size_t failedWrites = 0;  // result < 0
  // Microseconds, one per message whose first chunk was captured (by place in
  // the capture), measured from the reference below.
  std::vector<Departure> departures;
  // True: from a moment before the transfer began; false: from the first
  // message's first chunk.
  bool fromBeforeStart = false;
};

// The capture alone cannot see the moment the transfer starts. startedAfter is
// a counter reading (the simulator's counter) taken before the transfer began,
// e.g. when Start was pressed, or 0 when none is known; departures are then
// measured from the first message's first chunk instead.
CaptureCheck CheckCapture(const SysExStream& stream, const std::vector<sim::CapturedWrite>& writes,
                          std::uint64_t ticksPerSecond, std::uint64_t startedAfter = 0);

// True when no write follows the first failed one (or none failed).
bool EndsAtFirstFailure(const std::vector<sim::CapturedWrite>& writes);

// Measured from before the start, a message that left before its due time
// certainly left early. Measured from the first message, which may itself
// leave a little after the start, an earlier departure by up to this much
// (the resolution of the program's millisecond pacing) is not counted.
constexpr std::int64_t kEarlyToleranceUs = 1000;
std::size_t CountEarly(const CaptureCheck& check);
