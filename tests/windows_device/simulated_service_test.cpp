// The simulated driver service as the program meets the real ones: created by
// class identifier through the registry of the build's Wine prefix, and
// called from a worker thread that never initialised COM. Each test brings its
// own configuration; the simulator reads it afresh for every session and
// leaves its report behind when the session's last object goes.
#include <gtest/gtest.h>
#include <windows.h>

#include <objbase.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "device/com_service_factory_win32.h"
#include "device/device_search_worker.h"
#include "device/qbus_ids.h"
#include "sim/sim_config.h"
#include "sim/sim_report.h"
#include "tests/support/recording_search_view.h"

namespace {

class NoPauseWait : public StopSignalWait {
 public:
  bool Pause(std::uint32_t) override { return StopSignalWait::Pause(0); }
};

constexpr char kWorkingT6[] = "node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\n";

class SimulatedService : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    // Named after the test, so that a death test's child process finds the same
    // folder. It goes at the end: a report the simulator writes when the
    // process ends then finds no folder and is dropped.
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() / (std::string("t6sim-") + test->name());
    std::filesystem::create_directories(folder_);
    base_ = (folder_ / "sim").string();
  }
  void TearDown() override {
    link_.ReleaseAll();
    CoUninitialize();
    SetEnvironmentVariableA(sim::kConfigVariable, nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // Points the simulator at a configuration that also names this test's report files.
  void Configure(const std::string& text) {
    std::ofstream(base_ + ".conf")
        << text << "\nstats_file = " << base_ << ".stats\ncapture_file = " << base_ << ".capture\n";
    ASSERT_TRUE(SetEnvironmentVariableA(sim::kConfigVariable, (base_ + ".conf").c_str()));
  }

  // Acquisition on this thread, the search on the worker's, until it ends.
  void Discover() {
    NoPauseWait wait;
    DeviceSearchWorker worker(search_, wait);
    AcquireDriverService(factory_, search_, worker);
    worker.Join();
  }

  sim::SimReport Report() {
    sim::SimReport report;
    EXPECT_TRUE(sim::LoadReport(base_ + ".stats", base_ + ".capture", report));
    return report;
  }

  std::filesystem::path folder_;
  std::string base_;
  ComServiceFactory factory_;
  UpdateState state_;
  DeviceLink link_;
  RecordingView view_;
  DeviceSearch search_{state_, link_, view_};
};

TEST_F(SimulatedService, TheFWServiceIsFoundFirstAndReleasedCompletely) {
  Configure(kWorkingT6);
  Discover();
  EXPECT_EQ(kInterfaceFW, state_.interfaceKind);
  EXPECT_EQ(status::kReady, state_.statusCode.load());
  ASSERT_FALSE(view_.events.empty());
  EXPECT_EQ("port FIRM", view_.events.back());
  link_.ReleaseAll();
  const sim::SimReport report = Report();
  EXPECT_EQ(1u, report.stats.servicesFW);
  EXPECT_EQ(0u, report.stats.servicesQBus);
  EXPECT_EQ(2u, report.stats.nodeListCalls);
  EXPECT_EQ(0, report.stats.liveObjects);
  EXPECT_EQ(0u, report.stats.unfreedLists);
}

TEST_F(SimulatedService, TheQBusServiceIsUsedWhenFWIsNotServed) {
  Configure(std::string("classes = qbus\n") + kWorkingT6);
  Discover();
  EXPECT_EQ(kInterfaceQBus, state_.interfaceKind);
  EXPECT_EQ(status::kReady, state_.statusCode.load());
  ASSERT_GE(view_.events.size(), 2u);
  EXPECT_EQ("status Searching for qBUS device...", view_.events[1]);
  link_.ReleaseAll();
  const sim::SimReport report = Report();
  EXPECT_EQ(0u, report.stats.servicesFW);
  EXPECT_EQ(1u, report.stats.servicesQBus);
}

TEST_F(SimulatedService, NeitherServiceGivesCodeOne) {
  Configure(std::string("classes = none\n") + kWorkingT6);
  // The server refuses both classes; Wine reports that as REGDB_E_CLASSNOTREG.
  for (const CLSID* clsid : {&qbus::kClsidFW, &qbus::kClsidQBus}) {
    void* object = nullptr;
    EXPECT_TRUE(FAILED(factory_.CreateInstance(*clsid, qbus::kIidAsync, &object)));
    EXPECT_EQ(nullptr, object);
  }
  Discover();
  EXPECT_EQ(status::Error(status::kNoInterface), state_.statusCode.load());
  EXPECT_EQ(kInterfaceNone, state_.interfaceKind);
  EXPECT_FALSE(link_.service);
}

TEST_F(SimulatedService, WritesFromAThreadWithoutCOMAreCaptured) {
  Configure(kWorkingT6);
  Discover();
  ASSERT_TRUE(link_.port);
  const std::vector<std::uint8_t> sysex = {0xF0, 0x43, 0x73, 0x01, 0xF7};
  HRESULT apartment = S_OK;
  std::vector<HRESULT> results;
  std::thread writer([&] {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    apartment = CoGetApartmentType(&type, &qualifier);
    const std::vector<std::uint8_t> big(kMaxWriteBytes + 1, 0x11);
    for (int i = 0; i < 3; ++i) results.push_back(link_.port->Write(0, 5, sysex.data(), 5));
    results.push_back(link_.port->Write(0, kMaxWriteBytes + 1, big.data(), kMaxWriteBytes + 1));
  });
  writer.join();
  EXPECT_EQ(CO_E_NOTINITIALIZED, apartment);
  EXPECT_EQ(std::vector<HRESULT>(4, S_OK), results);
  link_.ReleaseAll();

  const sim::SimReport report = Report();
  EXPECT_EQ(4u, report.stats.writeCalls);
  EXPECT_EQ(1u, report.stats.oversizeWrites);
  EXPECT_EQ(0, report.stats.liveObjects);
  EXPECT_EQ(0u, report.stats.unfreedLists);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  EXPECT_EQ(static_cast<std::uint64_t>(frequency.QuadPart), report.stats.ticksPerSecond);
  ASSERT_EQ(4u, report.writes.size());
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(sysex, report.writes[i].bytes);
    EXPECT_EQ(9u, report.writes[i].portId);
    EXPECT_LE(report.writes[i].ticks, report.writes[i + 1].ticks);
  }
}

