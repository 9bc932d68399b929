// What the simulated driver service serves and how it misbehaves. Read from a
// text file (see ParseSimConfig) named by the environment variable below.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

constexpr const char kConfigVariable[] = "T6_QBUS_SIM_CONFIG";
constexpr std::uint32_t kAllCalls = 0xFFFFFFFFu;

enum class FaultMode { kOk, kFail, kNull, kOvercount };

// A fault on calls first to last (counted from 1) of one operation; kNull
// means success with no object handed back, kOvercount a list whose count
// claims one record more than its block holds.
struct Fault {
  FaultMode mode = FaultMode::kOk;
  std::uint32_t first = 1;
  std::uint32_t last = kAllCalls;

  bool Hits(std::uint32_t call) const { return mode != FaultMode::kOk && call >= first && call <= last; }
};

// How long calls first to last (counted from 1) of one operation take before
// they do anything: us microseconds, or for ever, as a wedged driver's would.
struct CallLatency {
  std::uint32_t us = 0;
  bool forever = false;
  std::uint32_t first = 1;
  std::uint32_t last = kAllCalls;

  bool Hits(std::uint32_t call) const { return (forever || us != 0) && call >= first && call <= last; }
};

struct PortEntry {
  std::uint32_t id = 0;
  std::uint32_t name = 0;  // four characters, the first in the top byte
};

struct NodeEntry {
  std::uint32_t word0 = 0;
  std::uint32_t word1 = 0;
  std::uint32_t vendor = 0;
  std::uint32_t model = 0;
  std::uint32_t fromCall = 1;  // listed from this GetNodeList call on (the first is 1)
  std::vector<PortEntry> ports;
};

struct SimConfig {
  bool serveFW = true;
  bool serveQBus = true;
  std::vector<NodeEntry> nodes;
  // The nodes are listed only once the service has learnt of them through a
  // message-only window with a timer, on the thread that created it: a
  // driver that needs that thread to dispatch its messages.
  bool nodesByWindowTimer = false;
  Fault getNodeList;
  Fault openDevice;
  Fault getPortList;
  Fault openPort;
  CallLatency classObjectLatency;  // DllGetClassObject, the host factory's creation
  CallLatency getNodeListLatency;
  CallLatency openDeviceLatency;
  CallLatency getPortListLatency;
  CallLatency openPortLatency;
  std::uint32_t writeFailAt = 0;          // the Write call that fails (the first is 1); 0 for none
  std::uint32_t crashAtWrite = 0;         // the Write call that ends the caller's process; 0 for none
  std::uint32_t writeLatencyUs = 0;       // added to every Write
  std::uint32_t writeBytesPerSecond = 0;  // 0: no limit
  std::string statsFile;                  // report, written when the last object goes
  std::string captureFile;
  std::string callsFile;  // a line as each call begins, for a test to wait on
};

struct ConfigResult {
  bool ok = false;
  SimConfig config;
  int errorLine = 0;  // 1-based line of the first error
  std::string error;
};

// Line-based: "key = value", blank lines, and lines starting with '#'.
//   classes = both | fw | qbus | none
//   learn_nodes = at_once | window_timer
//   node = <word0> <word1> <vendor> <model> [from=<call>]
//   port = <id> <name>                      (belongs to the node above it)
//   get_node_list | get_port_list = ok | fail [<calls>] | overcount [<calls>]
//   open_device | open_port = ok | fail [<calls>] | null [<calls>]
//     where <calls> is <n> (calls 1 to n), <a>-<b>, or <a>- (call a on); all calls if left out
//   class_object_latency_us | get_node_list_latency_us | open_device_latency_us |
//   get_port_list_latency_us | open_port_latency_us = <n> | hang [<calls>]
//   write_fail_at = <call>
//   crash_at_write = <call>                 (the process ends there, as if it crashed)
//   write_latency_us = <n>
//   write_bytes_per_second = <n>
//   stats_file = <path>
//   capture_file = <path>
//   calls_file = <path>                     ("get_node_list 1", "write 3": each call as it begins)
// Numbers are decimal digits, or 0x and hex digits, within 32 bits. A name is
// one to four characters, or a 0x word. Lines end with LF, CRLF or a bare CR; a
// leading UTF-8 byte-order mark is skipped; a NUL byte is an error.
ConfigResult ParseSimConfig(const std::string& text);
// A file that cannot be read (missing, a directory, a read error) is an error
// with errorLine 0.
ConfigResult LoadSimConfigFile(const std::string& path);

}  // namespace sim
