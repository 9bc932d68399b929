// For a Windows test suite: when a test fails, a picture of the whole screen
// as it is at that moment, for whoever reads the run afterwards (a CI run's
// artifacts). Saved as <suite>.<test>.bmp into the folder that the
// environment variable T6_TEST_ARTIFACTS names; nothing without it.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/handles_win32.h"

namespace {

// Every monitor, as a 24-bit uncompressed BMP.
bool SaveScreen(const std::filesystem::path& path) {
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  const ScreenDc screen;
  if (screen.get() == nullptr || width <= 0 || height <= 0) return false;
  const MemoryDc memory(screen.get());
  const GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), width, height));
  if (memory.get() == nullptr || bitmap.get() == nullptr) return false;
  const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
  const bool copied = BitBlt(memory.get(), 0, 0, width, height, screen.get(), left, top, SRCCOPY | CAPTUREBLT) != FALSE;
  SelectObject(memory.get(), previous);
  if (!copied) return false;

  BITMAPINFOHEADER info = {};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as a BMP file keeps its rows
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
  std::vector<char> pixels(stride * static_cast<std::size_t>(height));
  if (GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(height), pixels.data(),
                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == 0) {
    return false;
  }
  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  header.bfSize = static_cast<DWORD>(header.bfOffBits + pixels.size());
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(&header), sizeof(header));
  file.write(reinterpret_cast<const char*>(&info), sizeof(info));
  file.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(file);
}

class ScreenshotOnFailure final : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo& test) override {
    const char* folder = std::getenv("T6_TEST_ARTIFACTS");
    if (folder == nullptr || *folder == '\0' || !test.result()->Failed()) return;
    // Parameterised tests carry '/' in their names.
    std::string name = std::string(test.test_suite_name()) + "." + test.name();
    for (char& c : name) {
      if (c == '/' || c == '\\' || c == ':') c = '_';
    }
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::filesystem::path path = std::filesystem::path(folder) / (name + ".bmp");
    if (SaveScreen(path)) std::printf("screenshot of the failure: %s\n", path.string().c_str());
  }
};

// Before main: GoogleTest keeps the listener for the whole run.
const bool registered = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new ScreenshotOnFailure);
  return true;
}();

}  // namespace
