#include "platform/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

// UTF-1: valid text converts exactly both ways, astral characters included.
TEST(Utf, ValidTextRoundTrips) {
  const std::u16string wide = u"Založit \\05\\123\\567.png \U0001F5FA z";
  const std::string utf8 = "Zalo\xC5\xBEit \\05\\123\\567.png \xF0\x9F\x97\xBA z";
  EXPECT_EQ(Utf16ToUtf8(wide), utf8);
  EXPECT_EQ(Utf8ToUtf16(utf8), wide);
  EXPECT_TRUE(platform::IsValidUtf8(utf8));
  EXPECT_EQ(Utf8ToUtf16(""), u"");
  EXPECT_EQ(Utf16ToUtf8(u""), "");
  EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

// UTF-2: ill-formed UTF-8 becomes U+FFFD, the text around it survives.
TEST(Utf, IllFormedUtf8BecomesReplacement) {
  const char* bad[] = {
      "a\x80z",          // lone continuation byte
      "a\xFFz",          // byte that never occurs
      "a\xC0\xAFz",      // overlong '/'
      "a\xED\xA0\x80z",  // encoded surrogate
      "a\xE2\x82z",      // truncated sequence
      "az\xC5",          // truncated at the end
  };
  for (const char* text : bad) {
    EXPECT_FALSE(platform::IsValidUtf8(text)) << text;
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_NE(wide.find(u'\uFFFD'), std::u16string::npos) << text;
    EXPECT_EQ(wide.front(), u'a') << text;
    EXPECT_NE(wide.find(u'z'), std::u16string::npos) << text;
  }
}

// UTF-3: unpaired surrogates in UTF-16 become U+FFFD in UTF-8.
TEST(Utf, UnpairedSurrogatesBecomeReplacement) {
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xDC00}), "a\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D}), "\xEF\xBF\xBD");
}

}  // namespace
