// Builds Standard MIDI Files in memory: for the sample update file, the tests,
// the fuzzer's seeds and the benchmarks.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

void AppendVarLen(Bytes& out, std::uint32_t value);
void AppendBigEndian(Bytes& out, std::uint32_t value, int byteCount);

// The events of one track chunk, in order; each method appends one item.
class TrackBuilder {
 public:
  TrackBuilder& Delta(std::uint32_t ticks);
  // 0xF0, the length, then body (which should end with 0xF7).
  TrackBuilder& SysEx(const Bytes& body);
  TrackBuilder& Meta(std::uint8_t type, const Bytes& payload);
  TrackBuilder& SetTempo(std::uint32_t microsecondsPerQuarter);
  TrackBuilder& EndOfTrack();
  TrackBuilder& Raw(const Bytes& bytes);  // anything, for malformed events
  const Bytes& body() const { return body_; }

 private:
  Bytes body_;
};

// "MThd" with length 6, format, track count and division; then one "MTrk"
// chunk per track body.
Bytes BuildSmf(std::uint16_t format, std::uint16_t division, const std::vector<Bytes>& tracks);
Bytes BuildHeader(std::uint16_t format, std::uint16_t trackCount, std::uint16_t division);
Bytes BuildTrackChunk(const Bytes& body);

// A firmware block as the body of one SysEx message: the non-commercial
// manufacturer ID 0x7D, a 14-bit block number, the bytes packed seven bits at a
// time (each group of up to seven bytes is led by a byte of their top bits), a
// 7-bit checksum and the closing 0xF7.
Bytes FirmwareBlockBody(std::uint32_t blockNumber, const std::uint8_t* bytes, std::size_t count);

// A deterministic pseudo-random firmware image.
Bytes SyntheticFirmware(std::size_t size, std::uint32_t seed);
