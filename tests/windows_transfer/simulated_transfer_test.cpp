// A whole transfer under Wine into the simulated driver service: the device
// found by the search worker, the file loaded as the dialog loads it, and the
// transfer worker's thread writing to the port the search opened. The
// simulator's capture is then compared with the file's SysEx stream, built
// here from the same message list the file was made from.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "state/status_messages.h"
#include "tests/support/temp_file.h"
#include "tests/windows_transfer/simulated_transfer.h"
#include "tools/smf_builder.h"
#include "transfer/update_file.h"

namespace {

constexpr std::uint16_t kDivision = 480;
constexpr std::uint32_t kDiscoveryBoundMs = 30000;  // the search alone pauses 2 s

struct Message {
  std::uint32_t tick;
  Bytes body;  // the bytes after 0xF0, the closing 0xF7 included
};

// Track 0 built at absolute ticks; also remembers the SysEx messages.
class TimedTrack {
 public:
  TimedTrack& At(std::uint32_t tick) {
    track_.Delta(tick - now_);
    now_ = tick;
    return *this;
  }
  void SysEx(std::uint32_t tick, const Bytes& body) {
    At(tick).track_.SysEx(body);
    messages_.push_back({tick, body});
  }
  TrackBuilder& track() { return track_; }
  const std::vector<Message>& messages() const { return messages_; }

