// CRQDataPlay: the player that streams the SysEx messages of track 0 to the
// device's port, each at its due time, through a ring of 16 transmit slots.
#pragma once

#include <cstdint>

#include "smf/smf.h"
#include "transfer/transfer_ports.h"

// Why a loaded file cannot be played.
enum class Refusal {
  kNone,
  kBrokenTrack,      // Play would not reach End of Track
  kNoFirmware,       // track 0 holds no SysEx message
  kTicksWrap,        // the sum of the delta times wraps past 32 bits
  kScheduleTooLong,  // the last message is due more than an hour after the start
};
const char* RefusalText(Refusal refusal);

// What a walk of track 0 found, for the command-line checker.
struct TrackSummary {
  std::uint32_t messages = 0;
  std::uint32_t writes = 0;
  std::uint64_t bytes = 0;  // as written: each message's 0xF0 included
  std::uint32_t lastMessageTicks = 0;
  Refusal refusal = Refusal::kNone;
};

// (ticks x tempo) / (division x 1000), the product in 64 bits, the quotient
// truncated. division must not be 0.
std::uint64_t DueMillisecondsWide(std::uint32_t ticks, std::uint32_t tempo, std::uint16_t division);
// Its low 32 bits, as the transfer measures them against the counter.
std::uint32_t DueMilliseconds(std::uint32_t ticks, std::uint32_t tempo, std::uint16_t division);

// (eventEnd x 100) / trackLength in 64 bits: 32 bits overflow past 42 MB.
std::uint32_t ProgressPercent(std::uint32_t eventEnd, std::uint32_t trackLength);

class CRQDataPlay : public CSMF {
 public:
  static constexpr int kSlotCount = 16;
  static constexpr std::uint32_t kSlotSize = 4096;
  // With a sleeper, the wait for a message sleeps while more than the spin
  // margin remains, at most a slice at a time so that a stop is seen within
  // one slice, then spins on the counter.
  static constexpr std::uint32_t kSpinMarginMs = 1;
  static constexpr std::uint32_t kSleepSliceMs = 5;
  // A firmware transfer takes minutes: a file whose last message is due later
  // than this after the start would keep "Installing..." on screen, the
  // session from ending and the machine awake for as long.
  static constexpr std::uint64_t kLongestScheduleMs = std::uint64_t{60} * 60 * 1000;

  CRQDataPlay() noexcept;

  // Streams track 0 from its start, paced from the first counter reading at
  // the given tempo (Set Tempo events are ignored); a message never leaves
  // before the counter shows it due, however the sleeper's sleeps turn out. Afterwards the error field
  // is 0 when End of Track was reached; -1 (a write failed, a stop was
  // requested, or the track ends after a delta time) or 6 (malformed event,
  // no End of Track) when the transfer failed. Allocates nothing.
  void Play(ProgressBar& progressBar, std::uint32_t tempo, const TransferLink& link);

  // Walks track 0 exactly as Play does, without waiting or sending. True when
  // Play at this tempo would reach End of Track on a port that takes every
  // write, having sent at least one SysEx message, the last one due at most
  // kLongestScheduleMs after the start, and without the sum of delta times
  // wrapping past 32 bits on the way (the due times would run backwards).
  // Otherwise error 7, so that the file is refused like any other format error.
  bool Verify(std::uint32_t tempo, TrackSummary* summary = nullptr);

 private:
  class TrackVisitor;
  class Streamer;
  class Survey;

  // The one walk of track 0 that Play and Verify share.
  void WalkTrack0(TrackVisitor& visitor);

  // Left uninitialised: every chunk is copied in before it is written.
  std::uint8_t ring_[kSlotCount][kSlotSize];
};
