// Streaming overhead: Play of 16 MiB of SysEx with every delta time 0 into a
// port that takes every write, against memcpy of the same bytes in the same
// chunks into the same size of ring. Also the pre-flight walk's cost.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "state/update_state.h"
#include "tools/port_stub.h"
#include "tools/smf_builder.h"
#include "tools/temp_file.h"
#include "transfer/rq_data_play.h"

namespace {

constexpr std::uint32_t kMessageBytes = 4095;  // one full 4096-byte write each
constexpr std::uint32_t kMessages = 4096;      // 16 MiB on the port

class NullPort final : public PortStub {
 public:
  HRESULT STDMETHODCALLTYPE Write(std::uint32_t, std::uint32_t, const std::uint8_t* bytes, std::uint32_t) override {
    benchmark::DoNotOptimize(bytes[0]);
    return S_OK;
  }
};

class StoppedCounter final : public MillisecondCounter {
 public:
  std::uint32_t Now() override { return 0; }  // every message is due at 0
};

class NoProgress final : public ProgressBar {
 public:
  void SetRange(std::uint16_t, std::uint16_t) override {}
  void SetPos(std::uint32_t) override {}
};

CRQDataPlay& Player() {
  static CRQDataPlay player;
  static const bool loaded = [] {
    const Bytes firmware = SyntheticFirmware(kMessageBytes, 7);
    Bytes body(firmware.begin(), firmware.end());
    body.back() = 0xF7;
    TrackBuilder track;
    for (std::uint32_t i = 0; i < kMessages; ++i) track.Delta(0).SysEx(body);
    TempFile file(BuildSmf(0, 480, {track.Delta(0).EndOfTrack().body()}));
    return player.Load(file.path().c_str()) && player.Verify(UpdateState::kDefaultTempo);
  }();
  if (!loaded) std::abort();
  return player;
}

constexpr std::int64_t kBytesPerRun = static_cast<std::int64_t>(kMessages) * (kMessageBytes + 1);

void BM_Play(benchmark::State& state) {
  CRQDataPlay& player = Player();
  NullPort port;
  StoppedCounter counter;
  NoProgress progress;
  StopSignal stop;
  for (auto _ : state) {
    player.Play(progress, 500000, TransferLink{port, counter, stop});
    if (player.error() != CSMF::kOk) state.SkipWithError("the transfer failed");
  }
  state.SetBytesProcessed(state.iterations() * kBytesPerRun);
}
BENCHMARK(BM_Play)->Unit(benchmark::kMillisecond);

// The floor: the same bytes, copied in the same chunks into a 64 KiB ring.
void BM_Memcpy(benchmark::State& state) {
  CRQDataPlay& player = Player();
  static std::uint8_t ring[CRQDataPlay::kSlotCount][CRQDataPlay::kSlotSize];
  const std::uint8_t* track = player.data() + player.track(0).offset;
  for (auto _ : state) {
    // Each event: a delta time, the status, a two-byte length, the message.
    std::uint32_t position = 8;
    for (std::uint32_t i = 0; i < kMessages; ++i) {
      std::uint8_t* slot = ring[i % CRQDataPlay::kSlotCount];
      slot[0] = 0xF0;
      std::memcpy(slot + 1, track + position + 4, kMessageBytes);
      benchmark::DoNotOptimize(slot);
      position += 4 + kMessageBytes;
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kBytesPerRun);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// What the pre-flight adds to loading a file of this size.
void BM_Verify(benchmark::State& state) {
  CRQDataPlay& player = Player();
  for (auto _ : state) benchmark::DoNotOptimize(player.Verify(UpdateState::kDefaultTempo));
  state.SetBytesProcessed(state.iterations() * kBytesPerRun);
}
BENCHMARK(BM_Verify)->Unit(benchmark::kMillisecond);

// Prints the runs as usual, then Play's time as a multiple of memcpy's.
class RatioReporter final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) seconds_[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
  }
  void Ratio() const {
    const auto play = seconds_.find("BM_Play");
    const auto copy = seconds_.find("BM_Memcpy");
    if (play == seconds_.end() || copy == seconds_.end() || copy->second <= 0) return;
    std::printf("Play / memcpy of the same %lld bytes: %.2f\n", static_cast<long long>(kBytesPerRun),
                play->second / copy->second);
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.Ratio();
  benchmark::Shutdown();
  return 0;
}
