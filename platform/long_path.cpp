#include "platform/long_path.h"

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }
bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

}  // namespace

std::u16string ExtendedLengthPath(std::u16string_view fullPath) {
  std::u16string path(fullPath);
  // "\\?\..." and "\\.\..." are extended or device paths already.
  if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == u'?' || path[2] == u'.') &&
      IsSeparator(path[3])) {
    return path;
  }
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == u':' && IsSeparator(path[2])) {
    return u"\\\\?\\" + path;
  }
  if (path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    return u"\\\\?\\UNC\\" + path.substr(2);
  }
  return path;  // relative or drive-relative: not a full path
}
