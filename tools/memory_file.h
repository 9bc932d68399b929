// An update file held in memory, for CSMF::LoadFrom: it always opens, and may
// then fail as a file system can (its length unknown, or its read cut short).
#pragma once

#include <cstdint>
#include <cstring>

#include "smf/update_file_reader.h"

struct MemoryFile final : UpdateFileSource {
  MemoryFile(const std::uint8_t* data, std::size_t size) : data(data), size(size), length(size) {}
  OpenResult Open(const char*) override { return OpenResult::kOpened; }
  bool QueryLength(std::uint64_t& n) override {
    n = length;
    return lengthKnown;
  }
  bool ReadAll(std::uint8_t* buffer, std::uint32_t n) override {
    if (n > size) return false;
    if (n != 0) std::memcpy(buffer, data, n);
    return readable;
  }

  const std::uint8_t* data;
  std::size_t size;
  std::uint64_t length;  // what the file system tells
  bool lengthKnown = true;
  bool readable = true;
};
