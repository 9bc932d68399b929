#include "tools/smf_builder.h"

void AppendVarLen(Bytes& out, std::uint32_t value) {
  std::uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (n > 1) out.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

void AppendBigEndian(Bytes& out, std::uint32_t value, int byteCount) {
  for (int shift = (byteCount - 1) * 8; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

TrackBuilder& TrackBuilder::Delta(std::uint32_t ticks) {
  AppendVarLen(body_, ticks);
  return *this;
}

TrackBuilder& TrackBuilder::SysEx(const Bytes& body) {
  body_.push_back(0xF0);
  AppendVarLen(body_, static_cast<std::uint32_t>(body.size()));
  body_.insert(body_.end(), body.begin(), body.end());
  return *this;
}

TrackBuilder& TrackBuilder::Meta(std::uint8_t type, const Bytes& payload) {
  body_.push_back(0xFF);
  body_.push_back(type);
  AppendVarLen(body_, static_cast<std::uint32_t>(payload.size()));
  body_.insert(body_.end(), payload.begin(), payload.end());
  return *this;
}

TrackBuilder& TrackBuilder::SetTempo(std::uint32_t microsecondsPerQuarter) {
  Bytes payload;
  AppendBigEndian(payload, microsecondsPerQuarter, 3);
  return Meta(0x51, payload);
}

TrackBuilder& TrackBuilder::EndOfTrack() { return Meta(0x2F, {}); }

TrackBuilder& TrackBuilder::Raw(const Bytes& bytes) {
  body_.insert(body_.end(), bytes.begin(), bytes.end());
  return *this;
}

Bytes BuildHeader(std::uint16_t format, std::uint16_t trackCount, std::uint16_t division) {
  Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
  AppendBigEndian(out, format, 2);
  AppendBigEndian(out, trackCount, 2);
  AppendBigEndian(out, division, 2);
  return out;
}

Bytes BuildTrackChunk(const Bytes& body) {
  Bytes out = {'M', 'T', 'r', 'k'};
  AppendBigEndian(out, static_cast<std::uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes BuildSmf(std::uint16_t format, std::uint16_t division, const std::vector<Bytes>& tracks) {
  Bytes out = BuildHeader(format, static_cast<std::uint16_t>(tracks.size()), division);
  for (const Bytes& body : tracks) {
    const Bytes chunk = BuildTrackChunk(body);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return out;
}

Bytes FirmwareBlockBody(std::uint32_t blockNumber, const std::uint8_t* bytes, std::size_t count) {
  Bytes body = {0x7D, static_cast<std::uint8_t>((blockNumber >> 7) & 0x7F),
                static_cast<std::uint8_t>(blockNumber & 0x7F)};
  std::uint8_t checksum = 0;
  for (std::size_t group = 0; group < count; group += 7) {
    const std::size_t end = group + 7 < count ? group + 7 : count;
    std::uint8_t topBits = 0;
    for (std::size_t i = group; i < end; ++i) {
      topBits = static_cast<std::uint8_t>(topBits | ((bytes[i] >> 7) << (i - group)));
    }
    body.push_back(topBits);
    checksum ^= topBits;
    for (std::size_t i = group; i < end; ++i) {
      const auto low = static_cast<std::uint8_t>(bytes[i] & 0x7F);
      body.push_back(low);
      checksum ^= low;
    }
  }
  body.push_back(checksum);
  body.push_back(0xF7);
  return body;
}

Bytes SyntheticFirmware(std::size_t size, std::uint32_t seed) {
  Bytes image(size);
  std::uint32_t state = seed;
  for (auto& byte : image) {
    state = state * 1664525u + 1013904223u;  // a plain LCG: reproducible everywhere
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return image;
}
