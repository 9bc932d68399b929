#include "transfer/rq_data_play.h"

#include <cstring>

namespace {

constexpr std::uint8_t kMeta = 0xFF;
constexpr std::uint8_t kSysEx = 0xF0;
constexpr std::uint8_t kEndOfTrack = 0x2F;
constexpr int kTrack0 = 0;

}  // namespace

const char* RefusalText(Refusal refusal) {
  switch (refusal) {
    case Refusal::kNone:
      break;
    case Refusal::kBrokenTrack:
      return "track 0 does not reach End of Track";
    case Refusal::kNoFirmware:
      return "track 0 holds no SysEx message: no firmware";
    case Refusal::kTicksWrap:
      return "the sum of the delta times wraps past 32 bits";
    case Refusal::kScheduleTooLong:
      return "the last SysEx message is due more than one hour after the start";
  }
  return "";
}

std::uint64_t DueMillisecondsWide(std::uint32_t ticks, std::uint32_t tempo, std::uint16_t division) {
  const std::uint64_t product = static_cast<std::uint64_t>(ticks) * tempo;
  return product / (static_cast<std::uint64_t>(division) * 1000u);
}

std::uint32_t DueMilliseconds(std::uint32_t ticks, std::uint32_t tempo, std::uint16_t division) {
  return static_cast<std::uint32_t>(DueMillisecondsWide(ticks, tempo, division));
}

std::uint32_t ProgressPercent(std::uint32_t eventEnd, std::uint32_t trackLength) {
  if (trackLength == 0) return 0;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(eventEnd) * 100u / trackLength);
}

// What the walk hands on: every SysEx message that is well-formed, and the end
// of every event read.
class CRQDataPlay::TrackVisitor {
 public:
  // False ends the walk at once, with the error field left at -1.
  virtual bool OnSysEx(std::uint32_t ticks, const std::uint8_t* message, std::uint32_t length) = 0;
  // ticks: the event's time, the sum of the delta times so far in 32 bits.
  virtual void OnEventEnd(std::uint32_t eventEnd, std::uint32_t ticks) = 0;

 protected:
  ~TrackVisitor() = default;
};

// Play's visitor: waits for each message's due time and writes it in chunks.
class CRQDataPlay::Streamer final : public TrackVisitor {
 public:
  Streamer(CRQDataPlay& player, ProgressBar& progressBar, std::uint32_t tempo, const TransferLink& link)
      : player_(player), progressBar_(progressBar), link_(link), tempo_(tempo), start_(link.counter.Now()) {}

  bool OnSysEx(std::uint32_t ticks, const std::uint8_t* message, std::uint32_t length) override {
    // Absolute pacing: every message is measured from the start, so one that
    // leaves late does not delay the rest.
    if (!WaitUntilDue(DueMilliseconds(ticks, tempo_, player_.division_))) return false;

    // The first chunk carries the status byte, so it takes one message byte less.
    std::uint32_t n = length < kSlotSize - 1 ? length : kSlotSize - 1;
    std::uint8_t* slot = player_.ring_[slot_];
    slot[0] = kSysEx;
    std::memcpy(slot + 1, message, n);
    if (!Write(n + 1)) return false;
    message += n;
    length -= n;

    // A stop waits for the message's last chunk: the device must never be
    // left with a message cut in half.
    while (length > 0) {
      n = length < kSlotSize ? length : kSlotSize;
      std::memcpy(player_.ring_[slot_], message, n);
      if (!Write(n)) return false;
      message += n;
      length -= n;
    }
    return true;
  }

  void OnEventEnd(std::uint32_t eventEnd, std::uint32_t) override {
    progressBar_.SetPos(ProgressPercent(eventEnd, player_.tracks_[kTrack0].length));
  }

 private:
  // False when a stop was requested first. A sleep may overshoot: it ends the
  // spin margin before the due time, and the counter has the last word.
  bool WaitUntilDue(std::uint32_t due) {
    for (;;) {
      if (link_.stop.StopRequested()) return false;
      const std::uint32_t elapsed = link_.counter.Now() - start_;
      if (elapsed >= due) return true;
      const std::uint32_t remaining = due - elapsed;
      if (link_.sleeper != nullptr && remaining > kSpinMarginMs) {
        const std::uint32_t nap = remaining - kSpinMarginMs;
        link_.sleeper->Sleep(nap < kSleepSliceMs ? nap : kSleepSliceMs);
      }
    }
  }

