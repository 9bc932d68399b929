// What the simulator leaves behind for a test in another process: a text
// stats file and a binary capture of every Write.
//
// Stats file: one "<key> <decimal value>" per line, keys as in SimStats
// (live_objects, unfreed_lists, services_fw, services_qbus, node_list_calls,
// open_device_calls, port_list_calls, open_port_calls, write_calls,
// oversize_writes, bad_write_args, ticks_per_second).
//
// Capture file, all numbers little-endian:
//   header:  8 bytes "T6QCAP01", u64 ticks per second, u32 record count
//   record:  u64 ticks, u32 port id, u32 flags, u32 byte count, u32 second
//            byte count, i32 result, u32 n, then n bytes (the bytes passed)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_stats.h"

namespace sim {

std::string FormatStats(const SimStats& stats);
std::vector<std::uint8_t> FormatCapture(std::uint64_t ticksPerSecond, const std::vector<CapturedWrite>& writes);

bool ParseStats(const std::string& text, SimStats& stats);
bool ParseCapture(const std::vector<std::uint8_t>& bytes, std::uint64_t& ticksPerSecond,
                  std::vector<CapturedWrite>& writes);

struct SimReport {
  SimStats stats;
  std::vector<CapturedWrite> writes;
};
// Loads both files; capturePath may be empty. False when a file is missing or malformed.
bool LoadReport(const std::string& statsPath, const std::string& capturePath, SimReport& report);

}  // namespace sim