// Proves that the simulator sees the program's CoTaskMemFree: a list kept past
// the end of the session is reported, one freed is not.
TEST_F(SimulatedService, AListLeftUnfreedIsReported) {
  Configure(kWorkingT6);
  NodeList kept{};
  {
    ComPtr<IqBUSAsync> service;
    ASSERT_TRUE(ObtainService(factory_, qbus::kClsidFW, service));
    OwnedNodeList freed;
    ASSERT_TRUE(SUCCEEDED(service->GetNodeList(freed.ResetAndGetAddress())));
    ASSERT_TRUE(SUCCEEDED(service->GetNodeList(&kept)));
    ASSERT_TRUE(SUCCEEDED(service->GetNodeList(freed.ResetAndGetAddress())));
  }
  const sim::SimReport report = Report();
  CoTaskMemFree(kept.records);
  EXPECT_EQ(3u, report.stats.nodeListCalls);
  EXPECT_EQ(0, report.stats.liveObjects);
  EXPECT_EQ(1u, report.stats.unfreedLists);
}

// A process that ends holding driver objects still leaves its report.
TEST_F(SimulatedService, AProcessThatEndsHoldingObjectsLeavesItsReport) {
  Configure(kWorkingT6);
  EXPECT_EXIT(
      {
        ComPtr<IqBUSAsync> service;
        NodeList list{};
        if (ObtainService(factory_, qbus::kClsidFW, service)) service->GetNodeList(&list);
        ExitProcess(7);
      },
      ::testing::ExitedWithCode(7), "");
  const sim::SimReport report = Report();
  EXPECT_EQ(1u, report.stats.servicesFW);
  EXPECT_EQ(1, report.stats.liveObjects);
  EXPECT_EQ(1u, report.stats.unfreedLists);
}

}  // namespace
