// UTF-8 <-> UTF-16: what the user types must be well-formed; what the object returns always prints.
#include <gtest/gtest.h>

#include "tools/ecrfisc/text_utf.h"

namespace molvex::ecrfisc {
namespace {

TEST(TextUtf, RoundTripsAllPlanes) {
  const std::string text = "A \xC2\xA9 Привет \xE2\x82\xAC \xF0\x9F\x98\x80";  // ©, €, U+1F600
  const auto wide = Utf8ToUtf16(text);
  ASSERT_TRUE(wide.has_value());
  EXPECT_EQ(*wide, u"A \u00A9 Привет \u20AC \U0001F600");
  EXPECT_EQ(Utf16ToUtf8(*wide), text);
  EXPECT_EQ(Utf8ToUtf16("")->size(), 0u);
}

TEST(TextUtf, RefusesMalformedInput) {
  const char* bad[] = {
      "\x80",              // continuation byte alone
      "\xC0\xAF",          // overlong "/"
      "\xE0\x80\xAF",      // overlong
      "\xED\xA0\x80",      // encoded surrogate
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xF8\x88\x80\x80",  // five-byte lead
      "\xD0",              // truncated at the end
      "\xE2\x82",          // truncated
      "\xD0\x41",          // continuation missing
  };
  for (const char* s : bad) EXPECT_FALSE(Utf8ToUtf16(s).has_value()) << s;
}

TEST(TextUtf, UnpairedSurrogatesFromTheObjectBecomeReplacementCharacters) {
  const std::u16string broken = {u'a', 0xD800, u'b', 0xDC00};
  EXPECT_EQ(Utf16ToUtf8(broken),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
}

}  // namespace
}  // namespace molvex::ecrfisc
