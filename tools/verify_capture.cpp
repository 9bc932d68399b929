// Checks what the simulated device received during an update against the
// update file: the capture must be the file's SysEx stream write for write, no
// write may have failed, no message may have left early, and the simulator must
// have released every object and list. Exits 0 when all hold, 1 when one does
// not, 2 when an input cannot be read.
//   verify_capture <update.mid> <sim.stats> <sim.capture> [<started-after>]
// started-after is a reading of the simulator's counter (QueryPerformanceCounter)
// taken before the transfer began; without one, times are measured from the
// first message.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/sim_report.h"
#include "tools/lateness.h"
#include "tools/sysex_stream.h"

namespace {

bool ReadFile(const char* path, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::string Milliseconds(std::int64_t us) {
  const std::uint64_t magnitude = us < 0 ? 0 - static_cast<std::uint64_t>(us) : static_cast<std::uint64_t>(us);
  char text[40];
  std::snprintf(text, sizeof text, "%s%llu.%03u ms", us < 0 ? "-" : "",
                static_cast<unsigned long long>(magnitude / 1000), static_cast<unsigned>(magnitude % 1000));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: %s <update.mid> <sim.stats> <sim.capture> [<started-after>]\n", argv[0]);
    return 2;
  }
  std::vector<std::uint8_t> file;
  SysExStream stream;
  std::string error;
  if (!ReadFile(argv[1], file)) {
    std::fprintf(stderr, "verify_capture: cannot read %s\n", argv[1]);
    return 2;
  }
  if (!ReadSysExStream(file, stream, error)) {
    std::fprintf(stderr, "verify_capture: %s: %s\n", argv[1], error.c_str());
    return 2;
  }
  sim::SimReport report;
  if (!sim::LoadReport(argv[2], argv[3], report) || report.stats.ticksPerSecond == 0) {
    std::fprintf(stderr, "verify_capture: cannot read the simulator's report %s, %s\n", argv[2], argv[3]);
    return 2;
  }

  // The lateness is told from the first message (tight); whether a message
  // left early, from before the start when that is known (certain).
  const std::uint64_t startedAfter = argc == 5 ? std::strtoull(argv[4], nullptr, 10) : 0;
  const CaptureCheck check = CheckCapture(stream, report.writes, report.stats.ticksPerSecond);
  const CaptureCheck fromStart =
      startedAfter != 0 ? CheckCapture(stream, report.writes, report.stats.ticksPerSecond, startedAfter) : check;
  if (check.equal) {
    std::printf("capture: equals the file's SysEx stream (%zu messages, %llu bytes in %zu writes)\n",
                stream.messages.size(), static_cast<unsigned long long>(stream.byteCount), stream.chunkCount);
  } else {
    std::printf("capture: DIFFERS: %s\n", check.mismatch.c_str());
  }
  if (check.failedWrites != 0) {
    std::printf("capture: %zu of %zu writes FAILED\n", check.failedWrites, report.writes.size());
  }

  const std::size_t early = CountEarly(fromStart);
  if (check.departures.empty()) {
    std::printf("lateness: no message captured\n");
  } else {
    const LatenessSummary s = SummarizeLateness(check.departures);
    std::printf("lateness: p50 %s, p99 %s, max %s (first chunks, measured from the first message)\n",
                Milliseconds(s.p50).c_str(), Milliseconds(s.p99).c_str(), Milliseconds(s.max).c_str());
    std::printf("early: %zu of %zu (%s)\n", early, s.count,
                fromStart.fromBeforeStart ? "before the due time counted from a moment before the transfer began"
                                          : "by more than 1 ms, measured from the first message");
  }
  std::printf("simulator: %lld live objects, %llu unfreed lists\n", static_cast<long long>(report.stats.liveObjects),
              static_cast<unsigned long long>(report.stats.unfreedLists));

  const bool ok = check.equal && check.failedWrites == 0 && early == 0 && report.stats.liveObjects == 0 &&
                  report.stats.unfreedLists == 0;
  return ok ? 0 : 1;
}
