// The transfer worker's end states, through a recording view.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "state/status_messages.h"
#include "transfer/transfer_worker.h"
#include "transfer_fakes.h"

namespace {

// Records every call with the busy flag and status code it found.
class FakeView final : public ITransferView {
 public:
  explicit FakeView(const UpdateState& state) : state_(state) {}

  void EnableBrowse(bool enable) override { Record(enable ? "enable browse" : "disable browse"); }
  void EnableStart(bool enable) override { Record(enable ? "enable start" : "disable start"); }
  void SetStatusText(const char* text) override { Record(std::string("text ") + text); }
  IProgressBar& ProgressBar() override { return progress; }
  void Beep() override {
    Record("beep");
    codeAtBeep = state_.statusCode;
  }
  void OfferClose(bool finished) override { Record(finished ? "offer close" : "offer close after failure"); }

  std::vector<std::string> calls;
  std::vector<std::uint32_t> busyDuring;
  StatusCode codeAtBeep = 0;
  fakes::FakeProgressBar progress;

 private:
  void Record(std::string call) {
    calls.push_back(std::move(call));
    busyDuring.push_back(state_.busy);
  }
  const UpdateState& state_;
};

struct EndCase {
  const char* what;
  InterfaceKind kind;
  Bytes body;
  int failAt;  // -1: the write throws
  StatusCode code;
  const char* text;
};

TEST(TransferThread, RecordsTheOutcomeBeepsOnceAndClearsBusyBeforeOfferingClose) {
  const Bytes good = {0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00};
  const EndCase cases[] = {
      {"finished, FW", kInterfaceFW, good, 0, 255, text::kTransferComplete},
      {"the port throws, qBUS", kInterfaceQBus, good, -1, 0x8000000Cu, "qBUS communication error!!"},
      {"finished, qBUS", kInterfaceQBus, good, 0, 255, text::kTransferComplete},
      {"write failed, FW", kInterfaceFW, good, 1, 0x8000000Cu, "FW communication error!!"},
      {"write failed, qBUS", kInterfaceQBus, good, 1, 0x8000000Cu, "qBUS communication error!!"},
      {"no End of Track, qBUS", kInterfaceQBus, {0x00, 0xF0, 0x01, 0xF7}, 0, 0x8000000Cu,
       "qBUS communication error!!"},
  };
  for (const EndCase& c : cases) {
    fakes::PlayRun run(fakes::FileWithTrack(c.body));
    run.port.failAt = c.failAt;
    if (c.failAt < 0) run.port.onWrite = [](int) { throw std::runtime_error("a broken port"); };
    UpdateState state;
    state.interfaceKind = c.kind;
    state.busy = 1;  // set by the dialog's Start
    FakeView view(state);

    const TransferJob job{view, state, *run.player, run.port, run.stop};
    EXPECT_EQ(0u, TransferThread(job, run.counter)) << c.what;

    EXPECT_EQ(c.code, state.statusCode.load()) << c.what;
    EXPECT_EQ(c.code, view.codeAtBeep) << c.what << ": the outcome is recorded before the beep";
    const std::vector<std::string> expected = {
        "disable browse", "disable start", "text Installing...", std::string("text ") + c.text,
        "beep",           "disable browse",
        c.code == status::kRebooting ? "offer close" : "offer close after failure"};
    EXPECT_EQ(expected, view.calls) << c.what;
    std::vector<std::uint32_t> busy(expected.size(), 1u);
    busy.back() = 0;  // "Close" is offered once the transfer is over
    EXPECT_EQ(busy, view.busyDuring) << c.what;
    EXPECT_EQ(0u, state.busy.load()) << c.what;
    EXPECT_EQ(1u, view.progress.ranges.size()) << c.what << ": Play drives the view's progress bar";
    if (c.code == status::kRebooting) {
      EXPECT_EQ(1u, run.port.chunks.size()) << c.what;
    }
  }
}

TEST(TransferThread, PacesAtTheTempoOfTheUpdateState) {
  // One message at tick 960, division 480.
  fakes::PlayRun run(fakes::FileWithTrack({0x87, 0x40, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00}));
  UpdateState state;
  state.tempo = 250000;
  state.busy = 1;
  FakeView view(state);
  run.start = run.counter.next();
  TransferThread(TransferJob{view, state, *run.player, run.port, run.stop}, run.counter);
  ASSERT_EQ(1u, run.port.chunks.size());
  EXPECT_EQ(500u, run.TimeOf(0));
}

TEST(TransferThread, EndsTheSleeperOnEveryWayOut) {
  const struct {
    const char* what;
    int failAt;
    bool stop;
    StatusCode code;
  } cases[] = {
      {"finished", 0, false, 255},
      {"a failed write", 2, false, 0x8000000Cu},
      {"stopped while sleeping", 0, true, 0x8000000Cu},
  };
  for (const auto& c : cases) {
    // Messages at 0 and 1000 ms: the sleeper is busy in between.
    fakes::PlayRun run(fakes::FileWithTrack({0x00, 0xF0, 0x01, 0xF7, /**/ 0x87, 0x40, 0xF0, 0x01, 0xF7,
                                             /**/ 0x00, 0xFF, 0x2F, 0x00}));
    run.port.failAt = c.failAt;
    fakes::FakeSleeper sleeper(run.counter, {0});
    sleeper.onSleep = [&](std::size_t sleeps) {
      if (c.stop && sleeps == 2) run.stop.RequestStop();
    };
    UpdateState state;
    state.busy = 1;
    FakeView view(state);
    TransferThread(TransferJob{view, state, *run.player, run.port, run.stop}, run.counter, &sleeper);
    EXPECT_EQ(c.code, state.statusCode.load()) << c.what;
    EXPECT_EQ(1, sleeper.begins) << c.what;
    EXPECT_EQ(1, sleeper.ends) << c.what;
  }
}

TEST(TransferThread, AStoppedTransferEndsAsFailed) {
  fakes::PlayRun run(fakes::FileWithTrack({0x00, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00}));
  UpdateState state;
  state.busy = 1;
  FakeView view(state);
  run.stop.RequestStop();
  TransferThread(TransferJob{view, state, *run.player, run.port, run.stop}, run.counter);
  EXPECT_EQ(0, run.port.calls);
  EXPECT_EQ(0x8000000Cu, state.statusCode.load());
  EXPECT_EQ(0u, state.busy.load());
}

}  // namespace
