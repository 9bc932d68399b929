#include "sim/sim_config.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <sstream>
#include <system_error>

namespace sim {

namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

std::vector<std::string> Words(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decimal digits, or 0x/0X and hex digits; nothing else, within 32 bits. Done by
// hand: strtoull would take a sign, leading spaces and a second 0x.
bool ParseNumber(const std::string& s, std::uint32_t& value) {
  const bool hex = s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  const std::size_t begin = hex ? 2 : 0;
  const std::uint64_t base = hex ? 16 : 10;
  if (s.size() == begin) return false;
  std::uint64_t parsed = 0;
  for (std::size_t i = begin; i < s.size(); ++i) {
    const int digit = HexDigit(s[i]);
    if (digit < 0 || static_cast<std::uint64_t>(digit) >= base) return false;
    parsed = parsed * base + static_cast<std::uint64_t>(digit);
    if (parsed > 0xFFFFFFFFull) return false;
  }
  value = static_cast<std::uint32_t>(parsed);
  return true;
}

bool ParseName(const std::string& s, std::uint32_t& name) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) return ParseNumber(s, name);
  if (s.empty() || s.size() > 4) return false;
  name = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const auto c = i < s.size() ? static_cast<unsigned char>(s[i]) : 0u;
    name = (name << 8) | c;
  }
  return true;
}

// <n> (calls 1 to n), <a>-<b> or <a>- (call a on).
bool ParseCalls(const std::string& calls, std::uint32_t& first, std::uint32_t& last) {
  first = 1;
  last = kAllCalls;
  const auto dash = calls.find('-');
  if (dash == std::string::npos) return ParseNumber(calls, last) && last > 0;
  if (!ParseNumber(calls.substr(0, dash), first) || first == 0) return false;
  return dash + 1 == calls.size() || (ParseNumber(calls.substr(dash + 1), last) && last >= first);
}

// other: the mode besides ok and fail that this operation takes ("null" for
// an open, "overcount" for a list).
bool ParseFault(const std::vector<std::string>& words, FaultMode other, Fault& fault) {
  if (words.empty() || words.size() > 2) return false;
  if (words[0] == "ok") {
    fault = Fault{};
    return words.size() == 1;
  }
  if (words[0] == "fail") {
    fault.mode = FaultMode::kFail;
  } else if ((words[0] == "null" && other == FaultMode::kNull) ||
             (words[0] == "overcount" && other == FaultMode::kOvercount)) {
    fault.mode = other;
  } else {
    return false;
  }
  fault.first = 1;
  fault.last = kAllCalls;
  return words.size() == 1 || ParseCalls(words[1], fault.first, fault.last);
}

bool ParseLatency(const std::vector<std::string>& words, CallLatency& latency) {
  if (words.empty() || words.size() > 2) return false;
  latency = CallLatency{};
  latency.forever = words[0] == "hang";
  if (!latency.forever && !ParseNumber(words[0], latency.us)) return false;
  return words.size() == 1 || ParseCalls(words[1], latency.first, latency.last);
}

