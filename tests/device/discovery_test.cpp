#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "device/qbus_ids.h"
#include "search_rig.h"
#include "state/status_messages.h"

namespace {

using testing_rig::kT10;
using testing_rig::kT6;
using testing_rig::Rig;
using Events = std::vector<std::string>;
using Pauses = std::vector<std::uint32_t>;

const std::string kWorkingT6 = std::string("node = 1 2 ") + kT6 + "\nport = 9 FIRM\n";

// The device shows up at attempt n: node-list call 1 is the acquisition's.
std::string T6FromAttempt(int n) {
  return "node = 1 2 " + std::string(kT6) + " from=" + std::to_string(n + 1) + "\nport = 9 FIRM\n";
}

struct ReadinessCase {
  int foundAtAttempt;
  Pauses pauses;
};
void PrintTo(const ReadinessCase& c, std::ostream* os) {
  *os << "found at attempt " << c.foundAtAttempt;
}

class Readiness : public ::testing::TestWithParam<ReadinessCase> {};

TEST_P(Readiness, PausesBeforeShowingThePort) {
  Rig rig(T6FromAttempt(GetParam().foundAtAttempt));
  rig.Acquire();
  EXPECT_EQ(GetParam().pauses, rig.wait.pauses);
  EXPECT_EQ(status::kReady, rig.state.statusCode.load());
  const Events expected = {"browse off", "status Searching for FW device...", "browse on",
                           "status ", "port FIRM"};
  EXPECT_EQ(expected, rig.view.events);
  EXPECT_EQ(static_cast<std::uint32_t>(GetParam().foundAtAttempt + 1), rig.Stats().nodeListCalls);
  EXPECT_EQ(9u, rig.link.portId);
  EXPECT_TRUE(rig.link.port);
}

// At once, after one failure, after two, and switched on after five.
INSTANTIATE_TEST_SUITE_P(Discovery, Readiness,
                         ::testing::Values(ReadinessCase{1, {2000}}, ReadinessCase{2, {1000, 1000}},
                                           ReadinessCase{3, {1000, 1000}},
                                           ReadinessCase{6, Pauses(5, 1000)}));

struct GiveUpCase {
  const char* label;
  const char* config;
  std::uint32_t step;
  const char* fwMessage;
};
void PrintTo(const GiveUpCase& c, std::ostream* os) { *os << "step " << c.step << " " << c.label; }

class GivingUp : public ::testing::TestWithParam<GiveUpCase> {};

TEST_P(GivingUp, ReportsTheStepOfTheEleventhFailure) {
  Rig rig(GetParam().config);
  rig.Acquire();
  EXPECT_EQ(Pauses(10, 1000), rig.wait.pauses);
  EXPECT_EQ(status::kErrorBit | GetParam().step, rig.state.statusCode.load());
  // Only the searching text until the end; Browse never comes on.
  const Events expected = {"browse off", "status Searching for FW device...",
                           std::string("status ") + GetParam().fwMessage};
  EXPECT_EQ(expected, rig.view.events);
  // Before giving up the code is the bare step of the last failed attempt.
  for (StatusCode code : rig.wait.codesAtPause) EXPECT_EQ(GetParam().step, code);
  EXPECT_EQ(12u, rig.Stats().nodeListCalls);  // every attempt starts from the node list
}

INSTANTIATE_TEST_SUITE_P(
    Discovery, GivingUp,
    ::testing::Values(
        GiveUpCase{"node list",
                   "node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\nget_node_list = fail 2-", 2,
                   "Can not get FW device information!!"},
        GiveUpCase{"empty bus", "", 3, "FW device not found!!"},
        // Right vendor with another model, and a t6 model from another vendor.
        GiveUpCase{"strangers only",
                   "node = 1 0 0x000A7610 0x7607\nport = 9 FIRM\nnode = 2 0 0x000A7611 "
                   "0x7606\nport = 9 FIRM",
                   3, "FW device not found!!"},
        GiveUpCase{"open device fails",
                   "node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\nopen_device = fail", 4,
                   "Can not open FW device!!"},
        GiveUpCase{"open device null",
                   "node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\nopen_device = null", 4,
                   "Can not open FW device!!"},
        GiveUpCase{"port list", "node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\nget_port_list = fail",
                   5, "Can not get FW port information!!"},
        GiveUpCase{"no FIRM", "node = 1 2 0x000A7610 0x7606\nport = 9 MIDI\nport = 10 FIRN", 6,
                   "FW port not found!!"},
        GiveUpCase{"no ports", "node = 1 2 0x000A7610 0x7606", 6, "FW port not found!!"},
        GiveUpCase{"open port fails",
                   "node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\nopen_port = fail", 7,
                   "Can not open FW port!!"},
        GiveUpCase{"open port null",
                   "node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\nopen_port = null", 7,
                   "Can not open FW port!!"}));

struct ChoiceCase {
  std::string config;
  std::uint32_t nodeWord0, nodeWord1, portId;
};
void PrintTo(const ChoiceCase& c, std::ostream* os) {
  *os << "node " << c.nodeWord0 << " " << c.nodeWord1 << " port " << c.portId;
}

class Choosing : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(Choosing, OpensTheFirstMatchInListOrder) {
  Rig rig(GetParam().config);
  rig.Acquire();
  ASSERT_EQ(status::kReady, rig.state.statusCode.load());
  EXPECT_EQ(GetParam().nodeWord0, rig.link.nodeId[0]);
  EXPECT_EQ(GetParam().nodeWord1, rig.link.nodeId[1]);
  EXPECT_EQ(GetParam().portId, rig.link.portId);
  PortRecord opened{};
  ASSERT_TRUE(SUCCEEDED(rig.link.port->GetPortInfo(&opened)));
  EXPECT_EQ(GetParam().portId, opened.portId);
}

INSTANTIATE_TEST_SUITE_P(
    Discovery, Choosing,
    ::testing::Values(ChoiceCase{"node = 7 8 0x000A7610 0x7605\nport = 1 FIRM\nnode = 5 6 " +
                                     std::string(kT10) + "\nport = 2 FIRM",
                                 5, 6, 2},
                      ChoiceCase{"node = 7 8 0x00112233 0x7606\nport = 1 FIRM\nnode = 3 4 " +
                                     std::string(kT6) + "\nport = 2 FIRM",
                                 3, 4, 2},
                      ChoiceCase{"node = 1 2 " + std::string(kT10) +
                                     "\nport = 1 FIRM\nnode = 3 4 " + std::string(kT6) +
                                     "\nport = 2 FIRM",
                                 1, 2, 1},
                      ChoiceCase{kWorkingT6 + "port = 7 FIRM\n", 1, 2, 9},
                      ChoiceCase{"node = 1 2 " + std::string(kT6) +
                                     "\nport = 3 MIDI\nport = 7 FIRM\nport = 8 FIRM",
                                 1, 2, 7}));

TEST(Discovery, FallsBackToQBusAndSpeaksOfIt) {
  Rig rig("classes = qbus\n");
  rig.Acquire();
  EXPECT_EQ(kInterfaceQBus, rig.state.interfaceKind);
  EXPECT_EQ(status::Error(status::kDeviceNotFound), rig.state.statusCode.load());
  const Events expected = {"browse off", "status Searching for qBUS device...",
                           "status qBUS device not found!!"};
  EXPECT_EQ(expected, rig.view.events);
  EXPECT_EQ(0u, rig.Stats().servicesFW);
  EXPECT_EQ(1u, rig.Stats().servicesQBus);
}

TEST(Discovery, PrefersTheFWServiceWhenBothAreThere) {
  Rig rig(kWorkingT6);
  rig.Acquire();
  EXPECT_EQ(kInterfaceFW, rig.state.interfaceKind);
  EXPECT_EQ(1u, rig.Stats().servicesFW);
  EXPECT_EQ(0u, rig.Stats().servicesQBus);
}

TEST(Discovery, WithoutAServiceReportsCodeOneAndDoesNotSearch) {
  Rig rig("classes = none\n" + kWorkingT6);
  rig.Acquire();
  EXPECT_EQ(status::Error(status::kNoInterface), rig.state.statusCode.load());
  EXPECT_EQ(kInterfaceNone, rig.state.interfaceKind);
  const Events expected = {"status Can not get FW/qBUS interface!!", "browse off"};
  EXPECT_EQ(expected, rig.view.events);
  EXPECT_EQ(0, rig.launcher.starts);
  EXPECT_FALSE(rig.link.service);
}

struct NodeListAtStartCase {
  const char* classes;
  const char* message;
};
void PrintTo(const NodeListAtStartCase& c, std::ostream* os) { *os << "classes " << c.classes; }

class NodeListAtStart : public ::testing::TestWithParam<NodeListAtStartCase> {};

TEST_P(NodeListAtStart, FailingReportsCodeTwoAtOnceAndDoesNotSearch) {
  Rig rig(std::string("classes = ") + GetParam().classes + "\n" + kWorkingT6 +
          "get_node_list = fail 1\n");
  rig.Acquire();
  EXPECT_EQ(status::Error(status::kNoDeviceInformation), rig.state.statusCode.load());
  const Events expected = {std::string("status ") + GetParam().message, "browse off"};
  EXPECT_EQ(expected, rig.view.events);
  EXPECT_EQ(0, rig.launcher.starts);
  EXPECT_EQ(1u, rig.Stats().nodeListCalls);
}

INSTANTIATE_TEST_SUITE_P(
    Discovery, NodeListAtStart,
    ::testing::Values(NodeListAtStartCase{"both", "Can not get FW device information!!"},
                      NodeListAtStartCase{"qbus", "Can not get qBUS device information!!"}));

TEST(Discovery, ADeviceSwitchedOnAfterTheEleventhFailureIsNotSeen) {
  Rig rig(T6FromAttempt(12));
  rig.Acquire();
  EXPECT_EQ(status::Error(status::kDeviceNotFound), rig.state.statusCode.load());
  EXPECT_EQ(12u, rig.Stats().nodeListCalls);
}

TEST(Discovery, WithoutTheRetryLimitKeepsSearchingInTheErrorForm) {
  Rig rig(T6FromAttempt(20));
  rig.state.retryLimitOn = 0;
  rig.Acquire();
  EXPECT_EQ(Pauses(19, 1000), rig.wait.pauses);
  ASSERT_EQ(19u, rig.wait.codesAtPause.size());
  for (std::size_t i = 0; i < rig.wait.codesAtPause.size(); ++i) {
    // Pause i follows failed attempt i + 1; from the eleventh on the code holds the error form.
    EXPECT_EQ(i < 10 ? 3u : status::Error(status::kDeviceNotFound), rig.wait.codesAtPause[i])
        << "pause " << i;
  }
  EXPECT_EQ(status::kReady, rig.state.statusCode.load());
  const Events expected = {"browse off", "status Searching for FW device...", "browse on",
                           "status ", "port FIRM"};
  EXPECT_EQ(expected, rig.view.events);
}

TEST(Discovery, AServiceThatFailsTheTypeCheckIsNotUsed) {
  // Creation succeeds but the object does not answer as an IqBUSAsync.
  struct Impostor : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 0;
  };
  struct ImpostorFW : ServiceFactory {
    ImpostorFW(Impostor& impostor, ServiceFactory& real) : impostor(impostor), real(real) {}
    HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** object) override {
      if (!IsEqualGUID(clsid, qbus::kClsidFW)) return real.CreateInstance(clsid, iid, object);
      impostor.AddRef();
      *object = &impostor;
      return S_OK;
    }
    Impostor& impostor;
    ServiceFactory& real;
  };
  Rig rig(kWorkingT6);
  Impostor impostor;
  ImpostorFW factory(impostor, rig.factory);
  AcquireDriverService(factory, rig.search, rig.launcher);
  EXPECT_EQ(kInterfaceQBus, rig.state.interfaceKind);
  EXPECT_EQ(0u, impostor.references);
  EXPECT_EQ(status::kReady, rig.state.statusCode.load());
}

