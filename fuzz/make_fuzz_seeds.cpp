// Writes a few small, valid update files as the fuzzer's starting corpus.
//   make_fuzz_seeds <folder>
#include <cstdio>
#include <string>

#include "tools/smf_builder.h"

namespace {

bool Write(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string folder = argv[1];
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

  bool ok = Write(folder + "/sysex.mid", BuildSmf(0, 480, {sysex.body()}));
  ok = Write(folder + "/two-tracks.mid", BuildSmf(1, 96, {empty.body(), sysex.body()})) && ok;
  ok = Write(folder + "/end-only.mid", BuildSmf(0, 480, {empty.body()})) && ok;
  return ok ? 0 : 1;
}
