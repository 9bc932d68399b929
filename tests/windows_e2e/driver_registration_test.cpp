// Driver services as vendors build and register them: the simulator
// registered with no ThreadingModel (a main-threaded server), "Apartment" and
// "Free", two of them learning of the bus only through a window on the thread
// that made the service. Each time the updater obtains the service as itself
// and updates the device through it. The registration holds for every
// updater started meanwhile, so these tests run alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>

#include "tests/windows_e2e/updater_run.h"
#include "tools/sysex_stream.h"

namespace {

struct RegistrationCase {
  const char* name;
  const char* threadingModel;  // "none": without the value
  const char* config;          // before the t6
};

void PrintTo(const RegistrationCase& c, std::ostream* os) { *os << c.name; }

class DriverRegistration : public testing::TestWithParam<RegistrationCase> {};

TEST_P(DriverRegistration, TheUpdaterObtainsTheServiceAndUpdatesTheDevice) {
  const RegistrationCase& c = GetParam();
  const e2e::SimRegistration registered(c.threadingModel);
  ASSERT_TRUE(registered.ok());
  const Bytes bytes = e2e::UpdateFile();
  SysExStream expected;
  std::string error;
  ASSERT_TRUE(ReadSysExStream(bytes, expected, error)) << error;
  const TempFile file(bytes);

  e2e::Run run(std::string(c.config) + e2e::kT6);
  const op::UpdaterWindow window = run.process().Window();
  ASSERT_TRUE(window);
  ASSERT_EQ(op::WaitEnd::kHeld, window.WaitForReady(e2e::kReadyBoundMs)) << window.Text(op::kStatus);
  std::uint64_t pressed = 0;
  ASSERT_TRUE(e2e::Update(window, file.path(), &pressed));
  EXPECT_EQ(e2e::kTransferComplete, window.Text(op::kStatus));

  ASSERT_TRUE(window.Click(op::kStart));
  sim::SimReport report;
  ASSERT_TRUE(run.EndedCleanly(e2e::kExitBoundMs, report));
  const CaptureCheck check = CheckCapture(expected, report.writes, report.stats.ticksPerSecond, pressed);
  EXPECT_TRUE(check.equal) << check.mismatch;
  EXPECT_EQ(0u, CountEarly(check));
}

// "Both" is what every other test registers; "Neutral" is made as
// main-threaded by Wine, behind a proxy by Windows (which this interface does
// not have): no test here could show what an operator would see.
INSTANTIATE_TEST_SUITE_P(
    ThreadingModels, DriverRegistration,
    testing::Values(RegistrationCase{"none_with_a_window", "none", "learn_nodes = window_timer\n"},
                    RegistrationCase{"apartment", "Apartment", ""},
                    RegistrationCase{"free_with_a_window", "Free", "learn_nodes = window_timer\n"}),
    [](const testing::TestParamInfo<RegistrationCase>& info) { return std::string(info.param.name); });

}  // namespace
