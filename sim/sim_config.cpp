#include "sim/sim_config.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "device/qbus_ids.h"

namespace sim {

namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

std::vector<std::string> Words(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

bool ParseNumber(const std::string& s, std::uint32_t& value) {
  if (s.empty() || s[0] == '-' || s[0] == '+') return false;
  const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  const char* begin = s.c_str() + (hex ? 2 : 0);
  char* end = nullptr;
  errno = 0;
  const unsigned long long parsed = std::strtoull(begin, &end, hex ? 16 : 10);
  if (end == begin || *end != '\0' || errno != 0 || parsed > 0xFFFFFFFFull) return false;
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

bool ParseFault(const std::vector<std::string>& words, bool nullAllowed, Fault& fault) {
  if (words.empty() || words.size() > 2) return false;
  if (words[0] == "ok") {
    fault = Fault{};
    return words.size() == 1;
  }
  if (words[0] == "fail") {
    fault.mode = FaultMode::kFail;
  } else if (words[0] == "null" && nullAllowed) {
    fault.mode = FaultMode::kNull;
  } else {
    return false;
  }
  fault.first = 1;
  fault.last = kAllCalls;
  if (words.size() == 1) return true;
  const std::string& calls = words[1];
  const auto dash = calls.find('-');
  if (dash == std::string::npos) return ParseNumber(calls, fault.last) && fault.last > 0;
  if (!ParseNumber(calls.substr(0, dash), fault.first) || fault.first == 0) return false;
  return dash + 1 == calls.size() ||
         (ParseNumber(calls.substr(dash + 1), fault.last) && fault.last >= fault.first);
}

// Applies one "key = value" line; returns an error text, empty on success.
std::string ApplyLine(const std::string& key, const std::string& value, SimConfig& config) {
  const std::vector<std::string> words = Words(value);
  if (key == "classes") {
    if (words.size() != 1) return "classes takes one of both, fw, qbus, none";
    const std::string& w = words[0];
    if (w != "both" && w != "fw" && w != "qbus" && w != "none")
      return "classes takes one of both, fw, qbus, none";
    config.serveFW = w == "both" || w == "fw";
    config.serveQBus = w == "both" || w == "qbus";
    return {};
  }
  if (key == "node") {
    NodeSpec node;
    if (words.size() < 4 || words.size() > 5 || !ParseNumber(words[0], node.word0) ||
        !ParseNumber(words[1], node.word1) || !ParseNumber(words[2], node.vendor) ||
        !ParseNumber(words[3], node.model)) {
      return "node takes <word0> <word1> <vendor> <model> [from=<call>]";
    }
    if (words.size() == 5 &&
        (words[4].compare(0, 5, "from=") != 0 || !ParseNumber(words[4].substr(5), node.fromCall) ||
         node.fromCall == 0)) {
      return "from= takes a call number from 1";
    }
    config.nodes.push_back(node);
    return {};
  }
  if (key == "port") {
    if (config.nodes.empty()) return "port before any node";
    PortSpec port;
    if (words.size() != 2 || !ParseNumber(words[0], port.id) || !ParseName(words[1], port.name)) {
      return "port takes <id> <name of 1 to 4 characters or 0x word>";
    }
    config.nodes.back().ports.push_back(port);
    return {};
  }
  struct FaultKey {
    const char* key;
    Fault SimConfig::*fault;
    bool nullAllowed;
  };
  static const FaultKey kFaults[] = {{"get_node_list", &SimConfig::getNodeList, false},
                                     {"open_device", &SimConfig::openDevice, true},
                                     {"get_port_list", &SimConfig::getPortList, false},
                                     {"open_port", &SimConfig::openPort, true}};
  for (const FaultKey& f : kFaults) {
    if (key == f.key) {
      return ParseFault(words, f.nullAllowed, config.*f.fault)
                 ? std::string{}
                 : key + " takes ok, fail [<calls>] or null [<calls>]";
    }
  }
  struct NumberKey {
    const char* key;
    std::uint32_t SimConfig::*value;
  };
  static const NumberKey kNumbers[] = {{"write_fail_at", &SimConfig::writeFailAt},
                                       {"write_latency_us", &SimConfig::writeLatencyUs},
                                       {"write_bytes_per_second", &SimConfig::writeBytesPerSecond}};
  for (const NumberKey& n : kNumbers) {
    if (key == n.key) {
      return words.size() == 1 && ParseNumber(words[0], config.*n.value) ? std::string{}
                                                                         : key + " takes a number";
    }
  }
  // Paths keep their inner spaces.
  if (key == "stats_file" || key == "capture_file") {
    if (value.empty()) return key + " takes a path";
    (key == "stats_file" ? config.statsFile : config.captureFile) = value;
    return {};
  }
  return "unknown key '" + key + "'";
}

}  // namespace

SimConfig DefaultSimConfig() {
  SimConfig config;
  NodeSpec node;
  node.word0 = 1;
  node.vendor = qbus::kVendorOui;
  node.model = qbus::kModelT6;
  node.ports.push_back({1, qbus::kFirmwarePortName});
  config.nodes.push_back(node);
  return config;
}

ConfigResult ParseSimConfig(const std::string& text) {
  ConfigResult result;
  std::istringstream in(text);
  int lineNumber = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    const auto equals = trimmed.find('=');
    std::string error;
    if (equals == std::string::npos) {
      error = "expected key = value";
    } else {
      error = ApplyLine(Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1)),
                        result.config);
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
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ConfigResult result;
    result.error = "cannot read " + path;
    return result;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return ParseSimConfig(text.str());
}

}  // namespace sim
