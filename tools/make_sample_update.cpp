// Writes the bundled sample update file: a synthetic firmware image carried as
// SysEx messages in track 0 of a format-0 Standard MIDI File.
//   make_sample_update <output.mid> [firmware-bytes] [block-bytes]
#include <cstdio>
#include <cstdlib>

#include "tools/smf_builder.h"

namespace {

constexpr std::uint16_t kDivision = 480;
constexpr std::uint32_t kBlockSpacingTicks = 24;  // 25 ms at 500000 us per quarter note
constexpr std::uint32_t kEraseTimeTicks = 480;    // one second for the device to erase its flash

Bytes SampleTrack(const Bytes& firmware, std::size_t blockBytes) {
  TrackBuilder track;
  track.Delta(0).SetTempo(500000);
  track.Delta(0).Meta(0x58, {4, 2, 24, 8});  // 4/4
  // An opening message announcing the image size, then the blocks.
  const auto size = static_cast<std::uint32_t>(firmware.size());
  track.Delta(0).SysEx({0x7D, 0x7F, 0x7F, static_cast<std::uint8_t>((size >> 21) & 0x7F),
                        static_cast<std::uint8_t>((size >> 14) & 0x7F), static_cast<std::uint8_t>((size >> 7) & 0x7F),
                        static_cast<std::uint8_t>(size & 0x7F), 0xF7});
  std::uint32_t delta = kEraseTimeTicks;
  std::uint32_t block = 0;
  for (std::size_t at = 0; at < firmware.size(); at += blockBytes, ++block) {
    const std::size_t n = firmware.size() - at < blockBytes ? firmware.size() - at : blockBytes;
    track.Delta(delta).SysEx(FirmwareBlockBody(block, firmware.data() + at, n));
    delta = kBlockSpacingTicks;
  }
  track.Delta(kBlockSpacingTicks).EndOfTrack();
  return track.body();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: %s <output.mid> [firmware-bytes] [block-bytes]\n", argv[0]);
    return 2;
  }
  const std::size_t firmwareBytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 96 * 1024;
  const std::size_t blockBytes = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1024;
  if (blockBytes == 0 || blockBytes > 16 * 1024 * 1024) {
    std::fprintf(stderr, "block size must be 1 to 16777216 bytes\n");
    return 2;
  }

  const Bytes firmware = SyntheticFirmware(firmwareBytes, 0x7610u);
  const Bytes file = BuildSmf(0, kDivision, {SampleTrack(firmware, blockBytes)});

  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  if (std::fclose(out) != 0 || !written) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
