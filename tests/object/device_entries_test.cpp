// Display, drawer, cutter and clock entries: what each sends and returns.
#include <fstream>

#include "tests/object/object_fixture.h"

namespace molvex::testing {
namespace {

TEST_F(ObjectTest, OpenDrawerChecksThePulseAfterThePreRead) {
  Open();
  const std::pair<LONG, bool> cases[] = {{4, false},         {5, true},         {150, true},
                                         {151, false},       {-5, false},       {0, false},
                                         {INT32_MAX, false}, {INT32_MIN, false}};
  for (const auto& [pulse, sent] : cases) {
    SCOPED_TRACE(pulse);
    port.printer().ClearRequests();
    VARIANT_BOOL ok = 7;
    ASSERT_EQ(obj.OpenDrawer(pulse, &ok), S_OK);
    EXPECT_EQ(ok, sent ? VARIANT_TRUE : VARIANT_FALSE);
    EXPECT_EQ(CallStatus(), sent ? 0 : -1);
    if (sent) {
      EXPECT_EQ(Commands(), (std::vector<int>{74, 106}));
      EXPECT_EQ(LastData(), std::to_string(pulse));
    } else {
      EXPECT_EQ(Commands(), (std::vector<int>{74}));
      EXPECT_EQ(Error(), 1);
    }
  }
}

TEST_F(ObjectTest, OneCommandEntriesSendTheirCommandAndGiveTheirValues) {
  struct Case {
    const char* name;
    int command;
    std::function<long(TTECRFiscImpl&)> call;
    long success;
    long failure;
  };
  const Case cases[] = {
      {"ClearRegDisplay", 33,
       [](TTECRFiscImpl& o) {
         VARIANT_BOOL r = 7;
         o.ClearRegDisplay(&r);
         return long{r};
       },
       -1, 0},
      {"ReceiptCut", 45,
       [](TTECRFiscImpl& o) {
         LONG r = 7;
         o.ReceiptCut(&r);
         return long{r};
       },
       1, 0},
      {"DispDayTime", 63,
       [](TTECRFiscImpl& o) {
         LONG r = 7;
         o.DispDayTime(&r);
         return long{r};
       },
       1, 0},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    port.printer().ClearRequests();
    EXPECT_EQ(c.call(obj), c.success);
    EXPECT_EQ(Commands(), (std::vector<int>{74, c.command}));
    EXPECT_EQ(LastData(), "");
    port.printer().ArmReply(c.command, "", {0x80, 0x80, 0x80, 0x80, 0x81, 0x80});
    EXPECT_EQ(c.call(obj), c.failure);
    EXPECT_EQ(CallStatus(), -2);
    EXPECT_EQ(Error(), 14);
  }
}

TEST_F(ObjectTest, DisplayTextsGoOutAsWindows1251Unchanged) {
  struct Case {
    const char* utf8;
    std::string sent;
  };
  const Case cases[] = {
      {"", ""},
      {"Hello", "Hello"},
      {"  padded  ", "  padded  "},
      {"Привет, Ёж №1",
       "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6 \xB9"
       "1"},
      {"€", "\x88"},
      // Longer than the display: the printer's business, sent whole.
      {"123456789012345678901234567890", "123456789012345678901234567890"},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    Bstr text(c.utf8);
    for (int command : {47, 35}) {
      port.printer().ClearRequests();
      VARIANT_BOOL ok = 0;
      ASSERT_EQ(command == 47 ? obj.DisplayUP(text.get(), &ok) : obj.DisplayDown(text.get(), &ok),
                S_OK);
      EXPECT_EQ(ok, VARIANT_TRUE);
      EXPECT_EQ(Commands(), (std::vector<int>{74, command}));
      EXPECT_EQ(LastData(), c.sent);
    }
  }
  // A null BSTR is an empty text.
  port.printer().ClearRequests();
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.DisplayUP(nullptr, &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  EXPECT_EQ(LastData(), "");
}

// A character Windows-1251 cannot hold is never sent as "?": the call is refused before anything
// is sent, and the description names the parameter, the position and the character.
TEST_F(ObjectTest, CharactersTheCodePageLacksAreRefusedNotReplaced) {
  struct Case {
    std::u16string text;
    std::string description;
  };
  const Case cases[] = {
      {u"Цена 5 \u65E5",
       "TextDisp: character 8 (U+65E5) has no place in the printer's code page 1251"},
      {u"a\U0001F600b", "TextDisp: character 2 (U+1F600) has no place"},
      {std::u16string{u'A', 0xD800, u'B'}, "TextDisp: character 2 (U+D800) has no place"},
      {std::u16string{u'A', u'B', 0xDC00}, "TextDisp: character 3 (U+DC00) has no place"},
      // After a pair, positions count characters, not units.
      {u"\U0001F600\u00E9", "TextDisp: character 1 (U+1F600)"},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    BSTR text = SysAllocStringLen(c.text.data(), static_cast<UINT>(c.text.size()));
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(obj.DisplayUP(text, &ok), DISP_E_EXCEPTION);
    SysFreeString(text);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), 1);
    EXPECT_TRUE(Commands().empty());
    ErrorInfoRecord info;
    ASSERT_TRUE(TakeErrorInfo(info));
    EXPECT_NE(info.description.find(c.description), std::string::npos) << info.description;
    EXPECT_EQ(info.source, "MolvexECR.TECRFisc");
  }
}

// The printer's code page comes from the settings file ([Printer] CodePage), read when the port
// opens; without the file or the key it is Windows-1251. An unknown one refuses every text with
// its number instead of sending it in a code page the printer does not print.
TEST_F(ObjectTest, TheSettingsFileMayNameAnotherCodePage) {
  struct Case {
    const char* settings;  // the [Printer] section, nullptr: no settings file
    HRESULT hr;
    std::string sent;  // "Привет №"; or the start of the description
  };
  const Case cases[] = {
      {nullptr, S_OK, "\xCF\xF0\xE8\xE2\xE5\xF2 \xB9"},
      {"", S_OK, "\xCF\xF0\xE8\xE2\xE5\xF2 \xB9"},
      {"[Printer]\nCodePage=866\n", S_OK, "\x8F\xE0\xA8\xA2\xA5\xE2 \xFC"},
      {"[Printer]\nCodePage=20866\n", S_OK, "\xF0\xD2\xC9\xD7\xC5\xD4 ?"},
      {"[Printer]\nCodePage=12345\n", DISP_E_EXCEPTION,
       "TextDisp: nothing was sent, the printer's code page 12345 (ZRepRec.ini, [Printer] "
       "CodePage) is not one the driver can convert to"},
      {"[Printer]\nCodePage=utf-8\n", DISP_E_EXCEPTION,
       "TextDisp: nothing was sent, the printer's code page 0 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings != nullptr ? c.settings : "no settings file");
    std::filesystem::remove(dir / "ZRepRec.ini");
    if (c.settings != nullptr) {
      std::ofstream(dir / "ZRepRec.ini") << "[Identification]\nIdReastaurant=1\n" << c.settings;
    }
    int opened = 0;
    ASSERT_EQ(obj.SetComPort(1, 115200, &opened), S_OK);
    ASSERT_EQ(opened, c.settings != nullptr ? 1 : 100);
    port.printer().ClearRequests();
    const Bstr text(c.hr == S_OK && c.sent.back() == '?' ? "Привет ?" : "Привет №");
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(obj.DisplayUP(text.get(), &ok), c.hr);
    if (c.hr == S_OK) {
      EXPECT_EQ(LastData(), c.sent);
    } else {
      EXPECT_TRUE(Commands().empty());
      EXPECT_EQ(ErrorDescription().rfind(c.sent, 0), 0u);
    }
  }
}

TEST_F(ObjectTest, DateTimeRoundTrip) {
  Open();
  Bstr date("01-02-15"), time("10:20:30");
  LONG result = 9;
  ASSERT_EQ(obj.WriteDateTime(date.get(), time.get(), &result), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Commands(), (std::vector<int>{74, 61}));
  EXPECT_EQ(LastData(), "01-02-15 10:20:30");
  EXPECT_EQ(CallStatus(), 0);

  Bstr value;
  ASSERT_EQ(obj.get_DateTime(value.out()), S_OK);
  EXPECT_EQ(value.utf8(), "01-02-15 10:20:30");
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(LastData(), "");
}

TEST_F(ObjectTest, DateTimeFailuresGiveEmptyTexts) {
  Open();
  // The printer judges the form: a date it cannot take fails the call.
  Bstr date("32-13-99"), time("10:20");
  LONG result = 9;
  ASSERT_EQ(obj.WriteDateTime(date.get(), time.get(), &result), S_OK);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_NE(Error(), 0);

  port.printer().Arm(sim::Fault::Silence);  // the pre-read: nothing more is sent
  Bstr value;
  ASSERT_EQ(obj.get_DateTime(value.out()), S_OK);
  ASSERT_NE(value.get(), nullptr);
  EXPECT_EQ(value.utf8(), "");
  EXPECT_EQ(Error(), 19);

  // A reply without the time part gives the date and an empty time.
  port.printer().ArmReply(62, "01-02-15", {0x80, 0x80, 0x80, 0x80, 0x80, 0x80});
  ASSERT_EQ(obj.get_DateTime(value.out()), S_OK);
  EXPECT_EQ(value.utf8(), "01-02-15 ");
}

}  // namespace
}  // namespace molvex::testing
