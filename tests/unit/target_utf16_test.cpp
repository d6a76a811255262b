#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "target/Utf16.h"

namespace morvane {
namespace {

TEST(Utf16, RoundTripsEveryPlane) {
  const std::vector<std::pair<std::string, std::u16string>> cases{
      {"", u""},
      {"plain", u"plain"},
      {"caf\xC3\xA9", u"caf\u00E9"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const auto& [utf8, utf16] : cases) {
    EXPECT_EQ(Utf8ToUtf16(utf8), utf16) << utf8;
    EXPECT_EQ(Utf16ToUtf8(utf16), utf8) << utf8;
  }
}

TEST(Utf16, RefusesMalformedUtf8) {
  const std::vector<std::string> bad{
      "\x80",              // continuation byte first
      "\xC3",              // cut short
      "\xC0\xAF",          // overlong
      "\xE0\x80\xAF",      // overlong
      "\xED\xA0\x80",      // surrogate
      "\xF4\x90\x80\x80",  // beyond U+10FFFF
      "\xFF",
      "ok\xC3(",  // bad continuation
  };
  for (const auto& text : bad) EXPECT_EQ(Utf8ToUtf16(text), std::nullopt) << text;
}

TEST(Utf16, UnpairedSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xD800), u'x'}), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xDC00)}), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace morvane
