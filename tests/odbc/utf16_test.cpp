#include "dataaccess/odbc/utf16.h"

#include <gtest/gtest.h>

namespace leafward::odbc {
namespace {

TEST(Utf16Test, RoundTripsEveryPlane) {
  for (std::string text : {"", "plain", "口令错误", "a\xF0\x9F\x98\x80z"}) {
    EXPECT_EQ(utf8FromUtf16(utf16FromUtf8(text)), text);
  }
  EXPECT_EQ(utf16FromUtf8("\xF0\x9F\x98\x80").size(), 2u);
}

TEST(Utf16Test, BrokenInputBecomesReplacementCharacters) {
  EXPECT_EQ(utf8FromUtf16(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
  EXPECT_EQ(utf8FromUtf16(u"\xDC00x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(utf16FromUtf8("\xC0\xAF"), u"\xFFFD\xFFFD");        // overlong
  EXPECT_EQ(utf16FromUtf8("a\xE5\x8F"), u"a\xFFFD\xFFFD");      // cut short
  EXPECT_EQ(utf16FromUtf8("\xED\xA0\x80").front(), u'\xFFFD');  // encoded surrogate
}

}  // namespace
}  // namespace leafward::odbc
