// The transfer thread's end states, through a recording view.
#include <gtest/gtest.h>

#include <string>

#include "state/status_messages.h"
#include "transfer/transfer_thread.h"
#include "transfer_fakes.h"

namespace {

// Records every call, marking those made once busy was cleared.
struct FakeView final : TransferView {
  FakeView(const UpdateState& state, ProgressBar& progress) : state(state), progress(progress) {}
  void EnableBrowse(bool enable) override { Record(enable ? "enable browse" : "disable browse"); }
  void EnableStart(bool enable) override { Record(enable ? "enable start" : "disable start"); }
  void SetStatusText(const char* text) override { Record(text); }
  ProgressBar& Progress() override { return progress; }
  void Beep() override { Record("beep with code " + std::to_string(state.statusCode.load())); }
  void OfferClose(bool finished) override { Record(finished ? "offer close" : "offer close after failure"); }
  void Record(const std::string& call) { calls.push_back(call + (state.busy != 0 ? "" : ", not busy")); }

  const UpdateState& state;
  ProgressBar& progress;
  std::vector<std::string> calls;
};

TEST(TransferThread, RecordsTheOutcomeBeepsOnceAndOffersCloseOnceNotBusyOnEveryWayOut) {
  // At tick 0 and 960: at the update state's tempo, due at 0 and 500 ms.
  const Bytes good = {0x00, 0xF0, 0x01, 0xF7, /**/ 0x87, 0x40, 0xF0, 0x01, 0xF7, /**/ 0x00, 0xFF, 0x2F, 0x00};
  const struct {
    const char* what;
    InterfaceKind kind;
    bool pace;
    std::uint32_t failAt;  // the write call that fails
    bool throws, stop;     // the port throws; a stop comes during the second sleep
    StatusCode code;
    const char* text;
  } cases[] = {
      // How a broken track fails Play is Play's test.
      {"finished, spinning", kInterfaceFW, false, 0, false, false, 255, text::kTransferComplete},
      {"finished, sleeping", kInterfaceQBus, true, 0, false, false, 255, text::kTransferComplete},
      {"a write failed, FW", kInterfaceFW, true, 2, false, false, 0x8000000Cu, "FW communication error!!"},
      {"a write failed, qBUS", kInterfaceQBus, false, 1, false, false, 0x8000000Cu, "qBUS communication error!!"},
      {"the port throws", kInterfaceQBus, true, 0, true, false, 0x8000000Cu, "qBUS communication error!!"},
      {"the job's stop, while sleeping", kInterfaceFW, true, 0, false, true, 0x8000000Cu, "FW communication error!!"},
  };
  for (const auto& c : cases) {
    fakes::Rig rig(fakes::FileWithTrack(good));
    rig.failAt = c.failAt;
    rig.on = [&](fakes::Event e, std::uint32_t n) {
      if (e == fakes::Event::kWrite && c.throws) throw 0;  // not even a std::exception
      if (e == fakes::Event::kSleep && n == 2 && c.stop) rig.stop.RequestStop();
    };
    UpdateState state;
    state.interfaceKind = c.kind;
    state.tempo = 250000;
    state.busy = 1;  // set by the dialog's Start
    FakeView view(state, rig);
    EXPECT_EQ(0u, TransferThread({view, state, *rig.player, rig, rig.stop}, rig, c.pace ? &rig : nullptr)) << c.what;

    const bool finished = c.code == status::kRebooting;
    EXPECT_EQ(c.code, state.statusCode.load()) << c.what;
    EXPECT_EQ((std::vector<std::string>{"disable browse", "disable start", text::kInstalling, c.text,
                                        "beep with code " + std::to_string(c.code), "disable browse",
                                        finished ? "offer close, not busy" : "offer close after failure, not busy"}),
              view.calls)
        << c.what;
    EXPECT_EQ(1u, rig.ranges) << c.what << ": Play drives the view's progress bar";
    EXPECT_TRUE(rig.begins == (c.pace ? 1u : 0u) && rig.ends == rig.begins) << c.what;
    if (finished) {
      EXPECT_EQ(500u, rig.chunks.at(1).time) << c.what << ": paced at the update state's tempo";
    }
  }
}

}  // namespace
