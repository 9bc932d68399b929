#include "smf/smf.h"

#include <new>

#include "smf/update_file_reader.h"

namespace {

constexpr std::uint32_t kTrackTag = 0x4D54726Bu;  // "MTrk"
constexpr std::uint8_t kHeaderTag[8] = {'M', 'T', 'h', 'd', 0, 0, 0, 6};

std::uint16_t BigEndian16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

}  // namespace

CSMF::CSMF() noexcept {
  SplitTracks();
  ResetPlayState();
}

CSMF::~CSMF() {
  if (secondBuffer_ != nullptr && secondBuffer_ != data_) delete[] secondBuffer_;
  delete[] data_;
}

void CSMF::DropFile() {
  if (data_ == nullptr) return;
  if (secondBuffer_ == data_) {
    secondBuffer_ = nullptr;
    secondBufferLength_ = 0;
    ResetPlayState();
  }
  delete[] data_;
  data_ = nullptr;
}

bool CSMF::Load(const char* path) {
  UpdateFileReader file;
  return LoadFrom(path, file);
}

bool CSMF::LoadFrom(const char* path, UpdateFileSource& file) {
  DropFile();

  switch (file.Open(path)) {
    case UpdateFileSource::OpenResult::kOpened:
      break;
    case UpdateFileSource::OpenResult::kNotFound:
      error_ = kFileNotFound;
      return false;
    case UpdateFileSource::OpenResult::kFailed:
      error_ = kOpenFailed;
      return false;
  }

  std::uint64_t length = 0;
  if (!file.QueryLength(length)) {
    error_ = kOpenFailed;
    return false;
  }
  if (length == 0) {
    error_ = kNotSmf;
    return false;
  }
  // Lengths are 32-bit throughout; a larger file is refused, never wrapped.
  if (length > UINT32_MAX) {
    error_ = kNoMemory;
    return false;
  }

  const auto size = static_cast<std::uint32_t>(length);
  data_ = new (std::nothrow) std::uint8_t[size];
  if (data_ == nullptr) {
    error_ = kNoMemory;
    return false;
  }
  size_ = size;

  // Bytes that were not read are never parsed.
  if (!file.ReadAll(data_, size_)) {
    DropFile();
    error_ = kOpenFailed;
    return false;
  }

  if (!SplitTracks()) {
    error_ = kNotSmf;
    return false;
  }
  // A division of 0 ticks per quarter note cannot pace a transfer.
  if (division_ == 0) {
    error_ = kNotSmf;
    return false;
  }
  error_ = kOk;
  return true;
}

std::uint32_t CSMF::CheckHeader() {
  // After a failed Load the size is the old file's, but the data is gone.
  if (data_ == nullptr || size_ < kHeaderSize) {
    error_ = kMalformed;
    return 0;
  }
  for (std::uint32_t i = 0; i < sizeof(kHeaderTag); ++i) {
    if (data_[i] != kHeaderTag[i]) {
      error_ = kMalformed;
      return 0;
    }
  }
  format_ = BigEndian16(data_ + 8);
  trackCount_ = BigEndian16(data_ + 10);
  division_ = BigEndian16(data_ + 12);
  if (format_ > 2) {
    error_ = kNotSmf;
    return 0;
  }
  if (trackCount_ == 0 || trackCount_ > kMaxTracks) {
    error_ = kMalformed;
    return 0;
  }
  return kHeaderSize;
}

void CSMF::SetTrack(int index, std::uint32_t offset, std::uint32_t length) {
  tracks_[index].offset = offset;
  tracks_[index].length = length;
}

bool CSMF::SplitTracks() {
  trackCount_ = 0;
  parsedEnd_ = 0;
  for (int i = 0; i < kMaxTracks; ++i) SetTrack(i, 0, 0);
  if (data_ == nullptr) {
    error_ = kOk;
    return true;
  }

  error_ = kNotFinished;
  if (CheckHeader() == 0) return false;

  std::uint32_t pos = kHeaderSize;
  std::uint32_t end = pos;
  for (int i = 0; i < trackCount_; ++i) {
    // While the chunk header is read, track i spans the whole file.
    SetTrack(i, 0, size_);
    const std::uint32_t tag = pos;
    if (ReadUInt32(pos, i) != kTrackTag) {
      error_ = kMalformed;
      break;
    }
    const std::uint32_t chunkLength = ReadUInt32(pos, i);
    if (error_ != kNotFinished || static_cast<std::uint64_t>(pos) + chunkLength > size_) {
      error_ = kMalformed;
      break;
    }
    end = pos + chunkLength;
    SetTrack(i, tag, end - tag);
    pos = end;
  }
  if (error_ != kNotFinished) return false;
  parsedEnd_ = end;
  error_ = kOk;
  return true;
}

bool CSMF::ResetPlayState() {
  playState_ = PlayState{};
  return true;
}

bool CSMF::Holds(int track, std::uint32_t position, std::uint64_t n) const {
  if (data_ == nullptr || track < 0 || track >= kMaxTracks) return false;
  return position + n <= tracks_[track].length;
}

std::uint8_t CSMF::ReadByte(std::uint32_t& position, int track) {
  if (!Holds(track, position, 1)) {
    error_ = kMalformed;
    return 0;
  }
  return data_[static_cast<std::uint64_t>(tracks_[track].offset) + position++];
}

std::uint32_t CSMF::ReadUInt32(std::uint32_t& position, int track) {
  if (!Holds(track, position, 4)) {
    error_ = kMalformed;
    return 0;
  }
  const std::uint8_t* p = data_ + tracks_[track].offset + position;
  position += 4;
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

std::uint32_t CSMF::ReadVarLen(std::uint32_t& position, int track) {
  std::uint32_t value = 0;
  std::uint8_t byte = 0;
  do {
    if (!Holds(track, position, 1)) {
      error_ = kMalformed;
      return 0;
    }
    byte = data_[static_cast<std::uint64_t>(tracks_[track].offset) + position++];
    value = (value << 7) | (byte & 0x7Fu);
  } while (byte >= 0x80);
  return value;
}

std::uint32_t CSMF::GetEventLength(std::uint8_t status, std::uint32_t position, int track) {
  if (status < 0xF0) status &= 0xF0;

  std::uint64_t end = 0;
  switch (status) {
    case 0x80:
    case 0x90:
    case 0xA0:
    case 0xB0:
    case 0xE0:
      end = static_cast<std::uint64_t>(position) + 2;
      break;
    case 0xC0:
    case 0xD0:
      end = static_cast<std::uint64_t>(position) + 1;
      break;
    case 0xF0:
    case 0xF7: {
      std::uint32_t p = position;
      const std::uint32_t n = ReadVarLen(p, track);
      end = static_cast<std::uint64_t>(p) + n;
      break;
    }
    case 0xFF: {
      // The meta type byte comes before the length. A position at the very top
      // of the 32-bit range cannot be inside any track.
      if (position == UINT32_MAX) {
        error_ = kMalformed;
        return 0;
      }
      std::uint32_t p = position + 1;
      const std::uint32_t n = ReadVarLen(p, track);
      end = static_cast<std::uint64_t>(p) + n;
      break;
    }
    default:  // data bytes and the status bytes without a length rule
      error_ = kMalformed;
      return 0;
  }
  if (track < 0 || track >= kMaxTracks || end > tracks_[track].length) {
    error_ = kMalformed;
    return 0;
  }
  return static_cast<std::uint32_t>(end - position);
}
