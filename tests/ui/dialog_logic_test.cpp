// The update dialog's decisions without a window: the keyboard filter, and
// what Browse, Start and Enter do in each state of the dialog.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tools/smf_builder.h"
#include "tools/temp_file.h"
#include "ui/key_filter.h"
#include "ui/resource.h"
#include "ui/single_instance.h"
#include "ui/update_controller.h"

namespace {

using Calls = std::vector<std::string>;

TEST(KeyFilter, OnlyNavigationEscWhileIdleAndEnterAct) {
  const struct {
    unsigned vk;
    bool busy;
    int focusId;  // 0: no control has the focus
    bool focusEnabled;
    KeyAction action;
  } cases[] = {
      // Navigation reaches the dialog manager, busy or not; Esc closes, but
      // never while the firmware is being sent.
      {0x09, true, IDC_START, false, KeyAction::kDialogHandles},   // Tab
      {0x25, false, IDC_BROWSE, true, KeyAction::kDialogHandles},  // Left
      {0x28, true, IDC_ABOUT, true, KeyAction::kDialogHandles},    // Down
      {0x1B, false, IDC_START, true, KeyAction::kDialogHandles},
      {0x1B, true, IDC_START, false, KeyAction::kSwallow},
      // Enter acts on the focused control when it is enabled, busy or not (a
      // second Start is the controller's to refuse); elsewhere it checks the
      // file name.
      {0x0D, false, IDC_ABOUT, true, KeyAction::kAbout},
      {0x0D, false, IDC_ABOUT, false, KeyAction::kSwallow},
      {0x0D, false, IDC_BROWSE, true, KeyAction::kBrowse},
      {0x0D, false, IDC_BROWSE, false, KeyAction::kSwallow},  // during the search
      {0x0D, false, IDC_START, true, KeyAction::kStart},
      {0x0D, true, IDC_START, true, KeyAction::kStart},
      {0x0D, true, IDC_START, false, KeyAction::kSwallow},
      {0x0D, false, IDC_FILE_NAME, true, KeyAction::kCheckFileName},
      {0x0D, false, 0, false, KeyAction::kCheckFileName},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.action, FilterKeyDown(c.vk, c.busy, c.focusId, c.focusEnabled))
        << "vk 0x" << std::hex << c.vk << std::dec << " busy " << c.busy << " focus " << c.focusId;
  }
  // Every other key is swallowed, next to the keys that act and elsewhere:
  // Space would press the focused button, 'B' is its mnemonic, F1 asks for help.
  for (const unsigned vk : {0x00u, 0x08u, 0x0Au, 0x0Cu, 0x0Eu, 0x1Au, 0x1Cu, 0x20u, 0x24u, 0x29u, unsigned{'7'},
                            unsigned{'B'}, 0x70u, 0xFFu}) {
    EXPECT_EQ(KeyAction::kSwallow, FilterKeyDown(vk, false, IDC_BROWSE, true)) << "vk 0x" << std::hex << vk;
  }
}

// Records what the decisions do to the dialog.
class RecordingDialog final : public UpdateDialogView {
 public:
  std::string ChooseUpdateFile() override {
    calls.push_back("choose");
    return chosen;
  }
  void SetFileName(const std::string& path) override { fileBox = path; }
  std::string FileName() override { return fileBox; }
  void SetStatusText(const char* text) override { status = text; }
  void SetStartText(const char* text) override { startText = text; }
  void SetPortName(const char* text) override { portName = text; }
  void EnableBrowse(bool enable) override { browseEnabled = enable; }
  void EnableStart(bool enable) override { startEnabled = enable; }
  void ShowAbout() override { calls.push_back("about"); }
  void WarnNoFileName() override { calls.push_back("warn"); }
  void Close() override { calls.push_back("close"); }
  bool LaunchTransfer() override {
    calls.push_back("launch");
    return launches;
  }

  std::string chosen;
  bool launches = true;
  Calls calls;
  std::string fileBox;
  std::string status = "unchanged";
  std::string startText = "Start";
  std::string portName;
  bool browseEnabled = true;
  bool startEnabled = true;
};

Bytes GoodFile() {
  TrackBuilder track;
  track.Delta(0).SysEx({0x01, 0xF7}).Delta(0).EndOfTrack();
  return BuildSmf(0, 480, {track.body()});
}

