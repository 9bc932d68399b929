// A string resource of the executable.
#pragma once

#include <windows.h>

#include <string>

inline std::string ResourceString(UINT id) {
  char text[256];
  const int length = LoadStringA(GetModuleHandleW(nullptr), id, text, sizeof(text));
  return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}