// Applies one "key = value" line; returns an error text, empty on success.
std::string ApplyLine(const std::string& key, const std::string& value, SimConfig& config) {
  const std::vector<std::string> words = Words(value);
  if (key == "classes") {
    if (words.size() != 1) return "classes takes one of both, fw, qbus, none";
    const std::string& w = words[0];
    if (w != "both" && w != "fw" && w != "qbus" && w != "none") return "classes takes one of both, fw, qbus, none";
    config.serveFW = w == "both" || w == "fw";
    config.serveQBus = w == "both" || w == "qbus";
    return {};
  }
  if (key == "learn_nodes") {
    if (words.size() != 1 || (words[0] != "at_once" && words[0] != "window_timer")) {
      return "learn_nodes takes at_once or window_timer";
    }
    config.nodesByWindowTimer = words[0] == "window_timer";
    return {};
  }
  if (key == "node") {
    NodeEntry node;
    if (words.size() < 4 || words.size() > 5 || !ParseNumber(words[0], node.word0) ||
        !ParseNumber(words[1], node.word1) || !ParseNumber(words[2], node.vendor) ||
        !ParseNumber(words[3], node.model)) {
      return "node takes <word0> <word1> <vendor> <model> [from=<call>]";
    }
    if (words.size() == 5 && (words[4].compare(0, 5, "from=") != 0 || !ParseNumber(words[4].substr(5), node.fromCall) ||
                              node.fromCall == 0)) {
      return "from= takes a call number from 1";
    }
    config.nodes.push_back(node);
    return {};
  }
  if (key == "port") {
    if (config.nodes.empty()) return "port before any node";
    PortEntry port;
    if (words.size() != 2 || !ParseNumber(words[0], port.id) || !ParseName(words[1], port.name)) {
      return "port takes <id> <name of 1 to 4 characters or 0x word>";
    }
    config.nodes.back().ports.push_back(port);
    return {};
  }
  struct FaultKey {
    const char* key;
    Fault SimConfig::*fault;
    FaultMode other;
  };
  static const FaultKey kFaults[] = {{"get_node_list", &SimConfig::getNodeList, FaultMode::kOvercount},
                                     {"open_device", &SimConfig::openDevice, FaultMode::kNull},
                                     {"get_port_list", &SimConfig::getPortList, FaultMode::kOvercount},
                                     {"open_port", &SimConfig::openPort, FaultMode::kNull}};
  for (const FaultKey& f : kFaults) {
    if (key == f.key) {
      const char* other = f.other == FaultMode::kNull ? "null" : "overcount";
      return ParseFault(words, f.other, config.*f.fault) ? std::string{}
                                                         : key + " takes ok, fail [<calls>] or " + other + " [<calls>]";
    }
  }
  struct LatencyKey {
    const char* key;
    CallLatency SimConfig::*latency;
  };
  static const LatencyKey kLatencies[] = {{"class_object_latency_us", &SimConfig::classObjectLatency},
                                          {"get_node_list_latency_us", &SimConfig::getNodeListLatency},
                                          {"open_device_latency_us", &SimConfig::openDeviceLatency},
                                          {"get_port_list_latency_us", &SimConfig::getPortListLatency},
                                          {"open_port_latency_us", &SimConfig::openPortLatency}};
  for (const LatencyKey& l : kLatencies) {
    if (key == l.key) {
      return ParseLatency(words, config.*l.latency) ? std::string{} : key + " takes <us> or hang, and [<calls>]";
    }
  }
  struct NumberKey {
    const char* key;
    std::uint32_t SimConfig::*value;
  };
  static const NumberKey kNumbers[] = {{"write_fail_at", &SimConfig::writeFailAt},
                                       {"crash_at_write", &SimConfig::crashAtWrite},
                                       {"write_latency_us", &SimConfig::writeLatencyUs},
                                       {"write_bytes_per_second", &SimConfig::writeBytesPerSecond}};
  for (const NumberKey& n : kNumbers) {
    if (key == n.key) {
      return words.size() == 1 && ParseNumber(words[0], config.*n.value) ? std::string{} : key + " takes a number";
    }
  }
  // Paths keep their inner spaces.
  if (key == "stats_file" || key == "capture_file" || key == "calls_file") {
    if (value.empty()) return key + " takes a path";
    (key == "stats_file" ? config.statsFile : key == "capture_file" ? config.captureFile : config.callsFile) = value;
    return {};
  }
  return "unknown key '" + key + "'";
}

}  // namespace

ConfigResult ParseSimConfig(const std::string& text) {
  ConfigResult result;
  // Windows editors may save the file with a UTF-8 byte-order mark.
  std::size_t begin = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  int lineNumber = 0;
  // CRLF, LF and a bare CR each end a line.
  while (begin < text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", begin), text.size());
    const std::string line = text.substr(begin, end - begin);
    begin = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    ++lineNumber;
    // A NUL would cut a value short where it is read as a C string.
    if (line.find('\0') != std::string::npos) {
      result.errorLine = lineNumber;
      result.error = "NUL byte in the line";
      return result;
    }
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    const auto equals = trimmed.find('=');
    std::string error;
    if (equals == std::string::npos) {
      error = "expected key = value";
    } else {
      error = ApplyLine(Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1)), result.config);
    }
    if (!error.empty()) {
      result.errorLine = lineNumber;
      result.error = error;
      return result;
    }
  }
  result.ok = true;
  return result;
}

ConfigResult LoadSimConfigFile(const std::string& path) {
  // stdio rather than a stream: glibc opens a directory, and only ferror tells
  // its failed read from an empty file.
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  std::string text;
  char buffer[4096];
  for (std::size_t n; file && (n = std::fread(buffer, 1, sizeof buffer, file.get())) != 0;) text.append(buffer, n);
  if (file && std::ferror(file.get()) == 0) return ParseSimConfig(text);
  const int error = errno;
  ConfigResult result;
  result.error = "cannot read " + path + ": " + std::generic_category().message(error);
  return result;
}

}  // namespace sim
