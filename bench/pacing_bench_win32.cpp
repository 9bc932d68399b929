// Pacing: how late each SysEx message's first chunk reaches the simulated
// driver service after its due time, for a file of a few hundred messages
// spread over a few seconds. The whole program path: the device search, the
// file loaded as the dialog loads it, the transfer worker at its priority.
// Prints figures, asserts nothing. Needs qbus_sim.dll registered in the prefix.
//   pacing_bench [runs]   (default 3; one search, then that many transfers)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "tests/support/temp_file.h"
#include "tests/windows_transfer/simulated_transfer.h"
#include "tools/smf_builder.h"
#include "transfer/lateness.h"
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
std::vector<Bytes> ExpectedChunks(const std::vector<Message>& messages,
                                  std::vector<std::size_t>& firstChunkOf) {
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

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
  if (runs < 1) {
    std::fprintf(stderr, "usage: pacing_bench [runs]\n");
    return 2;
  }

  simulated::ComApartment apartment;
  simulated::SimFolder folder("t6pacing");
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
  if (LoadUpdateFile(*player, file.path().c_str(), &summary) != status::kReady) {
    std::fprintf(stderr, "pacing_bench: the update file was refused\n");
    return 1;
  }

  UpdateState state;
  DeviceLink link;
  simulated::RecordingSearchView searchView;
  if (!simulated::DiscoverDevice(state, link, searchView, 30000)) {
    std::fprintf(stderr, "pacing_bench: no device (status code 0x%08X); is qbus_sim.dll registered?\n",
                 static_cast<unsigned>(state.statusCode.load()));
    return 1;
  }

  std::vector<std::uint64_t> rangeTicks;
  for (int run = 0; run < runs; ++run) {
    simulated::RecordingTransferView view;
    if (!simulated::RunTransfer(state, *player, *link.port.get(), view) ||
        state.statusCode.load() != status::kRebooting) {
      std::fprintf(stderr, "pacing_bench: transfer %d failed\n", run + 1);
      return 1;
    }
    rangeTicks.push_back(view.progress.rangeTicks);
  }
  link.ReleaseAll();  // the simulator writes its report now

  sim::SimReport report;
  if (!folder.LoadReport(report) || report.stats.ticksPerSecond == 0) {
    std::fprintf(stderr, "pacing_bench: no report from the simulator\n");
    return 1;
  }
  const std::int64_t perSecond = static_cast<std::int64_t>(report.stats.ticksPerSecond);

  std::printf("pacing under Wine: %u messages, %llu bytes in %u writes per transfer, last due at %llu ms\n",
              summary.messages, static_cast<unsigned long long>(summary.bytes), summary.writes,
              static_cast<unsigned long long>(
                  simulated::DueMillisecondsAtDefaultTempo(messages.back().tick, kDivision)));
  for (int run = 0; run < runs; ++run) {
    const std::size_t base = static_cast<std::size_t>(run) * expected.size();
    if (report.writes.size() < base + expected.size()) {
      std::printf("run %d: the capture holds %zu writes, too few\n", run + 1, report.writes.size());
      continue;
    }
    bool matches = true;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      if (report.writes[base + i].bytes != expected[i]) matches = false;
    }

    // Nanoseconds since the range was set, just before Play's start reading.
    std::vector<Departure> departures;
    for (std::size_t m = 0; m < messages.size(); ++m) {
      const std::int64_t dueMs =
          static_cast<std::int64_t>(simulated::DueMillisecondsAtDefaultTempo(messages[m].tick, kDivision));
      const std::int64_t elapsed =
          static_cast<std::int64_t>(report.writes[base + firstChunkOf[m]].ticks - rangeTicks[run]);
      departures.push_back({dueMs * 1000000, elapsed / perSecond * 1000000000 +
                                                 elapsed % perSecond * 1000000000 / perSecond});
    }
    const LatenessSummary s = SummarizeLateness(departures);
    std::size_t overOneMs = 0;
    for (const Departure& d : departures) {
      if (d.actual - d.due > 1000000) ++overOneMs;
    }
    std::printf(
        "run %d: first-chunk lateness p50 %.1f us, p99 %.1f us, max %.1f us; early %zu, over 1 ms %zu, "
        "of %zu; capture %s the file\n",
        run + 1, Microseconds(s.p50), Microseconds(s.p99), Microseconds(s.max), s.early, overOneMs, s.count,
        matches ? "matches" : "DIFFERS FROM");
  }
  return 0;
}
