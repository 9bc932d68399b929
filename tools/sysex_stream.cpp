#include "tools/sysex_stream.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <utility>

namespace {

constexpr std::uint64_t kTempo = 500000;       // µs per quarter note; Set Tempo events are ignored
constexpr std::size_t kFirstChunkBody = 4095;  // after the 0xF0
constexpr std::size_t kChunkBytes = 4096;
constexpr std::size_t kHeaderBytes = 14;
constexpr std::size_t kTrackStart = kHeaderBytes + 8;

// A cursor over [data, data + size) that checks every read first.
class Cursor {
 public:
  Cursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool AtEnd() const { return pos_ == size_; }
  std::size_t offset() const { return pos_; }
  bool Peek(std::uint8_t& out) const {
    if (pos_ == size_) return false;
    out = data_[pos_];
    return true;
  }
  bool Byte(std::uint8_t& out) {
    if (!Peek(out)) return false;
    ++pos_;
    return true;
  }
  bool Take(std::size_t count, const std::uint8_t*& out) {
    if (size_ - pos_ < count) return false;
    out = data_ + pos_;
    pos_ += count;
    return true;
  }
  bool Skip(std::size_t count) {
    const std::uint8_t* ignored = nullptr;
    return Take(count, ignored);
  }
  // A variable-length quantity of at most four bytes, as in every SMF.
  bool VarLen(std::uint32_t& out) {
    out = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b = 0;
      if (!Byte(b)) return false;
      out = (out << 7) | (b & 0x7Fu);
      if ((b & 0x80) == 0) return true;
    }
    return false;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

std::uint32_t BigEndian(const std::uint8_t* p, int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = (value << 8) | p[i];
  return value;
}

bool HasTag(const std::vector<std::uint8_t>& file, std::size_t at, const char (&tag)[5]) {
  return file.size() >= at + 4 && std::equal(tag, tag + 4, file.begin() + static_cast<std::ptrdiff_t>(at));
}

bool Fail(std::string& error, std::string reason) {
  error = std::move(reason);
  return false;
}

std::vector<std::vector<std::uint8_t>> Chunk(const std::uint8_t* body, std::size_t length) {
  const std::size_t first = std::min(length, kFirstChunkBody);
  std::vector<std::vector<std::uint8_t>> chunks(1, std::vector<std::uint8_t>{0xF0});
  chunks[0].insert(chunks[0].end(), body, body + first);
  for (std::size_t at = first; at < length; at += kChunkBytes) {
    chunks.emplace_back(body + at, body + at + std::min(kChunkBytes, length - at));
  }
  return chunks;
}

// (to - from) ticks in microseconds; split so that it cannot overflow for any
// counter rate below about 1.8e13 per second.
std::int64_t ElapsedUs(std::uint64_t from, std::uint64_t to, std::uint64_t ticksPerSecond) {
  const bool backwards = to < from;
  const std::uint64_t d = backwards ? from - to : to - from;
  const std::uint64_t us = d / ticksPerSecond * 1000000u + d % ticksPerSecond * 1000000u / ticksPerSecond;
  return backwards ? -static_cast<std::int64_t>(us) : static_cast<std::int64_t>(us);
}

struct Place {
  std::size_t message;
  std::size_t chunk;
  std::size_t chunksInMessage;
  const std::vector<std::uint8_t>* bytes;
};

std::string Where(std::size_t write, const Place& p) {
  return "write " + std::to_string(write) + " (message " + std::to_string(p.message) + ", chunk " +
         std::to_string(p.chunk + 1) + " of " + std::to_string(p.chunksInMessage) + ")";
}

std::string Hex(std::uint8_t b) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(b));
  return text;
}

std::string DescribeDifference(std::size_t write, const Place& p, const std::vector<std::uint8_t>& got) {
  const std::vector<std::uint8_t>& expected = *p.bytes;
  std::string text = Where(write, p) + ":";
  if (expected.size() != got.size()) {
    text += " expected " + std::to_string(expected.size()) + " bytes, got " + std::to_string(got.size()) + ";";
  }
  const std::size_t shorter = std::min(expected.size(), got.size());
  std::size_t at = 0;
  while (at < shorter && expected[at] == got[at]) ++at;
  if (at < shorter) {
    text +=
        " first difference at byte " + std::to_string(at) + ": expected " + Hex(expected[at]) + ", got " + Hex(got[at]);
  } else {
    text += " the same up to the shorter";
  }
  return text;
}

}  // namespace