struct Rig {
  Rig() { controller.Initialise(); }
  // A good file loaded with the device ready: the state in which Start sends.
  void LoadGoodFile(const TempFile& file) {
    controller.DeviceReady("FIRM");
    view.chosen = file.path();
    controller.Browse();
    view.calls.clear();
  }

  UpdateState state;
  std::unique_ptr<CRQDataPlay> player = std::make_unique<CRQDataPlay>();
  RecordingDialog view;
  UpdateController controller{state, *player, view};
};

// A refused file after a good one disables Start again; a good one after it
// enables Start and clears the status line.
TEST(UpdateController, BrowseShowsTheReadersOutcomeAndOnlyAGoodFileEnablesStart) {
  const TempFile good(GoodFile());
  const TempFile notSmf(Bytes{'n', 'o', 't', ' ', 'a', ' ', 'f', 'i', 'l', 'e'});
  const struct {
    const char* what;
    std::string path;
    StatusCode code;
    const char* status;
  } cases[] = {
      {"missing", TempFile::UniquePath(), 0x80000009u, "File not found!!"},
      {"not a MIDI file", notSmf.path(), 0x8000000Bu, "File format error!!"},
      {"cancelled", "", 0x8000000Au, ""},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.state.interfaceKind = kInterfaceQBus;
    rig.view.browseEnabled = false;
    rig.controller.DeviceReady("FIRM");
    EXPECT_TRUE(rig.view.browseEnabled && rig.view.status.empty() && rig.view.portName == "FIRM");
    rig.view.chosen = good.path();
    rig.controller.Browse();
    rig.view.chosen = c.path;
    rig.controller.Browse();
    EXPECT_EQ(c.path, rig.state.filePath) << c.what << ": read back from the file box";
    EXPECT_EQ(c.code, rig.state.statusCode.load()) << c.what;
    EXPECT_EQ(c.status, rig.view.status) << c.what;
    EXPECT_FALSE(rig.view.startEnabled) << c.what;

    rig.view.startText = "Close";
    rig.view.chosen = good.path();
    rig.controller.Browse();
    EXPECT_EQ(0u, rig.state.statusCode.load()) << c.what;
    EXPECT_EQ("", rig.view.status) << c.what;
    EXPECT_TRUE(rig.view.startEnabled) << c.what;
    EXPECT_EQ("Start", rig.view.startText) << c.what;
  }
}

// What Browse and Start do in each state of the dialog. Any nonzero status
// code makes Start close: a bare step of the search, an error, the transfer's end.
TEST(UpdateController, BrowseAndStartInEveryState) {
  const struct {
    const char* state;
    bool deviceReady, fileLoaded;
    bool launched;  // the one transfer of the run was started
    StatusCode code;
    std::uint32_t busy;
    bool browseLoads;
    const char* start;   // what Start does: "launch", "close" or "" for nothing
    bool sessionMayEnd;  // Windows may log off or shut down
  } cases[] = {
      {"searching", false, false, false, 0, 0, false, "", true},
      {"searching, an attempt failed", false, false, false, 3, 0, false, "close", true},
      {"search failed", false, false, false, 0x80000003u, 0, false, "close", true},
      {"device ready", true, false, false, 0, 0, true, "", true},
      {"file loaded", true, true, false, 0, 0, true, "launch", true},
      {"file rejected", true, false, false, 0x8000000Bu, 0, true, "close", true},
      {"transferring", true, true, true, 0, 1, false, "", false},
      {"worker ended, status still 0", true, true, true, 0, 0, false, "", true},
      {"done", true, true, true, 255, 0, false, "close", true},
  };
  const TempFile good(GoodFile());
  for (const auto& c : cases) {
    for (const bool pressBrowse : {true, false}) {
      Rig rig;
      if (c.fileLoaded) rig.LoadGoodFile(good);
      if (c.deviceReady) rig.controller.DeviceReady("FIRM");
      if (c.launched) {
        rig.controller.Start();
        rig.view.calls.clear();
      }
      rig.state.statusCode = c.code;
      rig.state.busy = c.busy;

      EXPECT_EQ(c.sessionMayEnd, rig.controller.SessionMayEnd()) << c.state;
      rig.controller.SessionGoesOn();  // another program refused the end
      rig.view.chosen = good.path();
      if (pressBrowse) {
        rig.controller.Browse();
        EXPECT_EQ(c.browseLoads ? Calls{"choose"} : Calls{}, rig.view.calls) << c.state;
      } else {
        rig.controller.Start();
        EXPECT_EQ(*c.start != '\0' ? Calls{c.start} : Calls{}, rig.view.calls) << c.state;
      }
    }
  }
}

