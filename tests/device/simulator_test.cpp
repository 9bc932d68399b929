// The simulated service itself: its configuration, its faults and its report.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "device/com_ptr.h"
#include "device/qbus_ids.h"
#include "sim/bus_model.h"
#include "sim/sim_objects.h"
#include "sim/sim_report.h"

namespace {

using namespace std::string_literals;

TEST(SimConfig, ReadsEveryKey) {
  const sim::ConfigResult parsed = sim::ParseSimConfig(
      "# a t10 that shows up late, behind a stranger\n"
      "classes = qbus\n"
      "\n"
      "  node = 0x10 11 0x00112233 0x7606\n"
      "node = 1 2 0x000A7610 0x7610 from=4\n"
      "port = 3 FIRM\n"
      "port = 0x20 0x4D494449\n"
      "port = 4 AB\n"
      "get_node_list = fail 2\n"
      "open_device = null 3-5\n"
      "get_port_list = fail 6-\n"
      "open_port = fail\n"
      "write_fail_at = 7\n"
      "write_latency_us = 250\n"
      "write_bytes_per_second = 3125\n"
      "stats_file = C:\\run 1\\sim=stats.txt\r\n"
      "capture_file = /tmp/capture.bin\n");
  ASSERT_TRUE(parsed.ok) << parsed.errorLine << ": " << parsed.error;
  const sim::SimConfig& c = parsed.config;
  EXPECT_FALSE(c.serveFW);
  EXPECT_TRUE(c.serveQBus);
  ASSERT_EQ(2u, c.nodes.size());
  EXPECT_EQ(0x10u, c.nodes[0].word0);
  EXPECT_EQ(11u, c.nodes[0].word1);
  EXPECT_EQ(1u, c.nodes[0].fromCall);
  EXPECT_TRUE(c.nodes[0].ports.empty());
  EXPECT_EQ(qbus::kModelT10, c.nodes[1].model);
  EXPECT_EQ(4u, c.nodes[1].fromCall);
  ASSERT_EQ(3u, c.nodes[1].ports.size());
  EXPECT_EQ(qbus::kFirmwarePortName, c.nodes[1].ports[0].name);
  EXPECT_EQ(0x4D494449u, c.nodes[1].ports[1].name);
  EXPECT_EQ(0x41420000u, c.nodes[1].ports[2].name);  // short names are padded with zero bytes
  EXPECT_TRUE(c.getNodeList.Hits(2));
  EXPECT_FALSE(c.getNodeList.Hits(3));
  EXPECT_EQ(sim::FaultMode::kNull, c.openDevice.mode);
  EXPECT_FALSE(c.openDevice.Hits(2));
  EXPECT_TRUE(c.openDevice.Hits(5));
  EXPECT_FALSE(c.openDevice.Hits(6));
  EXPECT_FALSE(c.getPortList.Hits(5));
  EXPECT_TRUE(c.getPortList.Hits(4000000));
  EXPECT_TRUE(c.openPort.Hits(1));
  EXPECT_EQ(7u, c.writeFailAt);
  EXPECT_EQ(250u, c.writeLatencyUs);
  EXPECT_EQ(3125u, c.writeBytesPerSecond);
  EXPECT_EQ("C:\\run 1\\sim=stats.txt", c.statsFile);
  EXPECT_EQ("/tmp/capture.bin", c.captureFile);
}

// A text to parse, or a path to load; a bad one names its first bad line (0 for
// a file that cannot be read).
struct ConfigCase {
  std::string input;
  bool ok;
  int line;
  bool isPath;
};
ConfigCase Good(std::string text) { return {std::move(text), true, 0, false}; }
ConfigCase Bad(std::string text, int line) { return {std::move(text), false, line, false}; }
ConfigCase Unreadable(const std::filesystem::path& path) { return {path.string(), false, 0, true}; }
// On one line: the case's printout is part of the test's name.
void PrintTo(const ConfigCase& c, std::ostream* os) {
  for (const unsigned char ch : c.input) {
    if (ch >= 0x20 && ch < 0x7F) *os << ch;
    else *os << "\\x" << "0123456789ABCDEF"[ch >> 4] << "0123456789ABCDEF"[ch & 15];
  }
}

class SimConfigCases : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(SimConfigCases, AcceptOrNameTheFirstBadLine) {
  const ConfigCase& c = GetParam();
  const sim::ConfigResult parsed =
      c.isPath ? sim::LoadSimConfigFile(c.input) : sim::ParseSimConfig(c.input);
  EXPECT_EQ(c.ok, parsed.ok) << parsed.error;
  EXPECT_EQ(c.line, parsed.errorLine);
  EXPECT_EQ(c.ok, parsed.error.empty());
  if (c.isPath) {
    EXPECT_NE(std::string::npos, parsed.error.find(c.input)) << parsed.error;
  }
}

constexpr char kBom[] = "\xEF\xBB\xBF";  // UTF-8 byte-order mark

INSTANTIATE_TEST_SUITE_P(
    Simulator, SimConfigCases,
    ::testing::Values(
        Bad("port = 1 FIRM\n", 1),  // no node yet
        Bad("classes = both\nclasses = fw qbus\n", 2),
        Bad("node = 1 2 3\n", 1),  // a word short
        Bad("node = 1 2 3 4 from=0\n", 1), Bad("node = 1 2 3 4 after=2\n", 1),
        Bad("node = 0x100000000 0 0 0\n", 1),           // beyond 32 bits
        Bad("node = 18446744073709551617 0 0 0\n", 1),  // 2^64 + 1 must not wrap to 1
        Bad("node = -1 0 0 0\n", 1), Bad("node = 0x 0 0 0\n", 1), Bad("node = 0x-0 0 0 0\n", 1),
        Bad("node = 0x+5 0 0 0\n", 1), Bad("node = 0x0x10 0 0 0\n", 1),
        Bad("node = 1 2 3 4\nport = 1 FIRMW\n", 2), Bad("node = 1 2 3 4\nport = 1\n", 2),
        Bad("get_node_list = null\n", 1),  // nothing to hand back
        Bad("open_port = fail 0\n", 1), Bad("open_port = fail 5-3\n", 1),
        Bad("open_port = fail x-\n", 1), Bad("write_fail_at = soon\n", 1),
        Bad("write_latency_us =\n", 1), Bad("stats_file =\n", 1), Bad("node 1 2 3 4\n", 1),
        Bad("\n# fine\nspeed = 400\n", 3),
        Bad("classes = fw\nwrite_fail_at = 4\0junk\n"s, 2), Bad("# \0\n"s, 1),
        // CRLF, LF and a bare CR each end one line; a byte-order mark only leads the file.
        Bad("stats_file = a\rb\n", 2), Bad("node = 1 2 3 4\rport = 1 FIRM\n\r\nbad\r\n", 4),
        Bad("\n"s + kBom + "classes = fw\n", 2),
        Good(kBom + "node = 1 2 3 4\r\nport = 1 FIRM\r\n"s),
        Good("node = 0X1f 0 0 0\rport = 1 FIRM"),
        Unreadable(std::filesystem::temp_directory_path()),
        Unreadable(std::filesystem::temp_directory_path() / "t6-no-such-sim.conf")));

// Time that moves only when the simulator sleeps.
class FakeClock : public sim::Clock {
 public:
  std::uint64_t Now() override { return now; }
  std::uint64_t TicksPerSecond() override { return 1000000; }
  void SleepMicroseconds(std::uint64_t us) override { now += us; }
  std::uint64_t now = 5;
};

struct PortRig {
  explicit PortRig(const std::string& extra)
      : clock(std::make_shared<FakeClock>()),
        model(std::make_shared<sim::BusModel>(
            sim::ParseSimConfig("node = 1 2 0x000A7610 0x7606\nport = 9 FIRM\n" + extra).config,
            clock)) {
    sim::SimServiceFactory factory(model);
    EXPECT_TRUE(ObtainService(factory, qbus::kClsidFW, service));
    EXPECT_TRUE(
        SUCCEEDED(service->GetNodeList(nodes.ResetAndGetAddress())));  // puts node 1 2 on the bus
    EXPECT_TRUE(SUCCEEDED(service->OpenDevice(1, 2, device.ResetAndGetAddress())));
    EXPECT_TRUE(SUCCEEDED(device->OpenPort(9, port.ResetAndGetAddress())));
  }
  HRESULT Write(const std::vector<std::uint8_t>& bytes) {
    const auto n = static_cast<std::uint32_t>(bytes.size());
    return port->Write(0, n, bytes.data(), n);
  }

