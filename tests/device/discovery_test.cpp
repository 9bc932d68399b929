// Device discovery against the simulated bus: obtaining a service, the search's
// attempts, pauses and messages, what it opens, and when it lets go.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "device/qbus_ids.h"
#include "search_rig.h"
#include "state/status_messages.h"

namespace {

using testing_rig::Rig;
using Events = std::vector<std::string>;
using Pauses = std::vector<std::uint32_t>;

const std::string kT6 = "node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\n";
// The acquisition shows the text of the service it tries, the search shows it again.
const Events kFound = {"status Searching for FW device...", "browse off", "status Searching for FW device...",
                       "ready FIRM"};

// The t6 shows up at attempt n: node-list call 1 is the acquisition's.
std::string T6FromAttempt(std::uint32_t n) {
  return "node = 1 2 0x000A7610 0x7606 from=" + std::to_string(n + 1) + "\nport = 9 FIRM\n";
}

TEST(Discovery, PausesForReadinessBeforeShowingThePort) {
  // Found at once, after one failure, after two, and switched on after five.
  const struct {
    std::uint32_t attempt;
    Pauses pauses;
  } cases[] = {{1, {2000}}, {2, {1000, 1000}}, {3, {1000, 1000}}, {6, Pauses(5, 1000)}};
  for (const auto& c : cases) {
    Rig rig(T6FromAttempt(c.attempt));
    rig.Discover();
    EXPECT_EQ(c.pauses, rig.wait.pauses) << c.attempt;
    EXPECT_EQ(status::kReady, rig.state.statusCode.load()) << c.attempt;
    EXPECT_EQ(kFound, rig.view.events) << c.attempt;
    EXPECT_EQ(c.attempt + 1, rig.Stats().nodeListCalls) << c.attempt;
  }
}

TEST(Discovery, GivesUpAtTheEleventhFailureWithItsStepInTheServicesColumn) {
  const struct {
    std::string config;
    std::uint32_t step;
  } cases[] = {
      {kT6 + "get_node_list = fail 2-", 2},
      {kT6 + "get_node_list = overcount 2-", 2},
      {"", 3},
      // Right vendor with another model, and a t6 model from another vendor.
      {"node = 1 0 0x000A7610 0x7607\nport = 9 FIRM\nnode = 2 0 0x000A7611 0x7606\nport = 9 FIRM", 3},
      {kT6 + "open_device = fail", 4},
      {kT6 + "open_device = null", 4},
      {kT6 + "get_port_list = fail", 5},
      {kT6 + "get_port_list = overcount", 5},  // more records claimed than allocated
      {"node = 1 2 0x000A7610 0x7606\nport = 9 MIDI\nport = 10 FIRN", 6},
      {kT6 + "open_port = fail", 7},
      {kT6 + "open_port = null", 7},
  };
  for (const auto& c : cases) {
    for (const InterfaceKind kind : {kInterfaceFW, kInterfaceQBus}) {
      SCOPED_TRACE(c.config + (kind == kInterfaceFW ? " (FW)" : " (qBUS)"));
      Rig rig((kind == kInterfaceFW ? "" : "classes = qbus\n") + c.config);
      rig.Discover();
      EXPECT_EQ(kind, rig.state.interfaceKind.load());
      EXPECT_EQ(1u, rig.Stats().servicesFW + rig.Stats().servicesQBus);
      EXPECT_EQ(Pauses(10, 1000), rig.wait.pauses);
      // Until then the code is the bare step of the last failed attempt.
      EXPECT_EQ(std::vector<StatusCode>(10, c.step), rig.wait.codesAtPause);
      EXPECT_EQ(status::kErrorBit | c.step, rig.state.statusCode.load());
      Events shown = {"status Searching for FW device..."};
      if (kind == kInterfaceQBus) shown.push_back("status Searching for qBUS device...");
      shown.insert(shown.end(), {"browse off", std::string("status ") + SearchingText(kind),
                                 std::string("status ") + StatusMessage(status::kErrorBit | c.step, kind)});
      EXPECT_EQ(shown, rig.view.events);
      EXPECT_EQ(12u, rig.Stats().nodeListCalls);  // every attempt starts from the node list
    }
  }
}

TEST(Discovery, WithoutTheRetryLimitKeepsSearchingInTheErrorForm) {
  Rig rig(T6FromAttempt(20));
  rig.state.retryLimitOn = 0;
  rig.Discover();
  // Pause i follows failed attempt i + 1; from the eleventh on the code holds the error form.
  std::vector<StatusCode> codes(10, 3u);
  codes.resize(19, status::Error(status::kDeviceNotFound));
  EXPECT_EQ(codes, rig.wait.codesAtPause);
  EXPECT_EQ(Pauses(19, 1000), rig.wait.pauses);
  EXPECT_EQ(status::kReady, rig.state.statusCode.load());
  EXPECT_EQ(kFound, rig.view.events);
}

TEST(Discovery, WhenNoSearchCanStartSaysWhyAtOnce) {
  const std::string fw = "status Searching for FW device...";
  const std::string qbus = "status Searching for qBUS device...";
  const struct {
    std::string config;
    StatusCode code;
    InterfaceKind kind;
    Events tried;  // the services' searching texts
    const char* message;
  } cases[] = {
      {"classes = none\n" + kT6, 0x80000001u, kInterfaceNone, {fw, qbus}, "Can not get FW/qBUS interface!!"},
      {kT6 + "get_node_list = fail 1", 0x80000002u, kInterfaceFW, {fw}, "Can not get FW device information!!"},
      {"classes = qbus\n" + kT6 + "get_node_list = fail 1",
       0x80000002u,
       kInterfaceQBus,
       {fw, qbus},
       "Can not get qBUS device information!!"},
      {kT6 + "get_node_list = overcount 1", 0x80000002u, kInterfaceFW, {fw}, "Can not get FW device information!!"},
  };
  for (const auto& c : cases) {
    Rig rig(c.config);
    rig.Discover();
    EXPECT_EQ(c.code, rig.state.statusCode.load()) << c.config;
    EXPECT_EQ(c.kind, rig.state.interfaceKind.load()) << c.config;
    Events shown = c.tried;
    shown.insert(shown.end(), {std::string("status ") + c.message, "browse off"});
    EXPECT_EQ(shown, rig.view.events) << c.config;
    EXPECT_EQ(c.kind == kInterfaceNone ? 0u : 1u, rig.Stats().nodeListCalls) << c.config;
  }
}

// Every call into the driver on the way, the releases included, is marked on
// the search's watch, by which a close judges whether the driver is stuck.
TEST(Discovery, OpensTheFirstT6OrT10AndItsFirstFirmPortAndHoldsThemUntilReleaseAll) {
  const struct {
    std::string config;
    std::uint32_t word0, word1, portId;
  } cases[] = {
      // Strangers first, then a t10 before a t6.
      {"node = 7 8 0x000A7610 0x7605\nport = 1 FIRM\nnode = 7 9 0x00112233 0x7606\nport = 1 FIRM\n"
       "node = 5 6 0x000A7610 0x7610\nport = 2 FIRM\n" +
           kT6,
       5, 6, 2},
      // The first port open fails: the next attempt replaces device and lists.
      {"node = 1 2 0x000A7610 0x7606\nport = 3 MIDI\nport = 7 FIRM\nport = 8 FIRM\n"
       "open_port = fail 1",
       1, 2, 7},
  };
  for (const auto& c : cases) {
    Rig rig(c.config);
    DriverCallWatch calls;
    rig.search.calls = &calls;
    std::vector<std::string> seen, unmarked;
    rig.model->SetCallObserver([&](const char* name) {
      seen.emplace_back(name);
      if (!calls.InCall()) unmarked.emplace_back(name);
    });
    rig.Discover();
    ASSERT_EQ(status::kReady, rig.state.statusCode.load()) << c.config;
    EXPECT_EQ(c.word0, rig.link.nodeId[0]);
    EXPECT_EQ(c.word1, rig.link.nodeId[1]);
    EXPECT_EQ(c.portId, rig.link.portId);
    PortRecord opened{};
    ASSERT_TRUE(SUCCEEDED(rig.link.port->GetPortInfo(&opened)));
    EXPECT_EQ(c.portId, opened.portId);
    // Service, device and port; the node list and port list of the last attempt.
    EXPECT_EQ(3, rig.Stats().liveObjects);
    EXPECT_EQ(2u, rig.Stats().unfreedLists);
    rig.link.ReleaseAll(&calls);
    EXPECT_EQ(0, rig.Stats().liveObjects);
    EXPECT_EQ(0u, rig.Stats().unfreedLists);
    EXPECT_FALSE(calls.InCall());
    for (const char* name : {"get_node_list", "open_device", "get_port_list", "open_port", "release"}) {
      EXPECT_NE(seen.end(), std::find(seen.begin(), seen.end(), name)) << name;
    }
    EXPECT_EQ(std::vector<std::string>{}, unmarked);
  }
}

TEST(Discovery, AServiceThatFailsTheTypeCheckIsReleasedAndNotUsed) {
  // Creation succeeds but the object does not answer as an IqBUSAsync.
  struct Impostor : IUnknown, ServiceFactory {
    explicit Impostor(ServiceFactory& real) : real(real) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** object) override {
      if (!IsEqualGUID(clsid, qbus::kClsidFW)) return real.CreateInstance(clsid, iid, object);
      *object = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    ServiceFactory& real;
    ULONG references = 0;
  };
  Rig rig(kT6);
  Impostor impostor(rig.factory);
  DeviceSearchThread(impostor, rig.search, rig.wait);
  EXPECT_EQ(0u, impostor.references);
  EXPECT_EQ(kInterfaceQBus, rig.state.interfaceKind.load());
  EXPECT_EQ(status::kReady, rig.state.statusCode.load());
}

TEST(Discovery, AStopAtAnyPauseEndsWithoutAnotherCallAndReleasesEverythingOnce) {
  const struct {
    std::string config;
    std::size_t stopAtPause;
    std::uint32_t nodeListCalls;                      // the acquisition's and those of the attempts before the stop
  } cases[] = {{"", 0, 2}, {"", 4, 6}, {kT6, 0, 2}};  // first retry, fifth retry, readiness
  for (const auto& c : cases) {
    Rig rig(c.config);
    rig.wait.stopAtPause = c.stopAtPause;
    rig.Discover();
    EXPECT_EQ(c.stopAtPause + 1, rig.wait.pauses.size());
    EXPECT_EQ(c.nodeListCalls, rig.Stats().nodeListCalls);
    // Nothing after the searching text: no give-up message, no Browse.
    EXPECT_EQ((Events{"status Searching for FW device...", "browse off", "status Searching for FW device..."}),
              rig.view.events);
    rig.link.ReleaseAll();
    rig.link.ReleaseAll();
    EXPECT_EQ(0, rig.Stats().liveObjects);
    EXPECT_EQ(0u, rig.Stats().unfreedLists);
  }
}

// A stop during a driver call is seen before the next one, wherever it comes:
// between any two driver calls the search looks for a stop, and once it has
// seen one it calls nothing, shows nothing more, and lets go of what it holds.
TEST(Discovery, LooksForAStopBetweenEveryTwoDriverCalls) {
  const auto driverCalls = [](const Rig& rig) {
    const sim::SimStats s = rig.Stats();
    return rig.factory.classObjectCalls() + s.nodeListCalls + s.openDeviceCalls + s.portListCalls + s.openPortCalls;
  };
  // The qBUS service after a missing FW one, and the port at the second attempt.
  const std::string config = "classes = qbus\n" + kT6 + "open_port = fail 1";
  Rig whole(config);
  whole.Discover();
  ASSERT_EQ(status::kReady, whole.state.statusCode.load());
  std::uint32_t before = 0;
  for (std::size_t look = 0; look < whole.wait.looks; ++look) {
    SCOPED_TRACE(testing::Message() << "a stop at look " << look);
    Rig rig(config);
    rig.wait.stopAtLook = look;
    rig.Discover();
    const std::uint32_t calls = driverCalls(rig);
    EXPECT_LE(calls, before + 1) << "two driver calls without a look between them";
    EXPECT_TRUE(rig.view.events.empty() || rig.view.events.back() != "ready FIRM");
    rig.link.ReleaseAll();
    EXPECT_EQ(0, rig.Stats().liveObjects);
    before = calls;
  }
  EXPECT_EQ(driverCalls(whole), before) << "the last look comes after the last call";
}

}  // namespace
