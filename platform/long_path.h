// A full Win32 path in the form that the file functions open whatever its
// length: "C:\a\b" becomes "\\?\C:\a\b" and "\\server\share\b" becomes
// "\\?\UNC\server\share\b". That form skips the platform's own clean-up of the
// path, so it must be given a full, already cleaned path (GetFullPathNameW's).
// Paths already in an extended or device form, and paths that are not full,
// come back unchanged.
#pragma once

#include <string>
#include <string_view>

std::u16string ExtendedLengthPath(std::u16string_view fullPath);
