// libFuzzer target: the simulated service's configuration parser on any text.
// Beyond not crashing, it checks what the parser promises: an error names a
// line of the text, and what it accepts has sane call ranges; a byte-order mark
// or CRLF line ends change nothing.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/sim_config.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Lines as the parser counts them: CRLF, LF or a bare CR ends one.
int LineCount(const std::string& text) {
  int lines = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++lines;
  }
  return lines + (text.empty() || text.back() == '\n' || text.back() == '\r' ? 0 : 1);
}

void CheckFault(const sim::Fault& fault) {
  Check(fault.first >= 1 && fault.first <= fault.last);
  if (fault.mode == sim::FaultMode::kOk) Check(fault.first == 1 && fault.last == sim::kAllCalls);
}

bool Same(const sim::ConfigResult& a, const sim::ConfigResult& b) {
  return a.ok == b.ok && a.errorLine == b.errorLine && a.error == b.error &&
         a.config.nodes.size() == b.config.nodes.size() && a.config.statsFile == b.config.statsFile &&
         a.config.captureFile == b.config.captureFile;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const sim::ConfigResult parsed = sim::ParseSimConfig(text);
  const bool bom = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
  if (!parsed.ok) {
    Check(parsed.errorLine >= 1 && parsed.errorLine <= LineCount(text.substr(bom ? 3 : 0)));
    Check(!parsed.error.empty());
  } else {
    Check(parsed.errorLine == 0 && parsed.error.empty());
    const sim::SimConfig& c = parsed.config;
    for (const sim::Fault* f : {&c.getNodeList, &c.openDevice, &c.getPortList, &c.openPort}) CheckFault(*f);
    Check(c.getNodeList.mode != sim::FaultMode::kNull && c.getPortList.mode != sim::FaultMode::kNull);
    for (const sim::NodeEntry& node : c.nodes) Check(node.fromCall >= 1);
    // Paths are trimmed and hold no line end or NUL.
    for (const std::string* path : {&c.statsFile, &c.captureFile}) {
      Check(path->find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
      Check(path->empty() || (path->find_first_of(" \t") != 0 && path->find_last_of(" \t") != path->size() - 1));
    }
  }
  if (!bom) Check(Same(parsed, sim::ParseSimConfig("\xEF\xBB\xBF" + text)));
  if (text.find('\r') == std::string::npos) {
    std::string crlf;
    for (const char ch : text) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    Check(Same(parsed, sim::ParseSimConfig(crlf)));
  }
  return 0;
}
