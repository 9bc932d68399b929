// Pacing: how late each SysEx message's first chunk reaches the simulated
// driver service after its due time, and how much processor time the
// transfer takes, for a file of a few hundred messages spread over a few
// seconds. The whole program path: the device search, the file loaded as the
// dialog loads it, the transfer worker at its priority. Four rows: the worker
// spinning all the way to each due time, and sleeping until just before it,
// each on a quiet machine and beside two processor-bound processes that the
// benchmark starts and stops itself. Prints figures, asserts nothing. Needs
// qbus_sim.dll registered in the prefix.
//   pacing_bench [runs]   (default 3 transfers a row; one search for all)
//   pacing_bench --burn   (a load process: spins until it is ended)
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/simulated_transfer_win32.h"
#include "tools/lateness.h"
#include "tools/smf_builder.h"
#include "tools/temp_file.h"
#include "transfer/pacing_sleeper_win32.h"
#include "transfer/update_file.h"

namespace {

constexpr std::uint16_t kDivision = 480;
constexpr std::uint32_t kMessages = 300;

struct Message {
  std::uint32_t tick;
  Bytes body;
};

// 300 messages 10 to 20 ticks (about 10 to 21 ms) apart, 16 to 9000 bytes
// long, so that some split; notes between some of them.
std::vector<Message> Messages() {
  std::vector<Message> messages;
  std::uint32_t state = 12345;
  auto next = [&state]() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  std::uint32_t tick = 0;
  for (std::uint32_t i = 0; i < kMessages; ++i) {
    const std::uint32_t length = 16 + next() % (9000 - 16 + 1);
    Bytes body(length);
    for (std::uint8_t& b : body) b = static_cast<std::uint8_t>(next() & 0x7F);
    body.back() = 0xF7;
    messages.push_back({tick, body});
    tick += 10 + next() % 11;
  }
  return messages;
}

Bytes BuildFile(const std::vector<Message>& messages) {
  TrackBuilder track;
  std::uint32_t now = 0;
  for (const Message& m : messages) {
    track.Delta(m.tick - now).SysEx(m.body);
    now = m.tick;
  }
  track.Delta(48).EndOfTrack();
  return BuildSmf(0, kDivision, {track.body()});
}

// Every message's chunks as the port must see them: 0xF0 and at most 4095
// bytes, then at most 4096 bytes each.
std::vector<Bytes> ExpectedChunks(const std::vector<Message>& messages, std::vector<std::size_t>& firstChunkOf) {
  std::vector<Bytes> chunks;
  for (const Message& m : messages) {
    firstChunkOf.push_back(chunks.size());
    const std::size_t first = m.body.size() < 4095 ? m.body.size() : 4095;
    Bytes chunk = {0xF0};
    chunk.insert(chunk.end(), m.body.begin(), m.body.begin() + first);
    chunks.push_back(chunk);
    for (std::size_t at = first; at < m.body.size(); at += 4096) {
      const std::size_t n = m.body.size() - at < 4096 ? m.body.size() - at : 4096;
      chunks.emplace_back(m.body.begin() + at, m.body.begin() + at + n);
    }
  }
  return chunks;
}

double Microseconds(std::int64_t nanoseconds) { return static_cast<double>(nanoseconds) / 1000.0; }

std::uint64_t FileTimeTicks(const FILETIME& time) {
  return static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// Processor time of this process (the transfer worker does nearly all of it
// while a transfer runs), in 100 ns units.
std::uint64_t ProcessorTime() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  return FileTimeTicks(kernel) + FileTimeTicks(user);
}

std::uint64_t Now100ns() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<std::uint64_t>(now.QuadPart) / static_cast<std::uint64_t>(frequency.QuadPart) * 10000000u +
         static_cast<std::uint64_t>(now.QuadPart) % static_cast<std::uint64_t>(frequency.QuadPart) * 10000000u /
             static_cast<std::uint64_t>(frequency.QuadPart);
}

// Two copies of this program spinning, for as long as the object lives.
class LoadProcesses {
 public:
  explicit LoadProcesses(bool start) {
    if (!start) return;
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    for (PROCESS_INFORMATION& p : processes_) {
      STARTUPINFOA startup = {};
      startup.cb = sizeof(startup);
      std::string commandLine = std::string("\"") + self + "\" --burn";
      if (CreateProcessA(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &p)) {
        CloseHandle(p.hThread);
      } else {
        p.hProcess = nullptr;
      }
    }
    Sleep(300);  // let them get going
  }
  ~LoadProcesses() {
    for (PROCESS_INFORMATION& p : processes_) {
      if (p.hProcess == nullptr) continue;
      TerminateProcess(p.hProcess, 0);
      WaitForSingleObject(p.hProcess, 5000);
      CloseHandle(p.hProcess);
    }
  }
  LoadProcesses(const LoadProcesses&) = delete;
  LoadProcesses& operator=(const LoadProcesses&) = delete;

 private:
  PROCESS_INFORMATION processes_[2] = {};
};

struct Row {
  const char* name;
  TransferWorker::Pacing pacing;
  bool load;
};

// Wine's own ntdll says what it is; Windows' has no such export.
bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

