// libFuzzer target: loads arbitrary bytes as an update file and plays track 0.
// The sanitizers catch any read outside the file; the checks below catch a
// track table that points outside it, and a pre-flight check that disagrees
// with what Play does on a port that takes every write. (That no event runs
// past track 0 into the next is the reader's and the player's table tests'.)
#include <cstdint>
#include <cstdlib>

#include "smf/smf.h"
#include "tools/memory_file.h"
#include "tools/port_stub.h"
#include "transfer/rq_data_play.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Every message is due at once: the first reading is the start, every later
// one lies 2^32 - 1 ms after it.
class InstantCounter final : public MillisecondCounter {
 public:
  std::uint32_t Now() override { return started_++ == 0 ? 0 : 0xFFFFFFFFu; }

 private:
  std::uint32_t started_ = 0;
};

class CountingPort final : public PortStub {
 public:
  HRESULT STDMETHODCALLTYPE Write(std::uint32_t flags, std::uint32_t count, const std::uint8_t* bytes,
                                  std::uint32_t count2) override {
    Check(flags == 0 && count == count2 && count >= 1 && count <= kMaxWriteBytes && bytes != nullptr);
    ++writes;
    this->bytes += count;
    return S_OK;
  }
  std::uint32_t writes = 0;
  std::uint64_t bytes = 0;
};

class LastProgress final : public ProgressBar {
 public:
  void SetRange(std::uint16_t, std::uint16_t) override {}
  void SetPos(std::uint32_t position) override {
    Check(position <= 100);
    last = position;
  }
  std::uint32_t last = 0;
};

// The pre-flight refuses every track Play fails on, and besides only those
// without firmware or with a schedule no operator can wait for; it counts what
// Play sends.
void CheckPreflightAgreesWithPlay(CRQDataPlay& player) {
  constexpr std::uint32_t kTempo = 500000;
  TrackSummary summary;
  const bool verified = player.Verify(kTempo, &summary);
  Check(player.error() == (verified ? CSMF::kOk : CSMF::kNotSmf));
  Check(verified == (summary.refusal == Refusal::kNone));
  Check(summary.refusal != Refusal::kNoFirmware || summary.messages == 0);

  InstantCounter counter;
  CountingPort port;
  LastProgress progress;
  StopSignal stop;
  player.Play(progress, kTempo, TransferLink{port, counter, stop});
  Check((summary.refusal != Refusal::kBrokenTrack) == (player.error() == CSMF::kOk));
  Check(port.writes == summary.writes && port.bytes == summary.bytes);
  if (verified) Check(progress.last <= 100);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static CRQDataPlay smf;  // one object for the whole run, as in the program
  MemoryFile input(data, size);
  const bool loaded = smf.LoadFrom("input", input);
  const std::int32_t error = smf.error();
  Check(error == 0 || error == 1 || error == 2 || error == 3 || error == 7);
  Check(loaded == (error == 0));
  if (!loaded) return 0;

  Check(smf.size() == size && smf.parsedEnd() <= smf.size());
  Check(smf.trackCount() >= 1 && smf.trackCount() <= CSMF::kMaxTracks && smf.division() != 0);
  for (int i = 0; i < smf.trackCount(); ++i) {
    Check(static_cast<std::uint64_t>(smf.track(i).offset) + smf.track(i).length <= smf.size());
  }
  CheckPreflightAgreesWithPlay(smf);
  return 0;
}
