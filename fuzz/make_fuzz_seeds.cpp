// Writes the fuzzers' starting corpora, one folder per target:
//   make_fuzz_seeds <folder>
// gives <folder>/smf_fuzz (small valid update files, and one with a message of
// several write chunks) and <folder>/sim_config_fuzz (a configuration using
// every key). discovery_fuzz starts from nothing.
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/smf_builder.h"

namespace {

bool Write(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

constexpr char kConfig[] =
    "# every key\r\n"
    "classes = both\n"
    "node = 1 2 0x000A7610 0x7606\n"
    "port = 9 FIRM\n"
    "node = 3 4 0x000A7610 0x7610 from=5\n"
    "port = 0x20 0x4D494449\n"
    "get_node_list = fail 1\n"
    "open_device = null 2-3\n"
    "get_port_list = fail 4-\n"
    "open_port = ok\n"
    "write_fail_at = 40\n"
    "write_latency_us = 200\n"
    "write_bytes_per_second = 3125\n"
    "stats_file = C:\\temp\\sim.stats\n"
    "capture_file = /tmp/sim.capture\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string smf = std::string(argv[1]) + "/smf_fuzz";
  const std::string config = std::string(argv[1]) + "/sim_config_fuzz";
  std::error_code error;
  std::filesystem::create_directories(smf, error);
  std::filesystem::create_directories(config, error);

  const Bytes firmware = SyntheticFirmware(300, 1);
  TrackBuilder sysex;
  sysex.Delta(0).SetTempo(500000);
  sysex.Delta(0).SysEx(FirmwareBlockBody(0, firmware.data(), 100));
  sysex.Delta(96).Raw({0x90, 0x3C, 0x40}).Delta(10).Raw({0x3C, 0x00});  // note, running status
  sysex.Delta(0).Raw({0xF7, 0x01, 0x00});
  sysex.Delta(480).SysEx(FirmwareBlockBody(1, firmware.data() + 100, 200));
  sysex.Delta(0).EndOfTrack();

  TrackBuilder empty;
  empty.Delta(0).EndOfTrack();

  // 8000 bytes packed seven to eight: one message of three 4096-byte writes.
  const Bytes large = SyntheticFirmware(8000, 2);
  TrackBuilder longMessage;
  longMessage.Delta(0).SysEx(FirmwareBlockBody(0, large.data(), large.size()));
  longMessage.Delta(0).EndOfTrack();

  bool ok = Write(smf + "/sysex.mid", BuildSmf(0, 480, {sysex.body()}));
  ok = Write(smf + "/two-tracks.mid", BuildSmf(1, 96, {empty.body(), sysex.body()})) && ok;
  ok = Write(smf + "/end-only.mid", BuildSmf(0, 480, {empty.body()})) && ok;
  ok = Write(smf + "/long-message.mid", BuildSmf(0, 480, {longMessage.body()})) && ok;
  ok = Write(config + "/every-key.conf", Bytes(kConfig, kConfig + sizeof kConfig - 1)) && ok;
  return ok ? 0 : 1;
}
