// What several end-to-end tests do with the updater's window.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/temp_file.h"
#include "tests/windows_e2e/updater_run.h"
#include "tools/smf_builder.h"

namespace e2e {

constexpr DWORD kExitBoundMs = 5000;
constexpr DWORD kTransferBoundMs = 60000;

// Twelve messages, spacingTicks apart (48 ticks are 50 ms), several of them
// split into chunks, with a note event and a Set Tempo between them that must
// not reach the port.
inline Bytes UpdateFile(std::uint32_t spacingTicks = 48) {
  TrackBuilder track;
  track.Delta(0).SetTempo(250000);
  const std::uint32_t lengths[] = {8, 4095, 4096, 10000, 1, 0, 300, 8193, 64, 4097, 2, 700};
  std::uint8_t number = 0;
  for (const std::uint32_t length : lengths) {
    Bytes body(length, static_cast<std::uint8_t>(number * 7 & 0x7F));
    if (length >= 1) body.back() = 0xF7;
    track.Delta(number == 0 ? 0 : spacingTicks / 2).Raw({0x90, 60, 100});
    track.Delta(number == 0 ? 0 : spacingTicks - spacingTicks / 2).SysEx(body);
    ++number;
  }
  track.Delta(10).EndOfTrack();
  return BuildSmf(0, 480, {track.body()});
}

// Browse, the file into the file-open dialog, Start. pressed gets a counter
// reading from before the press: the transfer starts after it.
inline bool StartTransfer(const op::UpdaterWindow& window, const std::string& path,
                          std::uint64_t* pressed = nullptr) {
  if (!window.Click(op::kBrowse) || !op::OpenFile(window.pid(), path, 10000)) return false;
  window.Sync();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  if (pressed != nullptr) *pressed = static_cast<std::uint64_t>(now.QuadPart);
  return window.Click(op::kStart);
}

// A whole update; true once Start offers "Close".
inline bool Update(const op::UpdaterWindow& window, const std::string& path, std::uint64_t* pressed = nullptr) {
  return StartTransfer(window, path, pressed) &&
         op::WaitUntil([&] { return window.Text(op::kStart) == "Close"; }, kTransferBoundMs);
}

}  // namespace e2e
