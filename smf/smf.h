// CSMF: one Standard MIDI File held in memory, its track table, and bound-checked
// readers for positions inside a track.
#pragma once

#include <cstdint>

class UpdateFileSource;

class CSMF {
 public:
  static constexpr int kMaxTracks = 16;
  static constexpr std::uint32_t kHeaderSize = 14;      // "MThd", length 6, three words
  static constexpr std::uint32_t kChunkHeaderSize = 8;  // tag and length

  // Error values: 0 success, -1 not finished, positive failure.
  enum Error : std::int32_t {
    kOk = 0,
    kNotFinished = -1,
    kNoMemory = 1,
    kFileNotFound = 2,
    kOpenFailed = 3,  // any other failure to open or read the file
    kMalformed = 6,
    kNotSmf = 7,
  };

  struct Track {
    std::uint32_t offset;  // file position of the chunk's "MTrk" tag
    std::uint32_t length;  // chunk length including its 8-byte header
  };

  CSMF() noexcept;
  virtual ~CSMF();
  CSMF(const CSMF&) = delete;
  CSMF& operator=(const CSMF&) = delete;

  // Reads the whole file into one buffer and locates its tracks. Reports only
  // 0, 1, 2, 3 and 7 through the error field. path is UTF-8.
  bool Load(const char* path);
  // The same from another source of files than the platform's.
  bool LoadFrom(const char* path, UpdateFileSource& file);
  // 14 (where the first track chunk starts) for a good header, else 0.
  std::uint32_t CheckHeader();
  bool SplitTracks();
  bool ResetPlayState();

  // Each reader returns 0 and sets error 6 instead of reading at or past the
  // end of the track; callers check the error field, not the result.
  std::uint8_t ReadByte(std::uint32_t& position, int track);
  std::uint32_t ReadUInt32(std::uint32_t& position, int track);
  std::uint32_t ReadVarLen(std::uint32_t& position, int track);
  // Bytes of one event from position (just after its status byte) to its end.
  std::uint32_t GetEventLength(std::uint8_t status, std::uint32_t position, int track);

  std::int32_t error() const { return error_; }
  const std::uint8_t* data() const { return data_; }
  std::uint32_t size() const { return size_; }
  std::uint32_t parsedEnd() const { return parsedEnd_; }
  std::uint16_t format() const { return format_; }
  std::uint16_t trackCount() const { return trackCount_; }
  std::uint16_t division() const { return division_; }
  const Track& track(int index) const { return tracks_[index]; }

 protected:
  // True when n bytes at position lie inside the track (no 32-bit wrap-around).
  bool Holds(int track, std::uint32_t position, std::uint64_t n) const;
  void SetTrack(int index, std::uint32_t offset, std::uint32_t length);
  void DropFile();

  std::int32_t error_ = kOk;
  std::uint8_t* data_ = nullptr;  // owned
  std::uint32_t size_ = 0;
  std::uint32_t parsedEnd_ = 0;
  std::uint16_t format_ = 0;
  std::uint16_t trackCount_ = 0;
  std::uint16_t division_ = 0;
  Track tracks_[kMaxTracks] = {};
  // Reserved: nothing sets these to anything but null and zero.
  std::uint8_t* secondBuffer_ = nullptr;
  std::uint32_t secondBufferLength_ = 0;
  struct PlayState {
    std::uint32_t value32;
    std::uint16_t value16;
    std::uint32_t pairs[kMaxTracks][2];
  } playState_ = {};
};
