// The BSTR stand-in and the text conversions at the interface.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "object/automation_text.h"
#include "platform/automation.h"
#include "platform/text_codec.h"

namespace molvex {
namespace {

TEST(BstrTest, KeepsLengthPrefixTerminatorAndEmbeddedZeros) {
  const OLECHAR raw[] = {u'a', u'\0', u'b'};
  BSTR s = SysAllocStringLen(raw, 3);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(SysStringByteLen(s), 6u);
  EXPECT_EQ(s[1], u'\0');
  EXPECT_EQ(s[2], u'b');
  EXPECT_EQ(s[3], u'\0');
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(s) - 4, 4);
  EXPECT_EQ(prefix, 6u);
  SysFreeString(s);

  BSTR copy = SysAllocString(u"xyz");
  EXPECT_EQ(SysStringLen(copy), 3u);
  SysFreeString(copy);
  BSTR blank = SysAllocStringLen(nullptr, 4);
  EXPECT_EQ(SysStringLen(blank), 4u);
  EXPECT_EQ(blank[4], u'\0');
  SysFreeString(blank);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);  // byte length would not fit
}

std::string Ansi(std::u16string_view text) {
  BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  std::string out = ToAnsi(b);
  SysFreeString(b);
  return out;
}

TEST(AutomationTextTest, EveryWindows1251CharacterSurvivesTheRoundTrip) {
  for (int c = 1; c < 256; ++c) {
    if (c == 0x98) continue;  // the one byte the code page leaves undefined
    const std::string one(1, static_cast<char>(c));
    BSTR wide = ToBstr(one);
    ASSERT_EQ(SysStringLen(wide), 1u) << c;
    EXPECT_EQ(ToAnsi(wide), one) << c;
    SysFreeString(wide);
  }
  BSTR undefined = ToBstr("\x98");
  EXPECT_EQ(SysStringLen(undefined), 1u);
  SysFreeString(undefined);
}

TEST(AutomationTextTest, UnconvertibleInputBecomesQuestionMarks) {
  EXPECT_EQ(Ansi(u"Щука"), "\xD9\xF3\xEA\xE0");
  EXPECT_EQ(Ansi(u"\u4E2D\u00E9"), "??");
  EXPECT_EQ(Ansi(std::u16string_view(u"a\xD800", 2)), "a?");  // cut surrogate pair at the end
  EXPECT_EQ(Ansi(std::u16string_view(u"\xDC00\xD800z", 3)), "??z");
  EXPECT_EQ(Ansi(u"\U0001F600\U0001F600"), "??");
  EXPECT_EQ(Ansi(std::u16string_view(u"a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(ToAnsi(nullptr), "");
  // Malformed UTF-8 from a client: each bad byte becomes one replacement character.
  const auto wide = Utf8ToWide("a\xFF\xC3z");
  EXPECT_EQ(WideToUtf8(wide.data(), wide.size()), "a??z");
}

TEST(AutomationTextTest, AsciiPassesUnchangedAndTheCodesAboveItAreConverted) {
  std::string ascii;
  std::u16string wide;
  for (int c = 0; c < 0x80; ++c) {
    ascii += static_cast<char>(c);
    wide += static_cast<char16_t>(c);
  }
  EXPECT_EQ(WideToPrinter(wide.data(), wide.size()), ascii);
  EXPECT_EQ(WideToUtf8(wide.data(), wide.size()), ascii);
  EXPECT_EQ(PrinterToWide(ascii), wide);
  EXPECT_EQ(Utf8ToWide(ascii), wide);

  const std::u16string e_acute = u"a\u00E9";
  EXPECT_EQ(WideToPrinter(e_acute.data(), e_acute.size()), "a?");
  EXPECT_EQ(WideToUtf8(e_acute.data(), e_acute.size()), "a\xC3\xA9");
  EXPECT_EQ(PrinterToWide("a\x80"), u"a\u0402");
  EXPECT_EQ(Utf8ToWide("a\xC2\x80"), u"a\u0080");
  EXPECT_EQ(Utf8ToWide("a\x80"), u"a?");
}

TEST(AutomationTextTest, LongTextsConvertWhole) {
  const std::u16string long_text(200000, u'Ж');
  const std::string ansi = Ansi(long_text);
  ASSERT_EQ(ansi.size(), long_text.size());
  EXPECT_EQ(ansi.find_first_not_of('\xC6'), std::string::npos);
}

}  // namespace
}  // namespace molvex
