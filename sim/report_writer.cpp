#include "sim/report_writer.h"

#include <fstream>

#include "sim/sim_report.h"

namespace sim {

namespace {

void WriteFile(const std::string& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

void WriteReport(const BusModel& model) {
  const SimConfig& config = model.config();
  const SimStats stats = model.Stats();
  if (!config.captureFile.empty()) {
    const std::vector<std::uint8_t> capture = FormatCapture(stats.ticksPerSecond, model.Writes());
    WriteFile(config.captureFile, capture.data(), capture.size());
  }
  // Stats last: a reader that sees them finds the capture complete.
  if (!config.statsFile.empty()) {
    const std::string text = FormatStats(stats);
    WriteFile(config.statsFile, text.data(), text.size());
  }
}

}  // namespace sim