  // The port may keep reading a slot until 15 further writes have been made,
  // so a slot is reused only after all the others.
  bool Write(std::uint32_t count) {
    const std::uint8_t* bytes = player_.ring_[slot_];
    if (FAILED(TimedCall(link_.calls, [&] { return link_.port.Write(0, count, bytes, count); }))) return false;
    slot_ = (slot_ + 1) % kSlotCount;
    return true;
  }

  CRQDataPlay& player_;
  ProgressBar& progressBar_;
  const TransferLink& link_;
  const std::uint32_t tempo_;
  const std::uint32_t start_;
  int slot_ = 0;
};

// Verify's visitor: sends nothing, only counts what Play would send.
class CRQDataPlay::Survey final : public TrackVisitor {
 public:
  bool OnSysEx(std::uint32_t ticks, const std::uint8_t*, std::uint32_t length) override {
    ++summary.messages;
    // The first chunk holds up to 4095 message bytes, each further one 4096.
    const std::uint32_t rest = length > kSlotSize - 1 ? length - (kSlotSize - 1) : 0;
    summary.writes += 1 + (rest + kSlotSize - 1) / kSlotSize;
    summary.bytes += static_cast<std::uint64_t>(length) + 1;
    summary.lastMessageTicks = ticks;
    return true;
  }
  // A delta time is below 2^32: the sum wrapped exactly when it went down.
  void OnEventEnd(std::uint32_t, std::uint32_t ticks) override {
    ticksWrapped = ticksWrapped || ticks < lastTicks;
    lastTicks = ticks;
  }

  TrackSummary summary;
  bool ticksWrapped = false;

 private:
  std::uint32_t lastTicks = 0;
};

CRQDataPlay::CRQDataPlay() noexcept {}  // user-provided, so that the ring is never zeroed

void CRQDataPlay::Play(ProgressBar& progressBar, std::uint32_t tempo, const TransferLink& link) {
  progressBar.SetRange(0, 100);
  Streamer streamer(*this, progressBar, tempo, link);
  WalkTrack0(streamer);
}

bool CRQDataPlay::Verify(std::uint32_t tempo, TrackSummary* summary) {
  Survey survey;
  WalkTrack0(survey);
  TrackSummary& found = survey.summary;
  if (error_ != kOk) {
    found.refusal = Refusal::kBrokenTrack;
  } else if (found.messages == 0) {
    found.refusal = Refusal::kNoFirmware;
  } else if (survey.ticksWrapped) {
    found.refusal = Refusal::kTicksWrap;
  } else if (DueMillisecondsWide(found.lastMessageTicks, tempo, division_) > kLongestScheduleMs) {
    found.refusal = Refusal::kScheduleTooLong;
  }
  if (summary != nullptr) *summary = found;
  if (found.refusal == Refusal::kNone) return true;
  error_ = kNotSmf;
  return false;
}

void CRQDataPlay::WalkTrack0(TrackVisitor& visitor) {
  error_ = kNotFinished;
  // Due times divide by the division; Load already refuses 0.
  if (division_ == 0) {
    error_ = kMalformed;
    return;
  }

  const Track& track = tracks_[kTrack0];
  std::uint32_t position = kChunkHeaderSize;
  std::uint8_t runningStatus = 0;
  std::uint32_t ticks = 0;
  for (;;) {
    ticks += ReadVarLen(position, kTrack0);
    if (error_ != kNotFinished || position >= track.length) return;

    // Every status byte sets running status, SysEx and meta ones included.
    if (data_[track.offset + position] & 0x80) runningStatus = ReadByte(position, kTrack0);
    const std::uint32_t eventEnd = position + GetEventLength(runningStatus, position, kTrack0);

    if (runningStatus == kMeta) {
      const std::uint8_t type = ReadByte(position, kTrack0);
      // An End of Track whose length is cut off or runs past the track is
      // malformed: it must not report the track as finished.
      if (type == kEndOfTrack && error_ == kNotFinished) error_ = kOk;
    } else if (runningStatus == kSysEx && error_ == kNotFinished) {
      const std::uint32_t length = ReadVarLen(position, kTrack0);
      if (!visitor.OnSysEx(ticks, data_ + track.offset + position, length)) return;
    }

    position = eventEnd;
    visitor.OnEventEnd(eventEnd, ticks);
    if (error_ != kNotFinished) return;
  }
}
