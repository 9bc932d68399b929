// The update dialog's decisions without a window: the keyboard filter, and
// what Browse, Start and Enter do in each state of the dialog.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_file.h"
#include "tools/smf_builder.h"
#include "ui/key_filter.h"
#include "ui/resource.h"
#include "ui/single_instance.h"
#include "ui/update_controller.h"

namespace {

using Calls = std::vector<std::string>;

TEST(KeyFilter, OnlyNavigationEscWhileIdleAndEnterAct) {
  constexpr bool kBusy = true;
  constexpr bool kIdle = false;
  constexpr bool kEnabled = true;
  constexpr bool kDisabled = false;
  const struct {
    unsigned vk;
    bool busy;
    int focusId;  // 0: no control has the focus
    bool focusEnabled;
    KeyAction action;
  } cases[] = {
      // Navigation reaches the dialog manager, busy or not.
      {0x09, kBusy, IDC_START, kDisabled, KeyAction::kDialogHandles},   // Tab
      {0x25, kIdle, IDC_BROWSE, kEnabled, KeyAction::kDialogHandles},   // Left
      {0x28, kBusy, IDC_ABOUT, kEnabled, KeyAction::kDialogHandles},    // Down
      // Esc closes, but never while the firmware is being sent.
      {0x1B, kIdle, IDC_START, kEnabled, KeyAction::kDialogHandles},
      {0x1B, kBusy, IDC_START, kDisabled, KeyAction::kSwallow},
      {0x1B, kBusy, 0, kDisabled, KeyAction::kSwallow},
      // Enter acts on the focused control when it is enabled; elsewhere it
      // checks the file name. A second Start while busy is the controller's to refuse.
      {0x0D, kIdle, IDC_ABOUT, kEnabled, KeyAction::kAbout},
      {0x0D, kBusy, IDC_ABOUT, kEnabled, KeyAction::kAbout},
      {0x0D, kIdle, IDC_ABOUT, kDisabled, KeyAction::kSwallow},
      {0x0D, kIdle, IDC_BROWSE, kEnabled, KeyAction::kBrowse},
      {0x0D, kIdle, IDC_BROWSE, kDisabled, KeyAction::kSwallow},  // during the search
      {0x0D, kIdle, IDC_START, kEnabled, KeyAction::kStart},
      {0x0D, kBusy, IDC_START, kEnabled, KeyAction::kStart},
      {0x0D, kBusy, IDC_START, kDisabled, KeyAction::kSwallow},
      {0x0D, kIdle, IDC_FILE_NAME, kEnabled, KeyAction::kCheckFileName},
      {0x0D, kIdle, 0, kDisabled, KeyAction::kCheckFileName},
      // Everything else is swallowed: next to the keys that act, and the rest.
      {0x00, kIdle, IDC_BROWSE, kEnabled, KeyAction::kSwallow},
      {0x08, kIdle, IDC_BROWSE, kEnabled, KeyAction::kSwallow},  // Backspace
      {0x0A, kIdle, IDC_BROWSE, kEnabled, KeyAction::kSwallow},
      {0x0C, kIdle, IDC_BROWSE, kEnabled, KeyAction::kSwallow},
      {0x0E, kIdle, IDC_BROWSE, kEnabled, KeyAction::kSwallow},
      {0x1A, kIdle, IDC_BROWSE, kEnabled, KeyAction::kSwallow},
      {0x1C, kIdle, IDC_BROWSE, kEnabled, KeyAction::kSwallow},
      {0x20, kIdle, IDC_BROWSE, kEnabled, KeyAction::kSwallow},  // Space would press the button
      {0x24, kIdle, IDC_BROWSE, kEnabled, KeyAction::kSwallow},  // Home
      {0x29, kIdle, IDC_BROWSE, kEnabled, KeyAction::kSwallow},
      {'7', kIdle, IDC_START, kEnabled, KeyAction::kSwallow},
      {'B', kIdle, IDC_START, kEnabled, KeyAction::kSwallow},  // the button's mnemonic
      {0x70, kBusy, IDC_START, kDisabled, KeyAction::kSwallow},  // F1
      {0xFF, kIdle, 0, kDisabled, KeyAction::kSwallow},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.action, FilterKeyDown(c.vk, c.busy, c.focusId, c.focusEnabled))
        << "vk 0x" << std::hex << c.vk << std::dec << " busy " << c.busy << " focus " << c.focusId;
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

TEST(UpdateController, BrowseShowsTheReadersOutcomeAndAGoodFileEnablesStartAgain) {
  const TempFile good(GoodFile());
  const TempFile notSmf(Bytes{'n', 'o', 't', ' ', 'a', ' ', 'f', 'i', 'l', 'e'});
  const struct {
    const char* what;
    std::string path;
    StatusCode code;
    const char* status;
  } cases[] = {
      {"missing", TempFile::UniquePath(), 0x80000009u, "File not found!!"},
      {"a folder", std::filesystem::temp_directory_path().string(), 0x8000000Au, ""},
      {"not a MIDI file", notSmf.path(), 0x8000000Bu, "File format error!!"},
      {"cancelled", "", 0x8000000Au, ""},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.state.interfaceKind = kInterfaceQBus;
    rig.view.browseEnabled = false;
    rig.controller.DeviceReady("FIRM");
    EXPECT_TRUE(rig.view.browseEnabled);
    EXPECT_EQ("", rig.view.status);
    EXPECT_EQ("FIRM", rig.view.portName);
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

// What Browse and Start do in each state of the dialog.
struct StateCase {
  const char* state;
  bool deviceReady;
  bool fileLoaded;
  bool launched;  // the one transfer of the run was started
  StatusCode code;
  std::uint32_t busy;
  bool browseLoads;
  const char* start;  // what Start does: "launch", "close" or "" for nothing
  bool sessionMayEnd;  // Windows may log off or shut down
};

TEST(UpdateController, BrowseAndStartInEveryState) {
  const StateCase cases[] = {
      {"searching", false, false, false, 0, 0, false, "", true},
      {"searching, an attempt failed", false, false, false, 3, 0, false, "close", true},
      {"search failed", false, false, false, 0x80000003u, 0, false, "close", true},
      {"no interface", false, false, false, 0x80000001u, 0, false, "close", true},
      {"device ready", true, false, false, 0, 0, true, "", true},
      {"file loaded", true, true, false, 0, 0, true, "launch", true},
      {"file rejected", true, false, false, 0x8000000Bu, 0, true, "close", true},
      {"transferring", true, true, true, 0, 1, false, "", false},
      {"worker ended, status still 0", true, true, true, 0, 0, false, "", true},
      {"done", true, true, true, 255, 0, false, "close", true},
      {"transfer failed", true, true, true, 0x8000000Cu, 0, false, "close", true},
  };
  const TempFile good(GoodFile());
  for (const StateCase& c : cases) {
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
  const struct {
    bool gotMutex;
    std::uint32_t lastError;
    bool anotherCopy;
  } cases[] = {
      {true, 0, false},
      {true, kErrorAlreadyExists, true},
      {false, kErrorAccessDenied, true},  // the first copy runs elevated
      {false, 6, false},                  // ERROR_INVALID_HANDLE: another kind of object has the name
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.anotherCopy, AnotherCopyRuns(c.gotMutex, c.lastError)) << c.gotMutex << " " << c.lastError;
  }
}

TEST(UpdateController, EnterActsOnTheFocusedControlAndEveryKeyButNavigationIsSwallowed) {
  const TempFile good(GoodFile());
  Rig rig;
  rig.controller.DeviceReady("FIRM");
  rig.view.chosen = good.path();

  EXPECT_TRUE(rig.controller.KeyDown(0x0D, IDC_FILE_NAME, true));
  EXPECT_TRUE(rig.controller.KeyDown(0x0D, 0, false));
  EXPECT_TRUE(rig.controller.KeyDown(0x0D, IDC_ABOUT, true));
  EXPECT_TRUE(rig.controller.KeyDown(0x0D, IDC_BROWSE, false));  // disabled: nothing
  EXPECT_TRUE(rig.controller.KeyDown(0x0D, IDC_BROWSE, true));
  EXPECT_TRUE(rig.controller.KeyDown(0x0D, IDC_FILE_NAME, true));  // a name now: no warning
  EXPECT_EQ(good.path(), rig.state.filePath);
  EXPECT_TRUE(rig.controller.KeyDown('A', IDC_START, true));
  EXPECT_TRUE(rig.controller.KeyDown(0x0D, IDC_START, true));
  EXPECT_EQ((Calls{"warn", "warn", "about", "choose", "launch"}), rig.view.calls);

  // Busy now: Esc is swallowed, navigation still reaches the dialog.
  EXPECT_TRUE(rig.controller.KeyDown(0x1B, IDC_START, false));
  EXPECT_FALSE(rig.controller.KeyDown(0x09, IDC_START, false));
  rig.state.busy = 0;
  EXPECT_FALSE(rig.controller.KeyDown(0x1B, IDC_START, true));
}

}  // namespace
