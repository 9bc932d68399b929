// The simulated service's configuration parser, which also reads the
// operator's hand-edited demo file. What the service does with a configuration
// is what the discovery tests rely on, and they would show it going wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sim/sim_config.h"

namespace {

using namespace std::string_literals;

constexpr char kBom[] = "\xEF\xBB\xBF";  // UTF-8 byte-order mark

TEST(SimConfig, AcceptsOrNamesTheFirstBadLine) {
  const struct {
    std::string text;
    int badLine;  // 0: accepted
  } cases[] = {
      {"port = 1 FIRM\n", 1},  // no node yet
      {"classes = both\nclasses = fw qbus\n", 2},
      {"node = 1 2 3\n", 1},  // a word short
      {"node = 1 2 3 4 from=0\n", 1},
      {"node = 1 2 3 4 after=2\n", 1},
      {"node = 0x100000000 0 0 0\n", 1},           // beyond 32 bits
      {"node = 18446744073709551617 0 0 0\n", 1},  // 2^64 + 1 must not wrap to 1
      {"node = -1 0 0 0\n", 1},
      {"node = 0x 0 0 0\n", 1},
      {"node = 0x-0 0 0 0\n", 1},
      {"node = 0x+5 0 0 0\n", 1},
      {"node = 0x0x10 0 0 0\n", 1},
      {"node = 1 2 3 4\nport = 1 FIRMW\n", 2},
      {"node = 1 2 3 4\nport = 1\n", 2},
      {"get_node_list = null\n", 1},   // nothing to hand back
      {"open_port = overcount\n", 1},  // no list to miscount
      {"open_port = fail 0\n", 1},
      {"open_port = fail 5-3\n", 1},
      {"open_port = fail x-\n", 1},
      {"write_fail_at = soon\n", 1},
      {"write_latency_us =\n", 1},
      {"open_device_latency_us = soon\n", 1},
      {"get_node_list_latency_us = hang 0\n", 1},
      {"class_object_latency_us = 5 1-2 3\n", 1},
      {"stats_file =\n", 1},
      {"node 1 2 3 4\n", 1},
      {"\n# fine\nspeed = 400\n", 3},
      {"classes = fw\nwrite_fail_at = 4\0junk\n"s, 2},
      {"# \0\n"s, 1},
      // CRLF, LF and a bare CR each end one line; a byte-order mark only leads the file.
      {"stats_file = a\rb\n", 2},
      {"node = 1 2 3 4\rport = 1 FIRM\n\r\nbad\r\n", 4},
      {"\n"s + kBom + "classes = fw\n", 2},
      {kBom + "node = 1 2 3 4\r\nport = 1 FIRM\r\n"s, 0},
      {"node = 0X1f 0 0 0\rport = 1 FIRM", 0},
      // Every other key, as the demo file spells them.
      {"classes = both\nnode = 3 4 0x000A7610 0x7610 from=5\nport = 1 MIDI\nport = 2 0x46495246\n"
       "port = 3 AB\nopen_device = ok\nopen_port = null 1-2\nget_port_list = overcount 3\nwrite_fail_at = 40\n"
       "crash_at_write = 41\n"
       "write_latency_us = 200\nwrite_bytes_per_second = 3125\nclass_object_latency_us = 100\n"
       "get_node_list_latency_us = 30000000 1\nopen_device_latency_us = hang 3-\nget_port_list_latency_us = 5 2-4\n"
       "open_port_latency_us = 0\ncalls_file = C:\\temp\\sim.calls\nstats_file = C:\\temp\\sim.stats\n"
       "capture_file = C:\\temp\\sim capture\n",
       0},
  };
  for (const auto& c : cases) {
    const sim::ConfigResult parsed = sim::ParseSimConfig(c.text);
    EXPECT_EQ(c.badLine == 0, parsed.ok) << testing::PrintToString(c.text) << ": " << parsed.error;
    EXPECT_EQ(c.badLine, parsed.errorLine) << testing::PrintToString(c.text);
    EXPECT_EQ(c.badLine == 0, parsed.error.empty()) << testing::PrintToString(c.text);
  }
  // A file that cannot be read is named in the error, with no line.
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  for (const std::filesystem::path& path : {folder, folder / "t6-no-such-sim.conf"}) {
    const sim::ConfigResult loaded = sim::LoadSimConfigFile(path.string());
    EXPECT_FALSE(loaded.ok) << path;
    EXPECT_EQ(0, loaded.errorLine) << path;
    EXPECT_NE(std::string::npos, loaded.error.find(path.string())) << loaded.error;
  }
}

}  // namespace