 private:
  TrackBuilder track_;
  std::uint32_t now_ = 0;
  std::vector<Message> messages_;
};

// length bytes led by the message number, 7-bit filler, 0xF7 last.
Bytes MessageBody(std::uint32_t number, std::uint32_t length) {
  Bytes body;
  std::uint32_t state = 0x9E3779B9u * (number + 1);
  for (std::uint32_t i = 0; i < length; ++i) {
    state = state * 1664525u + 1013904223u;
    body.push_back(static_cast<std::uint8_t>(state >> 25));
  }
  if (length >= 1) body[0] = static_cast<std::uint8_t>(number & 0x7F);
  if (length >= 2) body.back() = 0xF7;
  return body;
}

struct UpdateFile {
  Bytes bytes;
  std::vector<Message> messages;
};

// 36 messages over about a second: sizes around the 4096-byte split points and
// past them, some at the same tick, with notes (one in running status), a
// Set Tempo that would halve every due time if it were honoured, a Time
// Signature and a 0xF7 event, none of which may reach the port.
UpdateFile BuildUpdateFile() {
  const std::uint32_t lengths[] = {1,    2,   40,   0,    4095, 4096,  4097, 300,  10000, 64,  8191, 8192,
                                   8193, 5,   128,  2048, 4094, 12289, 700,  33,   4100,  1,   256,  6000,
                                   17,   900, 4095, 3,    1500, 8000,  77,   4096, 10,    200, 9000, 2};
  const std::uint32_t gaps[] = {40, 0, 25, 55, 7, 33};

  TimedTrack t;
  t.At(0).track().SetTempo(250000).Delta(0).Meta(0x58, {4, 2, 24, 8});
  std::uint32_t tick = 0;
  std::uint32_t number = 0;
  for (const std::uint32_t length : lengths) {
    t.SysEx(tick, MessageBody(number, length));
    const std::uint32_t gap = gaps[number % 6];
    if (gap >= 4) {
      t.At(tick + gap / 4).track().Raw({0x90, 60, 100});
      t.At(tick + gap / 2).track().Raw({60, 0});  // running status: note off
    }
    if (number == 17) t.At(tick + gap / 2).track().Raw({0xF7, 0x03, 0x7E, 0x01, 0xF7});
    tick += gap;
    ++number;
  }
  t.At(tick + 48).track().EndOfTrack();
  return {BuildSmf(0, kDivision, {t.track().body()}), t.messages()};
}

struct ExpectedStream {
  std::vector<Bytes> chunks;
  std::vector<std::size_t> firstChunkOf;  // per message, its first chunk's index
};

// Each message goes out as 0xF0 and at most 4095 of its bytes, then in chunks
// of at most 4096 bytes.
ExpectedStream ExpectedWrites(const std::vector<Message>& messages) {
  ExpectedStream expected;
  for (const Message& m : messages) {
    expected.firstChunkOf.push_back(expected.chunks.size());
    const std::size_t first = m.body.size() < 4095 ? m.body.size() : 4095;
    Bytes chunk = {0xF0};
    chunk.insert(chunk.end(), m.body.begin(), m.body.begin() + first);
    expected.chunks.push_back(chunk);
    for (std::size_t at = first; at < m.body.size(); at += 4096) {
      const std::size_t n = m.body.size() - at < 4096 ? m.body.size() - at : 4096;
      expected.chunks.emplace_back(m.body.begin() + at, m.body.begin() + at + n);
    }
  }
  return expected;
}

std::string FolderName() {
  return std::string("t6xfer-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

class SimulatedTransfer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(apartment_.ok());
    ASSERT_TRUE(folder_.Configure(simulated::kT6WithFirmPort));
  }
  void TearDown() override { link_.ReleaseAll(); }

  // Finds the device, loads the file and runs one transfer to its end.
  void Transfer() {
    ASSERT_TRUE(simulated::DiscoverDevice(state_, link_, searchView_, kDiscoveryBoundMs))
        << "status code " << state_.statusCode.load();
    EXPECT_EQ(status::kReady, state_.statusCode.load());
    ASSERT_EQ(status::kReady, LoadUpdateFile(*player_, file_.path().c_str()));
    ASSERT_TRUE(simulated::RunTransfer(state_, *player_, *link_.port.get(), view_));
  }

  // Releases every driver object, upon which the simulator writes its report.
  sim::SimReport ReleaseAndReport() {
    link_.ReleaseAll();
    sim::SimReport report;
    EXPECT_TRUE(folder_.LoadReport(report));
    EXPECT_EQ(0, report.stats.liveObjects);
    EXPECT_EQ(0u, report.stats.unfreedLists);
    return report;
  }

  // No message's first chunk reached the port before its due time, counted
  // from the range being set, which happens before Play's start reading.
  void ExpectNoFirstChunkEarly(const sim::SimReport& report) {
    const std::uint64_t perSecond = report.stats.ticksPerSecond;
    ASSERT_NE(0u, perSecond);
    ASSERT_EQ(1, view_.progress.rangeCalls);
    for (std::size_t m = 0; m < update_.messages.size(); ++m) {
      const std::size_t chunk = expected_.firstChunkOf[m];
      if (chunk >= report.writes.size()) break;
      const std::uint64_t dueMs =
          simulated::DueMillisecondsAtDefaultTempo(update_.messages[m].tick, kDivision);
      const std::uint64_t earliest =
          view_.progress.rangeTicks + simulated::MillisecondsToTicksCeil(dueMs, perSecond);
      EXPECT_GE(report.writes[chunk].ticks, earliest)
          << "message " << m << " (due " << dueMs << " ms) left " << (earliest - report.writes[chunk].ticks)
          << " ticks early";
    }
  }

  const UpdateFile update_ = BuildUpdateFile();
  const ExpectedStream expected_ = ExpectedWrites(update_.messages);
  const TempFile file_{update_.bytes};
  simulated::ComApartment apartment_;
  simulated::SimFolder folder_{FolderName()};
  std::unique_ptr<CRQDataPlay> player_ = std::make_unique<CRQDataPlay>();
  UpdateState state_;
  DeviceLink link_;  // after the apartment: released before COM goes
  simulated::RecordingSearchView searchView_;
  simulated::RecordingTransferView view_;
};

TEST_F(SimulatedTransfer, TheCaptureIsTheFilesSysExStreamAndNoMessageLeavesEarly) {
  ASSERT_LT(30u, expected_.chunks.size());  // the file really splits messages
  ASSERT_NO_FATAL_FAILURE(Transfer());
  EXPECT_EQ(status::kRebooting, state_.statusCode.load());
  ASSERT_FALSE(view_.statusTexts.empty());
  EXPECT_EQ(text::kTransferComplete, view_.statusTexts.back());
  EXPECT_EQ(0u, state_.busy.load());
  EXPECT_EQ(1, view_.beeps);
  EXPECT_FALSE(view_.browseEnabled);
  EXPECT_EQ("finished", view_.closeOffered);
  EXPECT_EQ(0, view_.progress.rangeMinimum);
  EXPECT_EQ(100, view_.progress.rangeMaximum);
  EXPECT_EQ(100u, view_.progress.lastPos);

  const sim::SimReport report = ReleaseAndReport();
  EXPECT_EQ(0u, report.stats.oversizeWrites);
  EXPECT_EQ(0u, report.stats.badWriteArgs);
  ASSERT_EQ(expected_.chunks.size(), report.writes.size());
  for (std::size_t i = 0; i < report.writes.size(); ++i) {
    const sim::CapturedWrite& write = report.writes[i];
    EXPECT_EQ(expected_.chunks[i], write.bytes) << "write " << i;
    EXPECT_LE(write.bytes.size(), kMaxWriteBytes) << "write " << i;
    EXPECT_EQ(simulated::kFirmPortId, write.portId) << "write " << i;
    EXPECT_EQ(S_OK, write.result) << "write " << i;
  }
  ExpectNoFirstChunkEarly(report);
}

// The simulator fails one write, counted from 1: the transfer ends there.
class SimulatedTransferFailure : public SimulatedTransfer {
 protected:
  // The message of 4097 bytes (the seventh) goes out in two writes.
  static constexpr std::size_t kSplitMessage = 6;

