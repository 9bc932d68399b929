// Fakes for the transfer's seams, and a player loaded from bytes built in the test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "tools/port_stub.h"
#include "tools/smf_builder.h"
#include "tools/temp_file.h"
#include "transfer/rq_data_play.h"

namespace fakes {

// Load refuses a division of 0; this player can be given one afterwards.
struct TestPlayer final : CRQDataPlay {
  void ZeroDivision() { division_ = 0; }
};

// Track 0 of a format 0 file with the given body.
inline Bytes FileWithTrack(const Bytes& body, std::uint16_t division = 480) { return BuildSmf(0, division, {body}); }

inline std::unique_ptr<TestPlayer> LoadedPlayer(const Bytes& file) {
  TempFile temp(file);
  auto player = std::make_unique<TestPlayer>();
  EXPECT_TRUE(player->Load(temp.path().c_str()));
  return player;
}

struct Chunk {
  Bytes bytes;
  const std::uint8_t* at;  // where the port was handed them
  std::uint32_t time;      // ms from the start to the counter's last reading before the write
};

enum class Event { kRead, kWrite, kSleep };

// Every seam of a transfer of one file, faked. The counter moves 1 ms a reading,
// and a sleep moves it by the time asked plus an error taken in turn from errors
// (negative wakes early, never before the call). The port records and checks
// every write; the progress bar records its positions.
struct Rig final : PortStub, MillisecondCounter, ProgressBar, PacingSleeper {
  explicit Rig(const Bytes& bytes, std::uint32_t counterStart = 0)
      : file(bytes), now(counterStart), player(LoadedPlayer(bytes)) {}

  // At tempo 500000, paced by the sleeper when pace is set, begun and ended as the worker does.
  void Play() {
    chunks.clear();
    positions.clear();
    calls = reads = sleeps = ranges = 0;
    if (pace) Begin();
    player->Play(*this, 500000, TransferLink{*this, *this, stop, pace ? this : nullptr});
    if (pace) End();
    CheckHeld();
    EXPECT_EQ(1u, ranges);
  }

  std::uint32_t Now() override {
    if (reads++ == 0) start = now;  // Play's first reading is its start
    last = now++;
    if (on) on(Event::kRead, last - start);
    return last;
  }
  HRESULT STDMETHODCALLTYPE Write(std::uint32_t flags, std::uint32_t count, const std::uint8_t* bytes,
                                  std::uint32_t count2) override {
    EXPECT_TRUE(flags == 0 && count == count2 && count >= 1 && count <= kMaxWriteBytes) << count;
    CheckHeld();
    ++calls;
    if (on) on(Event::kWrite, calls);
    if (calls == failAt) return E_FAIL;
    chunks.push_back({Bytes(bytes, bytes + count), bytes, last - start});
    return S_OK;
  }
  // The port may read each of the last 15 writes from its slot until then.
  void CheckHeld() const {
    for (std::size_t i = chunks.size() > 15 ? chunks.size() - 15 : 0; i < chunks.size(); ++i) {
      EXPECT_EQ(0, std::memcmp(chunks[i].at, chunks[i].bytes.data(), chunks[i].bytes.size()))
          << "the slot of write " << i << " was overwritten before 15 further writes";
    }
  }
  void SetRange(std::uint16_t minimum, std::uint16_t maximum) override {
    EXPECT_TRUE(ranges == 0 && positions.empty() && minimum == 0 && maximum == 100) << "0 to 100, once, first";
    ++ranges;
  }
  void SetPos(std::uint32_t position) override { positions.push_back(position); }
  void Begin() override { ++begins; }
  void End() override { ++ends; }
  void Sleep(std::uint32_t ms) override {
    EXPECT_EQ(begins, ends + 1) << "a sleep outside Begin and End";
    const long long slept = static_cast<long long>(ms) + errors[++sleeps % errors.size()];
    now += slept > 0 ? static_cast<std::uint32_t>(slept) : 0;
    if (on) on(Event::kSleep, sleeps);
  }

  TempFile file;
  std::uint32_t now;  // what the next reading returns
  std::unique_ptr<TestPlayer> player;
  StopSignal stop;
  // Called at every reading (ms from the start), write (its call, from 1) and sleep (its count).
  std::function<void(Event, std::uint32_t)> on;
  bool pace = false;
  std::vector<int> errors = {0};
  std::uint32_t failAt = 0;  // the write call that fails; 0 for none

  std::uint32_t start = 0, last = 0, calls = 0, reads = 0, sleeps = 0, ranges = 0, begins = 0, ends = 0;
  std::vector<Chunk> chunks;  // the writes that succeeded
  std::vector<std::uint32_t> positions;
};

}  // namespace fakes