// Once Windows was told it may end the session, a Start before the end would
// be cut off by it: none launches until the session is known to go on.
TEST(UpdateController, StartLaunchesNothingWhileTheSessionMayBeEnding) {
  const TempFile good(GoodFile());
  Rig rig;
  rig.LoadGoodFile(good);
  ASSERT_TRUE(rig.controller.SessionMayEnd());
  rig.controller.Start();
  EXPECT_EQ(Calls{}, rig.view.calls);
  EXPECT_EQ(0u, rig.state.busy.load());
  rig.controller.SessionGoesOn();
  rig.controller.Start();
  EXPECT_EQ(Calls{"launch"}, rig.view.calls);
}

TEST(UpdateController, AWorkerThatCannotStartLeavesOnlyClose) {
  const TempFile good(GoodFile());
  Rig rig;
  rig.LoadGoodFile(good);
  rig.view.launches = false;
  rig.controller.Start();
  EXPECT_EQ(0x8000000Cu, rig.state.statusCode.load());
  EXPECT_EQ("FW communication error!!", rig.view.status);
  EXPECT_EQ("Close", rig.view.startText);
  EXPECT_FALSE(rig.view.browseEnabled) << "no file may be loaded after the failed start";
  EXPECT_EQ(0u, rig.state.busy.load());
  rig.controller.Start();
  EXPECT_EQ((Calls{"launch", "close"}), rig.view.calls);
}

TEST(UpdateController, TheFocusGoesToCloseOnceTheDialogCanTakeItAfterTheTransfer) {
  Rig rig;
  EXPECT_FALSE(rig.controller.TakeCloseFocus(true)) << "no transfer has ended";
  rig.controller.TransferEnded();
  EXPECT_FALSE(rig.controller.TakeCloseFocus(false)) << "the About box is open, or the window minimised";
  EXPECT_TRUE(rig.controller.TakeCloseFocus(true));
  EXPECT_FALSE(rig.controller.TakeCloseFocus(true)) << "once: the operator may move the focus on";
}

TEST(SingleInstance, AnotherCopyRunsWhenTheMutexExistedOrIsRefused) {
  EXPECT_FALSE(AnotherCopyRuns(true, 0));
  EXPECT_TRUE(AnotherCopyRuns(true, kErrorAlreadyExists));
  EXPECT_TRUE(AnotherCopyRuns(false, kErrorAccessDenied)) << "the first copy runs elevated";
  EXPECT_FALSE(AnotherCopyRuns(false, 6)) << "ERROR_INVALID_HANDLE: another kind of object has the name";
}

// KeyDown carries out the filter's decision (each key's is the filter's test);
// only what the dialog manager handles is passed on.
TEST(UpdateController, KeyDownCarriesOutTheFiltersDecision) {
  const TempFile good(GoodFile());
  Rig rig;
  rig.controller.DeviceReady("FIRM");
  rig.view.chosen = good.path();

  EXPECT_TRUE(rig.controller.KeyDown(0x0D, IDC_FILE_NAME, true));
  EXPECT_TRUE(rig.controller.KeyDown(0x0D, IDC_ABOUT, true));
  EXPECT_TRUE(rig.controller.KeyDown(0x0D, IDC_BROWSE, true));
  EXPECT_TRUE(rig.controller.KeyDown(0x0D, IDC_FILE_NAME, true));  // a name now: no warning
  EXPECT_EQ(good.path(), rig.state.filePath);
  EXPECT_TRUE(rig.controller.KeyDown('A', IDC_START, true));
  EXPECT_TRUE(rig.controller.KeyDown(0x0D, IDC_START, true));
  EXPECT_EQ((Calls{"warn", "about", "choose", "launch"}), rig.view.calls);

  // Busy now: Esc is swallowed, navigation still reaches the dialog.
  EXPECT_TRUE(rig.controller.KeyDown(0x1B, IDC_START, false));
  EXPECT_FALSE(rig.controller.KeyDown(0x09, IDC_START, false));
  rig.state.busy = 0;
  EXPECT_FALSE(rig.controller.KeyDown(0x1B, IDC_START, true));
}

}  // namespace