struct Measured {
  std::uint64_t rangeTicks;
  double processorShare;  // processor time over wall time of the transfer
};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--burn") {
    for (volatile unsigned spin = 0;; spin = spin + 1) {
    }
  }
  const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
  if (runs < 1) {
    std::fprintf(stderr, "usage: pacing_bench [runs]\n");
    return 2;
  }

  simulated::ComApartment apartment;
  sim::SimFolder folder("t6pacing");
  if (!apartment.ok() || !folder.Configure(simulated::kT6WithFirmPort)) {
    std::fprintf(stderr, "pacing_bench: cannot set up COM or the simulator's configuration\n");
    return 1;
  }

  const std::vector<Message> messages = Messages();
  std::vector<std::size_t> firstChunkOf;
  const std::vector<Bytes> expected = ExpectedChunks(messages, firstChunkOf);
  const TempFile file(BuildFile(messages));
  const auto player = std::make_unique<CRQDataPlay>();
  TrackSummary summary;
  if (LoadUpdateFile(*player, file.path().c_str(), UpdateState::kDefaultTempo, &summary) != status::kReady) {
    std::fprintf(stderr, "pacing_bench: the update file was refused\n");
    return 1;
  }

  UpdateState state;
  DeviceLink link;
  simulated::RecordingSearchView searchView;
  auto discovery = std::make_unique<simulated::Discovery>(state, link, searchView);
  if (!discovery->Find(30000)) {
    std::fprintf(stderr, "pacing_bench: no device (status code 0x%08X); is qbus_sim.dll registered?\n",
                 static_cast<unsigned>(state.statusCode.load()));
    return 1;
  }

  const Row rows[] = {
      {"spin, quiet", TransferWorker::Pacing::kSpin, false},
      {"sleep-then-spin, quiet", TransferWorker::Pacing::kSleepThenSpin, false},
      {"spin, 2 busy processes", TransferWorker::Pacing::kSpin, true},
      {"sleep-then-spin, 2 busy processes", TransferWorker::Pacing::kSleepThenSpin, true},
  };
  std::vector<Measured> measured;
  for (const Row& row : rows) {
    const LoadProcesses load(row.load);
    for (int run = 0; run < runs; ++run) {
      simulated::RecordingTransferView view;
      const std::uint64_t processorBefore = ProcessorTime();
      const std::uint64_t wallBefore = Now100ns();
      if (!simulated::RunTransfer(state, *player, *link.port.get(), view, row.pacing) ||
          state.statusCode.load() != status::kRebooting) {
        std::fprintf(stderr, "pacing_bench: a transfer failed (%s)\n", row.name);
        return 1;
      }
      const double wall = static_cast<double>(Now100ns() - wallBefore);
      measured.push_back({view.progress.rangeTicks, static_cast<double>(ProcessorTime() - processorBefore) / wall});
    }
  }
  discovery.reset();  // the driver objects go: the simulator writes its report now

  sim::SimReport report;
  if (!folder.LoadReport(report) || report.stats.ticksPerSecond == 0) {
    std::fprintf(stderr, "pacing_bench: no report from the simulator\n");
    return 1;
  }
  const std::int64_t perSecond = static_cast<std::int64_t>(report.stats.ticksPerSecond);

  HighResolutionSleeper probe;
  probe.Begin();
  std::printf(
      "pacing %s: %u messages, %llu bytes in %u writes per transfer, last due at %llu ms; "
      "%d transfers a row; sleeps on %s\n",
      UnderWine() ? "under Wine" : "on Windows", summary.messages, static_cast<unsigned long long>(summary.bytes),
      summary.writes,
      static_cast<unsigned long long>(simulated::DueMillisecondsAtDefaultTempo(messages.back().tick, kDivision)), runs,
      probe.highResolutionTimer() ? "a high-resolution waitable timer"
      : probe.timerPeriodRaised() ? "Sleep with a 1 ms timer period"
                                  : "Sleep");
  probe.End();
  std::printf("%-34s %10s %10s %10s %6s %9s %10s  %s\n", "row", "p50 us", "p99 us", "max us", "early", "over 1 ms",
              "processor", "capture");
  for (std::size_t r = 0; r < sizeof(rows) / sizeof(rows[0]); ++r) {
    std::vector<Departure> departures;
    double share = 0;
    bool matches = true;
    for (int run = 0; run < runs; ++run) {
      const std::size_t index = r * static_cast<std::size_t>(runs) + static_cast<std::size_t>(run);
      const std::size_t base = index * expected.size();
      share += measured[index].processorShare / runs;
      if (report.writes.size() < base + expected.size()) {
        matches = false;
        continue;
      }
      for (std::size_t i = 0; i < expected.size(); ++i) {
        if (report.writes[base + i].bytes != expected[i]) matches = false;
      }
      // Nanoseconds since the range was set, just before Play's start reading.
      for (std::size_t m = 0; m < messages.size(); ++m) {
        const std::int64_t dueMs =
            static_cast<std::int64_t>(simulated::DueMillisecondsAtDefaultTempo(messages[m].tick, kDivision));
        const std::int64_t elapsed =
            static_cast<std::int64_t>(report.writes[base + firstChunkOf[m]].ticks - measured[index].rangeTicks);
        departures.push_back(
            {dueMs * 1000000, elapsed / perSecond * 1000000000 + elapsed % perSecond * 1000000000 / perSecond});
      }
    }
    const LatenessSummary s = SummarizeLateness(departures);
    std::size_t overOneMs = 0;
    for (const Departure& d : departures) {
      if (d.actual - d.due > 1000000) ++overOneMs;
    }
    std::printf("%-34s %10.1f %10.1f %10.1f %6zu %9zu %9.1f%%  %s\n", rows[r].name, Microseconds(s.p50),
                Microseconds(s.p99), Microseconds(s.max), s.early, overOneMs, share * 100.0,
                matches ? "matches the file" : "DIFFERS FROM THE FILE");
  }
  return 0;
}