  std::shared_ptr<FakeClock> clock;
  std::shared_ptr<sim::BusModel> model;
  ComPtr<IqBUSAsync> service;
  OwnedNodeList nodes;
  ComPtr<IqBUSDevice> device;
  ComPtr<IqBUSPort> port;
};

TEST(SimulatedPort, CapturesEveryWriteAndTakesTheBusTime) {
  PortRig rig("write_latency_us = 100\nwrite_bytes_per_second = 1000\nwrite_fail_at = 2\n");
  const std::vector<std::uint8_t> sysex = {0xF0, 0x43, 0x10, 0xF7};
  EXPECT_EQ(S_OK, rig.Write(sysex));
  EXPECT_EQ(E_FAIL, rig.Write(std::vector<std::uint8_t>(500, 0x55)));
  EXPECT_EQ(S_OK, rig.Write(std::vector<std::uint8_t>(kMaxWriteBytes + 1, 0)));
  const std::uint8_t byte = 0xF0;
  EXPECT_EQ(S_OK, rig.port->Write(1, 1, &byte, 2));  // flags not 0, counts that differ

  const std::vector<sim::CapturedWrite> writes = rig.model->Writes();
  ASSERT_EQ(4u, writes.size());
  EXPECT_EQ(sysex, writes[0].bytes);
  EXPECT_EQ(9u, writes[0].portId);
  // 100 us, plus 4 bytes at 1000 bytes a second: 4 ms.
  EXPECT_EQ(5u, writes[0].ticks);
  EXPECT_EQ(5u + 100 + 4000, writes[1].ticks);
  EXPECT_EQ(5u + 100 + 4000 + 100 + 500000, writes[2].ticks);
  EXPECT_EQ(E_FAIL, writes[1].result);
  const sim::SimStats stats = rig.model->Stats();
  EXPECT_EQ(4u, stats.writeCalls);
  EXPECT_EQ(1u, stats.oversizeWrites);
  EXPECT_EQ(1u, stats.badWriteArgs);
}

TEST(SimulatedBus, OpensOnlyNodesAndPortsItHasListed) {
  PortRig rig("node = 5 6 0x000A7610 0x7610 from=3\nport = 1 FIRM\n");
  ComPtr<IqBUSDevice> device;
  // Only one node list was read so far: node 5 6 is not on the bus yet.
  EXPECT_TRUE(FAILED(rig.service->OpenDevice(5, 6, device.ResetAndGetAddress())));
  EXPECT_FALSE(device);
  ComPtr<IqBUSPort> port;
  EXPECT_TRUE(FAILED(rig.device->OpenPort(10, port.ResetAndGetAddress())));
  EXPECT_FALSE(port);
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(S_OK, rig.port->QueryInterface(IID_IUnknown,
                                           reinterpret_cast<void**>(unknown.ResetAndGetAddress())));
  ComPtr<IqBUSDevice> notADevice;
  EXPECT_EQ(E_NOINTERFACE,
            rig.port->QueryInterface(qbus::kIidDevice,
                                     reinterpret_cast<void**>(notADevice.ResetAndGetAddress())));
}

TEST(SimReport, ReadsBackWhatItWrote) {
  sim::SimStats stats;
  stats.liveObjects = -1;
  stats.unfreedLists = 2;
  stats.servicesQBus = 1;
  stats.nodeListCalls = 12;
  stats.oversizeWrites = 3;
  stats.ticksPerSecond = 10000000;
  sim::SimStats read;
  ASSERT_TRUE(sim::ParseStats(sim::FormatStats(stats), read));
  EXPECT_EQ(-1, read.liveObjects);
  EXPECT_EQ(2u, read.unfreedLists);
  EXPECT_EQ(1u, read.servicesQBus);
  EXPECT_EQ(12u, read.nodeListCalls);
  EXPECT_EQ(3u, read.oversizeWrites);
  EXPECT_EQ(10000000u, read.ticksPerSecond);
  EXPECT_FALSE(sim::ParseStats("live_objects 0\n", read));  // the other keys are missing

  std::vector<sim::CapturedWrite> writes(2);
  writes[0].ticks = 0x123456789Aull;
  writes[0].portId = 9;
  writes[0].byteCount = writes[0].byteCount2 = 3;
  writes[0].bytes = {0xF0, 0x01, 0xF7};
  writes[1].result = E_FAIL;
  const std::vector<std::uint8_t> capture = sim::FormatCapture(10000000, writes);
  std::uint64_t ticksPerSecond = 0;
  std::vector<sim::CapturedWrite> back;
  ASSERT_TRUE(sim::ParseCapture(capture, ticksPerSecond, back));
  EXPECT_EQ(10000000u, ticksPerSecond);
  ASSERT_EQ(2u, back.size());
  EXPECT_EQ(0x123456789Aull, back[0].ticks);
  EXPECT_EQ(writes[0].bytes, back[0].bytes);
  EXPECT_EQ(E_FAIL, back[1].result);
  // Every truncation is caught, and so is trailing garbage.
  for (std::size_t size = 0; size < capture.size(); ++size) {
    const std::vector<std::uint8_t> cut(capture.begin(),
                                        capture.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_FALSE(sim::ParseCapture(cut, ticksPerSecond, back)) << size;
  }
  std::vector<std::uint8_t> longer = capture;
  longer.push_back(0);
  EXPECT_FALSE(sim::ParseCapture(longer, ticksPerSecond, back));
}

}  // namespace
