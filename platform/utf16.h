// Text crosses into Win32 as UTF-16 and lives in the program as UTF-8. A path
// from the platform must come back to it unchanged, so the conversion is
// lossless for every UTF-16 sequence: an unpaired surrogate, which Windows
// allows in a file name, is carried as its own three-byte form (WTF-8) rather
// than replaced. Bytes that are not UTF-8 at all become U+FFFD.
#pragma once

#include <string>
#include <string_view>

std::u16string Utf16FromUtf8(std::string_view utf8);
std::string Utf8FromUtf16(std::u16string_view utf16);