bool ReadSysExStream(const std::vector<std::uint8_t>& file, SysExStream& stream, std::string& error) {
  stream = SysExStream{};
  if (file.size() < kHeaderBytes || !HasTag(file, 0, "MThd")) return Fail(error, "no MThd header");
  if (BigEndian(file.data() + 4, 4) != 6) return Fail(error, "header length is not 6");
  stream.division = static_cast<std::uint16_t>(BigEndian(file.data() + 12, 2));
  if (stream.division == 0) return Fail(error, "division 0");
  if (BigEndian(file.data() + 10, 2) == 0) return Fail(error, "no track");
  if (file.size() < kTrackStart || !HasTag(file, kHeaderBytes, "MTrk")) {
    return Fail(error, "no MTrk chunk after the header");
  }
  const std::uint32_t length = BigEndian(file.data() + kHeaderBytes + 4, 4);
  if (length > file.size() - kTrackStart) {
    return Fail(error, "track 0 runs past the end of the file");
  }

  Cursor track(file.data() + kTrackStart, length);
  std::uint64_t ticks = 0;  // at most 2^28 per event over at most 2^32 bytes: cannot overflow
  std::uint8_t status = 0;
  for (;;) {
    if (track.AtEnd()) return Fail(error, "track 0 has no End of Track");
    const std::size_t start = track.offset();
    const auto malformed = [&error, start] {
      return Fail(error, "malformed event at byte " + std::to_string(start) + " of track 0");
    };
    std::uint32_t delta = 0;
    std::uint8_t next = 0;
    if (!track.VarLen(delta) || !track.Peek(next)) return malformed();
    ticks += delta;
    if ((next & 0x80) != 0) {
      track.Skip(1);
      status = next;  // every status byte, SysEx and meta included, becomes the running status
    } else if (status == 0) {
      return malformed();
    }

    bool ok = false;
    switch (status & 0xF0) {
      case 0x80:
      case 0x90:
      case 0xA0:
      case 0xB0:
      case 0xE0:
        ok = track.Skip(2);
        break;
      case 0xC0:
      case 0xD0:
        ok = track.Skip(1);
        break;
      default:
        break;
    }
    if (status == 0xF0 || status == 0xF7) {
      std::uint32_t size = 0;
      const std::uint8_t* body = nullptr;
      ok = track.VarLen(size) && track.Take(size, body);
      if (ok && status == 0xF0) {
        constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();
        const std::uint64_t dueMs = ticks > kMax32 ? 0 : ticks * kTempo / (std::uint64_t{stream.division} * 1000);
        if (ticks > kMax32 || dueMs > kMax32) {
          return Fail(error, "message time out of range at byte " + std::to_string(start) + " of track 0");
        }
        ExpectedMessage message;
        message.ticks = static_cast<std::uint32_t>(ticks);
        message.dueMs = static_cast<std::uint32_t>(dueMs);
        message.chunks = Chunk(body, size);
        stream.chunkCount += message.chunks.size();
        stream.byteCount += std::uint64_t{size} + 1;
        stream.messages.push_back(std::move(message));
      }
    } else if (status == 0xFF) {
      std::uint8_t type = 0;
      std::uint32_t size = 0;
      if (!track.Byte(type)) return malformed();
      ok = track.VarLen(size) && track.Skip(size);
      // Only a whole End of Track ends the track; nothing after it is read.
      if (ok && type == 0x2F) return true;
    }
    if (!ok) return malformed();
  }
}

CaptureCheck CheckCapture(const SysExStream& stream, const std::vector<sim::CapturedWrite>& writes,
                          std::uint64_t ticksPerSecond, std::uint64_t startedAfter) {
  CaptureCheck check;
  std::vector<Place> places;
  std::vector<std::size_t> firstChunk;  // per message, its place in the write sequence
  for (std::size_t m = 0; m < stream.messages.size(); ++m) {
    const auto& chunks = stream.messages[m].chunks;
    firstChunk.push_back(places.size());
    for (std::size_t c = 0; c < chunks.size(); ++c) {
      places.push_back({m, c, chunks.size(), &chunks[c]});
    }
  }

  for (const sim::CapturedWrite& w : writes) {
    if (w.result < 0) ++check.failedWrites;
  }
  const std::size_t common = std::min(writes.size(), places.size());
  for (std::size_t i = 0; i < common && check.mismatch.empty(); ++i) {
    if (writes[i].bytes != *places[i].bytes) {
      check.mismatch = DescribeDifference(i, places[i], writes[i].bytes);
    }
  }
  check.prefix = check.mismatch.empty() && writes.size() <= places.size();
  if (check.mismatch.empty() && writes.size() < places.size()) {
    check.mismatch = Where(writes.size(), places[writes.size()]) + " missing: " + std::to_string(writes.size()) +
                     " writes captured, " + std::to_string(places.size()) + " expected";
  } else if (check.mismatch.empty() && writes.size() > places.size()) {
    check.mismatch = "write " + std::to_string(places.size()) + " (" +
                     std::to_string(writes[places.size()].bytes.size()) +
                     " bytes) after the last message: " + std::to_string(writes.size()) + " writes captured, " +
                     std::to_string(places.size()) + " expected";
  }
  check.equal = check.mismatch.empty();

  if (ticksPerSecond == 0 || writes.empty()) return check;
  // Without a reading from before the start, the first message's first chunk
  // is the reference for both the due and the actual times, so a late first
  // message shortens every later gap by its own lateness.
  check.fromBeforeStart = startedAfter != 0;
  const std::uint64_t reference = check.fromBeforeStart ? startedAfter : writes[0].ticks;
  const std::int64_t dueMs0 = check.fromBeforeStart || stream.messages.empty() ? 0 : stream.messages[0].dueMs;
  for (std::size_t m = 0; m < firstChunk.size() && firstChunk[m] < writes.size(); ++m) {
    check.departures.push_back({(static_cast<std::int64_t>(stream.messages[m].dueMs) - dueMs0) * 1000,
                                ElapsedUs(reference, writes[firstChunk[m]].ticks, ticksPerSecond)});
  }
  return check;
}

bool EndsAtFirstFailure(const std::vector<sim::CapturedWrite>& writes) {
  const auto failed =
      std::find_if(writes.begin(), writes.end(), [](const sim::CapturedWrite& w) { return w.result < 0; });
  return failed == writes.end() || failed + 1 == writes.end();
}

std::size_t CountEarly(const CaptureCheck& check) {
  const std::int64_t tolerance = check.fromBeforeStart ? 0 : kEarlyToleranceUs;
  return static_cast<std::size_t>(
      std::count_if(check.departures.begin(), check.departures.end(),
                    [tolerance](const Departure& d) { return d.actual + tolerance < d.due; }));
}
