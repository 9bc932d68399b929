// Paths on their way to and from Win32: UTF-8 in the program, UTF-16 in the
// platform, and the extended-length form for long ones.
#include <gtest/gtest.h>

#include <string>

#include "platform/long_path.h"
#include "platform/utf16.h"

namespace {

TEST(Utf16, EverySequenceComesBackUnchangedAndWhatIsNotUtf8IsReplaced) {
  const struct {
    const char* what;
    std::u16string utf16;
    std::string utf8;
    bool roundTrip;  // false: only UTF-8 to UTF-16
  } cases[] = {
      {"ASCII", u"C:\\t6\\update.mid", "C:\\t6\\update.mid", true},
      {"two-byte", u"\u00e9", "\xC3\xA9", true},
      {"Japanese, check mark, en dash", u"\u30d5\u30a1\u30fc\u30e0 \u2713 \u2013",
       "\xE3\x83\x95\xE3\x82\xA1\xE3\x83\xBC\xE3\x83\xA0 \xE2\x9C\x93 \xE2\x80\x93", true},
      {"a pair: emoji", u"\U0001F4BE", "\xF0\x9F\x92\xBE", true},
      {"a lone high surrogate", std::u16string(1, u'\xD83D') + u"x", "\xED\xA0\xBDx", true},
      {"a lone low surrogate", std::u16string(1, u'\xDCBE'), "\xED\xB2\xBE", true},
      {"empty", u"", "", true},
      {"a stray continuation byte", u"a\uFFFDz", "a\x80z", false},
      {"an overlong slash", u"\uFFFD\uFFFD", "\xC0\xAF", false},
      {"a cut sequence at the end", u"\uFFFD\uFFFD", "\xE3\x83", false},
      {"beyond U+10FFFF", u"\uFFFD\uFFFD\uFFFD\uFFFD", "\xF4\x90\x80\x80", false},
      {"an overlong three-byte form", u"\uFFFD\uFFFD\uFFFD", "\xE0\x80\xAF", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.utf16, Utf16FromUtf8(c.utf8)) << c.what;
    if (c.roundTrip) {
      EXPECT_EQ(c.utf8, Utf8FromUtf16(c.utf16)) << c.what;
    }
  }
}

TEST(ExtendedLengthPath, PrefixesDriveAndUncPathsOnly) {
  const struct {
    std::u16string full;
    std::u16string extended;
  } cases[] = {
      {u"C:\\a\\b.mid", u"\\\\?\\C:\\a\\b.mid"},
      {u"z:\\b.mid", u"\\\\?\\z:\\b.mid"},
      {u"\\\\server\\share\\b.mid", u"\\\\?\\UNC\\server\\share\\b.mid"},
      {u"\\\\?\\C:\\a\\b.mid", u"\\\\?\\C:\\a\\b.mid"},
      {u"\\\\?\\UNC\\server\\share\\b.mid", u"\\\\?\\UNC\\server\\share\\b.mid"},
      {u"\\\\.\\COM1", u"\\\\.\\COM1"},
      {u"a\\b.mid", u"a\\b.mid"},
      {u"C:b.mid", u"C:b.mid"},
      {u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.extended, ExtendedLengthPath(c.full)) << std::string(c.full.begin(), c.full.end());
  }
}

}  // namespace