TEST(Discovery, AWorkerThatCannotStartSaysTheDeviceCannotBeReached) {
  Rig rig(kWorkingT6);
  rig.launcher.refuse = true;
  rig.Acquire();
  EXPECT_EQ(0x80000002u, rig.state.statusCode.load());
  EXPECT_EQ((Events{"status Can not get FW device information!!", "browse off"}), rig.view.events);
}

struct StopCase {
  const char* label;
  const char* config;
  std::size_t stopAtPause;
  std::uint32_t nodeListCalls;  // the acquisition's and those of the attempts before the stop
};
void PrintTo(const StopCase& c, std::ostream* os) { *os << c.label; }

class Stopping : public ::testing::TestWithParam<StopCase> {};

TEST_P(Stopping, EndsWithoutAnotherCallAndReleasesEverythingOnce) {
  Rig rig(GetParam().config);
  rig.wait.stopAtPause = GetParam().stopAtPause;
  rig.Acquire();
  EXPECT_EQ(GetParam().stopAtPause + 1, rig.wait.pauses.size());
  EXPECT_EQ(GetParam().nodeListCalls, rig.Stats().nodeListCalls);
  // Nothing after the searching text: no give-up message, no Browse.
  const Events expected = {"browse off", "status Searching for FW device..."};
  EXPECT_EQ(expected, rig.view.events);
  rig.link.ReleaseAll();
  rig.link.ReleaseAll();
  EXPECT_EQ(0, rig.Stats().liveObjects);
  EXPECT_EQ(0u, rig.Stats().unfreedLists);
}

INSTANTIATE_TEST_SUITE_P(Discovery, Stopping,
                         ::testing::Values(StopCase{"first retry", "", 0, 2},
                                           StopCase{"fifth retry", "", 4, 6},
                                           StopCase{"readiness", kWorkingT6.c_str(), 0, 2}));

TEST(Discovery, HoldsTheDriverObjectsUntilReleaseAllFreesThemAll) {
  Rig rig("node = 1 2 " + std::string(kT6) + " from=4\nport = 9 FIRM\nopen_port = fail 1\n");
  rig.Acquire();
  ASSERT_EQ(status::kReady, rig.state.statusCode.load());
  // Service, device and port; the node list and port list of the last attempt.
  EXPECT_EQ(3, rig.Stats().liveObjects);
  EXPECT_EQ(2u, rig.Stats().unfreedLists);
  rig.link.ReleaseAll();
  EXPECT_EQ(0, rig.Stats().liveObjects);
  EXPECT_EQ(0u, rig.Stats().unfreedLists);
}

}  // namespace
