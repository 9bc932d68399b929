// UTF-8 to and from the platform's UTF-16 strings (wchar_t is 16 bits on Windows).
#pragma once

#include <string>
#include <string_view>

#include "platform/utf16.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 text is UTF-16");

inline std::wstring WideFromUtf8(std::string_view utf8) {
  const std::u16string wide = Utf16FromUtf8(utf8);
  return std::wstring(wide.begin(), wide.end());
}

inline std::string Utf8FromWide(std::wstring_view wide) {
  return Utf8FromUtf16(std::u16string(wide.begin(), wide.end()));
}