  void FailWrite(std::size_t failAt) {
    failAt_ = failAt;
    ASSERT_EQ(4097u, update_.messages[kSplitMessage].body.size());
    ASSERT_TRUE(folder_.Configure(std::string(simulated::kT6WithFirmPort) +
                                  "write_fail_at = " + std::to_string(failAt) + "\n"));
  }

  void ExpectFailedAtTheWrite() {
    ASSERT_NO_FATAL_FAILURE(Transfer());
    EXPECT_EQ(status::Error(status::kCommunicationError), state_.statusCode.load());
    ASSERT_FALSE(view_.statusTexts.empty());
    EXPECT_EQ(std::string("FW communication error!!"), view_.statusTexts.back());
    EXPECT_EQ(0u, state_.busy.load());
    EXPECT_EQ(1, view_.beeps);
    EXPECT_GT(100u, view_.progress.lastPos);

    // Every write up to the failed one, which the simulator records with its result.
    const sim::SimReport report = ReleaseAndReport();
    ASSERT_EQ(failAt_, report.writes.size());
    for (std::size_t i = 0; i < report.writes.size(); ++i) {
      EXPECT_EQ(expected_.chunks[i], report.writes[i].bytes) << "write " << i;
      EXPECT_EQ(i + 1 == failAt_ ? E_FAIL : S_OK, report.writes[i].result) << "write " << i;
    }
    ExpectNoFirstChunkEarly(report);
  }

  std::size_t failAt_ = 0;
};

TEST_F(SimulatedTransferFailure, AFailedFirstChunkEndsTheTransfer) {
  ASSERT_NO_FATAL_FAILURE(FailWrite(expected_.firstChunkOf[kSplitMessage] + 1));
  ExpectFailedAtTheWrite();
}

TEST_F(SimulatedTransferFailure, AFailedLaterChunkEndsTheTransfer) {
  ASSERT_NO_FATAL_FAILURE(FailWrite(expected_.firstChunkOf[kSplitMessage] + 2));
  ExpectFailedAtTheWrite();
}

}  // namespace
