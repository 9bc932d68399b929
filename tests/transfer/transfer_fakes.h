// Fakes for the transfer's seams: a millisecond counter that moves only when
// read or told, a port that records and checks every write, a progress bar
// that records its messages, and a player loaded from bytes built in the test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "tests/support/temp_file.h"
#include "tools/smf_builder.h"
#include "transfer/rq_data_play.h"
#include "tools/port_stub.h"

namespace fakes {

// Each reading returns the current value, then moves it on by step.
class FakeCounter final : public IMillisecondCounter {
 public:
  explicit FakeCounter(std::uint32_t start = 0, std::uint32_t step = 1) : value_(start), step_(step) {}

  std::uint32_t Now() override {
    last_ = value_;
    value_ += step_;
    ++reads_;
    if (onRead) onRead(last_);
    return last_;
  }
  void Advance(std::uint32_t ms) { value_ += ms; }
  std::uint32_t next() const { return value_; }  // what the next reading returns
  std::uint32_t last() const { return last_; }
  std::uint64_t reads() const { return reads_; }

  std::function<void(std::uint32_t reading)> onRead;

 private:
  std::uint32_t value_;
  std::uint32_t step_;
  std::uint32_t last_ = 0;
  std::uint64_t reads_ = 0;
};

struct Chunk {
  Bytes bytes;
  const std::uint8_t* at;  // where the port was handed them
  std::uint32_t time;      // the counter's last reading before the write
};

class FakePort final : public PortStub {
 public:
  explicit FakePort(FakeCounter* counter = nullptr) : counter_(counter) {}

  HRESULT STDMETHODCALLTYPE GetPortInfo(PortRecord*) override {
    ADD_FAILURE() << "the updater never describes the port";
    return E_FAIL;
  }

  HRESULT STDMETHODCALLTYPE Write(std::uint32_t flags, std::uint32_t byteCount, const std::uint8_t* bytes,
                                  std::uint32_t byteCount2) override {
    ++calls;
    EXPECT_EQ(0u, flags);
    EXPECT_EQ(byteCount, byteCount2);
    EXPECT_GE(byteCount, 1u);
    EXPECT_LE(byteCount, kMaxWriteBytes);
    CheckHeld();
    if (onWrite) onWrite(calls);
    if (calls == failAt) return E_FAIL;

    chunks.push_back({Bytes(bytes, bytes + byteCount), bytes, counter_ != nullptr ? counter_->last() : 0});
    held_.push_back({bytes, Bytes(bytes, bytes + byteCount)});
    if (held_.size() > 15) held_.pop_front();
    return S_OK;
  }

  // The port may read each of the last 15 writes from its slot until then.
  void CheckHeld() const {
    for (const Held& h : held_) {
      EXPECT_EQ(0, std::memcmp(h.at, h.copy.data(), h.copy.size()))
          << "a slot was overwritten before 15 further writes";
    }
  }

  int failAt = 0;  // the call that fails, counting from 1; 0 for none
  std::function<void(int call)> onWrite;
  int calls = 0;
  std::vector<Chunk> chunks;  // the writes that succeeded

 private:
  struct Held {
    const std::uint8_t* at;
    Bytes copy;
  };
  FakeCounter* counter_;
  std::deque<Held> held_;
};

class FakeProgressBar final : public IProgressBar {
 public:
  void SetRange(std::uint16_t minimum, std::uint16_t maximum) override {
    EXPECT_TRUE(positions.empty()) << "the range is set before any position";
    ranges.push_back({minimum, maximum});
  }
  void SetPos(std::uint32_t position) override { positions.push_back(position); }

  std::vector<std::pair<std::uint16_t, std::uint16_t>> ranges;
  std::vector<std::uint32_t> positions;
};

// Sleeps by moving the fake counter on by the time asked plus an error taken
// in turn from errors: negative wakes early (never before the call), positive late.
class FakeSleeper final : public IPacingSleeper {
 public:
  FakeSleeper(FakeCounter& counter, std::vector<int> errors) : counter_(counter), errors_(std::move(errors)) {}

  void Begin() override { ++begins; }
  void End() override { ++ends; }
  void Sleep(std::uint32_t ms) override {
    EXPECT_EQ(begins, ends + 1) << "a sleep outside Begin and End";
    requests.push_back(ms);
    const long long slept = static_cast<long long>(ms) + errors_[requests.size() % errors_.size()];
    counter_.Advance(slept > 0 ? static_cast<std::uint32_t>(slept) : 0);
    if (onSleep) onSleep(requests.size());
  }

  int begins = 0;
  int ends = 0;
  std::vector<std::uint32_t> requests;
  std::function<void(std::size_t sleeps)> onSleep;

 private:
  FakeCounter& counter_;
  std::vector<int> errors_;
};

// Track 0 of a format 0 file with the given body.
inline Bytes FileWithTrack(const Bytes& body, std::uint16_t division = 480) {
  return BuildSmf(0, division, {body});
}

inline std::unique_ptr<CRQDataPlay> LoadedPlayer(const Bytes& file) {
  TempFile temp(file);
  auto player = std::make_unique<CRQDataPlay>();
  EXPECT_TRUE(player->Load(temp.path().c_str()));
  return player;
}

// One Play of one file, with every seam faked.
struct PlayRun {
  explicit PlayRun(const Bytes& file, std::uint32_t counterStart = 0)
      : counter(counterStart), port(&counter), player(LoadedPlayer(file)) {}

  void Play(std::uint32_t tempo = 500000, IPacingSleeper* sleeper = nullptr) {
    start = counter.next();  // Play's first reading is its start
    if (sleeper != nullptr) sleeper->Begin();  // as the transfer worker does
    player->Play(progress, tempo, TransferLink{port, counter, stop, sleeper});
    if (sleeper != nullptr) sleeper->End();
    port.CheckHeld();
  }
  // Milliseconds after Play's first reading at which write i was made.
  std::uint32_t TimeOf(std::size_t i) const { return port.chunks.at(i).time - start; }

  FakeCounter counter;
  FakePort port;
  FakeProgressBar progress;
  StopSignal stop;
  std::unique_ptr<CRQDataPlay> player;
  std::uint32_t start = 0;
};

// A SysEx body of n bytes whose values vary, so that a misplaced byte shows.
inline Bytes MessageBytes(std::uint32_t n, std::uint8_t seed = 1) {
  Bytes bytes(n);
  for (std::uint32_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>((seed + i * 7) & 0x7F);
  return bytes;
}

}  // namespace fakes
