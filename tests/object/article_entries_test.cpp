// The article table and the operators through the object: the data texts of command 107 and of
// commands 101, 102 and 119, the "F" answers, the refusals and the state each leaves, and the
// client texts that do not fit one request.
#include <cmath>
#include <functional>

#include "tests/object/object_fixture.h"

namespace molvex::testing {
namespace {

// One call of an entry, its functional result as a number (BOOL -1/0) or a text.
struct Call {
  long result = 0;
  std::string text;
};

class ArticleTest : public ObjectTest {
 public:  // the tables of cases call them through lambdas
  Call Program(unsigned char tax, int number, int group, double price, const char* password,
               const char* name) {
    const Bstr p(password), n(name);
    VARIANT_BOOL r = 7;
    EXPECT_EQ(obj.ProgramArt(tax, number, group, price, p.get(), n.get(), &r), S_OK);
    return {r, ""};
  }
  Call Delete(int number, const char* password) {
    const Bstr p(password);
    VARIANT_BOOL r = 7;
    EXPECT_EQ(obj.DeleteArt(number, p.get(), &r), S_OK);
    return {r, ""};
  }
  Call Reprice(int number, double price, const char* password) {
    const Bstr p(password);
    VARIANT_BOOL r = 7;
    EXPECT_EQ(obj.ChangePrice(number, price, p.get(), &r), S_OK);
    return {r, ""};
  }
  Call Info(int number) {
    Bstr t;
    EXPECT_EQ(obj.GetArtInfo(number, t.out()), S_OK);
    return {0, t.utf8()};
  }
  Call First() {
    Bstr t;
    EXPECT_EQ(obj.get_FirstArt(t.out()), S_OK);
    return {0, t.utf8()};
  }
  Call Next() {
    Bstr t;
    EXPECT_EQ(obj.get_NextArt(t.out()), S_OK);
    return {0, t.utf8()};
  }
  Call OperatorName(LONG number, const char* password, const char* name) {
    const Bstr p(password), n(name);
    VARIANT_BOOL r = 7;
    EXPECT_EQ(obj.SetOperatorName(number, p.get(), n.get(), &r), S_OK);
    return {r, ""};
  }
  Call OperatorPassword(LONG number, const char* old_password, const char* new_password) {
    const Bstr a(old_password), b(new_password);
    VARIANT_BOOL r = 7;
    EXPECT_EQ(obj.SetOperatorPassword(number, a.get(), b.get(), &r), S_OK);
    return {r, ""};
  }
  Call ClearPassword(const char* admin, LONG number) {
    const Bstr a(admin);
    VARIANT_BOOL r = 7;
    EXPECT_EQ(obj.ClearOperatorPassword(a.get(), number, &r), S_OK);
    return {r, ""};
  }
};

TEST_F(ArticleTest, EachEntrySendsItsDataTextAndGivesItsResult) {
  struct Case {
    const char* what;
    std::function<Call(ArticleTest&)> call;
    int command;
    std::string sent;
    Call expected;
  };
  // In order, against the virtual printer's article table and operators.
  const Case cases[] = {
      {"program, tax letter Б",
       [](ArticleTest& t) { return t.Program(0xC1, 25, 3, 4.5, "", "Milk"); },
       107,
       "P\xC1"
       "25,3,4.50,,Milk",
       {-1, ""}},
      {"program, Cyrillic name",
       [](ArticleTest& t) { return t.Program(0xC0, 7, 0, 12, "", "Хлеб"); },
       107,
       "P\xC0"
       "7,0,12.00,,\xD5\xEB\xE5\xE1",
       {-1, ""}},
      {"program, largest group",
       [](ArticleTest& t) { return t.Program(0xC4, 9, 99, 0.01, "", "Salt"); },
       107,
       "P\xC4"
       "9,99,0.01,,Salt",
       {-1, ""}},
      {"change price",
       [](ArticleTest& t) { return t.Reprice(7, 13.5, "pw"); },
       107,
       "C7,13.50,pw",
       {-1, ""}},
      {"read one",
       [](ArticleTest& t) { return t.Info(25); },
       107,
       "R25",
       {0, "25,Б,3,4.50,0.000,0.00,0,0,Milk"}},
      {"first",
       [](ArticleTest& t) { return t.First(); },
       107,
       "F",
       {0, "7,А,0,13.50,0.000,0.00,0,0,Хлеб"}},
      {"next",
       [](ArticleTest& t) { return t.Next(); },
       107,
       "N",
       {0, "9,Д,99,0.01,0.000,0.00,0,0,Salt"}},
      {"next again",
       [](ArticleTest& t) { return t.Next(); },
       107,
       "N",
       {0, "25,Б,3,4.50,0.000,0.00,0,0,Milk"}},
      {"delete one", [](ArticleTest& t) { return t.Delete(9, "pw"); }, 107, "D9,pw", {-1, ""}},
      {"delete all", [](ArticleTest& t) { return t.Delete(0, "pw"); }, 107, "DA,pw", {-1, ""}},
      {"operator name",
       [](ArticleTest& t) { return t.OperatorName(3, "", "Иван"); },
       102,
       "3,,\xC8\xE2\xE0\xED",
       {-1, ""}},
      {"operator password",
       [](ArticleTest& t) { return t.OperatorPassword(3, "", "1234"); },
       101,
       "3,,1234",
       {-1, ""}},
      {"name with the new password",
       [](ArticleTest& t) { return t.OperatorName(3, "1234", "Petr"); },
       102,
       "3,1234,Petr",
       {-1, ""}},
      {"clear password",
       [](ArticleTest& t) { return t.ClearPassword("adm", 3); },
       119,
       "3,adm",
       {-1, ""}},
      {"name with any password again",
       [](ArticleTest& t) { return t.OperatorName(3, "x", "Olga"); },
       102,
       "3,x,Olga",
       {-1, ""}},
      {"clear password, operator 15",
       [](ArticleTest& t) { return t.ClearPassword("", 15); },
       119,
       "15,",
       {-1, ""}},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    port.printer().ClearRequests();
    const Call got = c.call(*this);
    EXPECT_EQ(got.result, c.expected.result);
    EXPECT_EQ(got.text, c.expected.text);
    EXPECT_EQ(Commands(), (std::vector<int>{74, c.command}));
    EXPECT_EQ(LastData(), c.sent);
    EXPECT_EQ(CallStatus(), 0);
    EXPECT_EQ(Error(), 0);
  }
  EXPECT_FALSE(port.device().state().articles[25].used);
  EXPECT_EQ(port.device().state().operators[3].name, "Olga");
  EXPECT_EQ(port.device().state().operators[3].password, "");
}

TEST_F(ArticleTest, WalkingTheTableEndsWithAnEmptyText) {
  Open();
  EXPECT_EQ(First().text, "") << "an empty table";
  EXPECT_EQ(CallStatus(), -2);
  for (int number : {14800, 1, 300}) {
    ASSERT_EQ(Program(0xC2, number, 5, 1, "", "A").result, -1);
  }
  std::vector<std::string> walked;
  for (std::string record = First().text; !record.empty(); record = Next().text) {
    walked.push_back(record.substr(0, record.find(',')));
    ASSERT_LT(walked.size(), 4u);
  }
  EXPECT_EQ(walked, (std::vector<std::string>{"1", "300", "14800"}));
  // The end of the table: an "F" answer, a printer refusal with the reply's (clean) error word.
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 0);
  EXPECT_FALSE(TimedOut()) << "the reply carried its status bytes";
  EXPECT_EQ(LastData(), "N");
  EXPECT_EQ(Next().text, "") << "past the end";
}

TEST_F(ArticleTest, FAnswersArePrinterRefusals) {
  Open();
  struct Case {
    const char* what;
    std::function<Call(ArticleTest&)> call;
  };
  const Case cases[] = {
      {"read an unprogrammed number", [](ArticleTest& t) { return t.Info(12); }},
      {"delete a missing article", [](ArticleTest& t) { return t.Delete(12, ""); }},
      {"reprice a missing article", [](ArticleTest& t) { return t.Reprice(12, 1.5, ""); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    port.printer().ClearRequests();
    const Call got = c.call(*this);
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.text, "");
    EXPECT_EQ(CallStatus(), -2);
    EXPECT_EQ(Error(), 0);
    EXPECT_EQ(Commands(), (std::vector<int>{74, 107}));
  }
  // A reply without failure bits whose field 1 starts with F, whatever follows.
  port.printer().ArmReply(107, "F,25", kClean);
  EXPECT_EQ(Program(0xC0, 25, 1, 2, "", "X").result, 0);
  EXPECT_EQ(CallStatus(), -2);
  // A failed reply (the printer refuses the password) gives false or an empty text as well.
  port.device().state().admin_password = "7777";
  EXPECT_EQ(Program(0xC0, 25, 1, 2, "1111", "X").result, 0);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 7);  // not allowed
  EXPECT_EQ(Program(0xC0, 25, 1, 2, "7777", "X").result, -1);
  ArmStatus(107, {0x80, 0x80, 0x80, 0x80, 0x81, 0x80}, "P,25,\xC0,1,2.00,0.000,0.00,0,0,X");
  EXPECT_EQ(Info(25).text, "");
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 14);
  EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0, 0, 0, 0, 1, 0}));
}

TEST_F(ArticleTest, ReadRepliesTooShortForARecordGiveAnEmptyText) {
  Open();
  for (const char* reply : {"", "P", "P,"}) {
    SCOPED_TRACE(reply);
    port.printer().ArmReply(107, reply, kClean);
    EXPECT_EQ(First().text, "");
    EXPECT_EQ(CallStatus(), 0);
  }
  // The record is passed through as the printer sent it.
  port.printer().ArmReply(107, "P,5,x,y", kClean);
  EXPECT_EQ(Info(5).text, "5,x,y");
}

TEST_F(ArticleTest, ArgumentsRefusedAfterThePreRead) {
  struct Case {
    const char* what;
    std::function<Call(ArticleTest&)> call;
  };
  const Case cases[] = {
      {"tax 1 is no letter code", [](ArticleTest& t) { return t.Program(1, 25, 3, 4.5, "", "A"); }},
      {"tax Е (0xC5)", [](ArticleTest& t) { return t.Program(0xC5, 25, 3, 4.5, "", "A"); }},
      {"tax 0xBF", [](ArticleTest& t) { return t.Program(0xBF, 25, 3, 4.5, "", "A"); }},
      {"article 0", [](ArticleTest& t) { return t.Program(0xC0, 0, 3, 4.5, "", "A"); }},
      {"article -5", [](ArticleTest& t) { return t.Program(0xC0, -5, 3, 4.5, "", "A"); }},
      {"group -1", [](ArticleTest& t) { return t.Program(0xC0, 25, -1, 4.5, "", "A"); }},
      {"group 100", [](ArticleTest& t) { return t.Program(0xC0, 25, 100, 4.5, "", "A"); }},
      {"negative price", [](ArticleTest& t) { return t.Program(0xC0, 25, 3, -0.01, "", "A"); }},
      {"price not a number",
       [](ArticleTest& t) { return t.Program(0xC0, 25, 3, std::nan(""), "", "A"); }},
      {"reprice article 0", [](ArticleTest& t) { return t.Reprice(0, 2, ""); }},
      {"reprice article -1", [](ArticleTest& t) { return t.Reprice(-1, 2, ""); }},
      {"read article -1", [](ArticleTest& t) { return t.Info(-1); }},
      {"clear password of operator 0", [](ArticleTest& t) { return t.ClearPassword("", 0); }},
      {"clear password of operator 16", [](ArticleTest& t) { return t.ClearPassword("", 16); }},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    port.printer().ClearRequests();
    const Call got = c.call(*this);
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.text, "");
    EXPECT_EQ(Commands(), (std::vector<int>{74}));
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), 1);
  }
}

TEST_F(ArticleTest, RefusalsThatLeaveTheSavedStateAlone) {
  Open();
  // A failed call first: status -2 and GetError 14.
  ArmStatus(107, {0x80, 0x80, 0x80, 0x80, 0x81, 0x80});
  ASSERT_EQ(First().text, "");
  ASSERT_EQ(Error(), 14);
  // Price 0: refused by the entry, call status -1, the saved error word stays.
  port.printer().ClearRequests();
  EXPECT_EQ(Program(0xC0, 25, 3, 0, "", "A").result, 0);
  EXPECT_EQ(Commands(), (std::vector<int>{74}));
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_EQ(Error(), 14);
  // A negative article to delete: neither the call status nor the error word changes.
  ArmStatus(107, {0x80, 0x80, 0x80, 0x80, 0x81, 0x80});
  ASSERT_EQ(First().text, "");
  port.printer().ClearRequests();
  EXPECT_EQ(Delete(-1, "").result, 0);
  EXPECT_EQ(Commands(), (std::vector<int>{74}));
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 14);
  EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0, 0, 0, 0, 1, 0}));
}

TEST_F(ArticleTest, WithoutAPortEveryEntryRefusesAndSendsNothing) {
  const std::function<Call(ArticleTest&)> calls[] = {
      [](ArticleTest& t) { return t.Program(0xC0, 1, 0, 1, "", "A"); },
      [](ArticleTest& t) { return t.Program(0xC0, 1, 0, 0, "", "A"); },
      [](ArticleTest& t) { return t.Delete(1, ""); },
      [](ArticleTest& t) { return t.Delete(-1, ""); },
      [](ArticleTest& t) { return t.Reprice(1, 1, ""); },
      [](ArticleTest& t) { return t.Info(1); },
      [](ArticleTest& t) { return t.First(); },
      [](ArticleTest& t) { return t.Next(); },
      [](ArticleTest& t) { return t.OperatorName(1, "", "A"); },
      [](ArticleTest& t) { return t.OperatorPassword(1, "", "A"); },
      [](ArticleTest& t) { return t.ClearPassword("", 1); },
  };
  for (std::size_t i = 0; i < std::size(calls); ++i) {
    SCOPED_TRACE(i);
    const Call got = calls[i](*this);
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.text, "");
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), 1);
  }
  EXPECT_TRUE(port.requests().empty());
}

TEST_F(ArticleTest, OperatorEntriesReportThePrintersAnswer) {
  Open();
  ASSERT_EQ(OperatorPassword(4, "", "secret").result, -1);
  EXPECT_EQ(OperatorName(4, "wrong", "Anna").result, 0);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 7);
  EXPECT_EQ(OperatorPassword(4, "wrong", "new").result, 0);
  EXPECT_EQ(CallStatus(), -2);
  // Operator numbers outside 1..15 are refused before anything is sent.
  port.printer().ClearRequests();
  EXPECT_EQ(OperatorName(16, "", "Anna").result, 0);
  EXPECT_EQ(OperatorPassword(-1, "", "x").result, 0);
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(Error(), 1);
  // ClearOperatorPassword writes its result although the interface declares it an input.
  port.device().state().admin_password = "adm";
  VARIANT_BOOL r = VARIANT_TRUE;
  const Bstr wrong("x"), right("adm");
  ASSERT_EQ(obj.ClearOperatorPassword(wrong.get(), 4, &r), S_OK);
  EXPECT_EQ(r, VARIANT_FALSE);
  EXPECT_EQ(CallStatus(), -2);
  ASSERT_EQ(obj.ClearOperatorPassword(right.get(), 4, &r), S_OK);
  EXPECT_EQ(r, VARIANT_TRUE);
  EXPECT_EQ(port.device().state().operators[4].password, "");
  EXPECT_EQ(obj.ClearOperatorPassword(right.get(), 4, nullptr), E_POINTER);
}

// Client texts longer than one request carries (85 bytes of data) are refused before anything
// is sent; one byte less goes out whole.
TEST_F(ArticleTest, TextsThatDoNotFitOneRequestAreRefusedBeforeAnythingIsSent) {
  struct Case {
    const char* what;
    std::size_t other;  // bytes of the data text besides the text under test
    int command;
    std::function<Call(ArticleTest&, const char*)> call;
  };
  const Case cases[] = {
      {"ProgramArt Password", 2 + 1 + 1 + 1 + 1 + 4 + 1 + 1 + 1, 107,
       [](ArticleTest& t, const char* s) { return t.Program(0xC0, 1, 0, 1, s, "A"); }},
      {"ProgramArt Name", 2 + 5 + 1 + 2 + 1 + 8 + 1 + 2 + 1, 107,
       [](ArticleTest& t, const char* s) { return t.Program(0xC0, 14800, 99, 12345.67, "pw", s); }},
      {"DeleteArt Password, all", 3, 107,
       [](ArticleTest& t, const char* s) { return t.Delete(0, s); }},
      {"DeleteArt Password, one", 1 + 3 + 1, 107,
       [](ArticleTest& t, const char* s) { return t.Delete(123, s); }},
      {"ChangePrice Password", 1 + 2 + 1 + 4 + 1, 107,
       [](ArticleTest& t, const char* s) { return t.Reprice(12, 1.5, s); }},
      {"SetOperatorName Password", 2 + 1 + 1 + 4, 102,
       [](ArticleTest& t, const char* s) { return t.OperatorName(15, s, "Anna"); }},
      {"SetOperatorName OperatorName", 2 + 1 + 0 + 1, 102,
       [](ArticleTest& t, const char* s) { return t.OperatorName(15, "", s); }},
      {"SetOperatorPassword OldPassword", 1 + 1 + 1 + 1, 101,
       [](ArticleTest& t, const char* s) { return t.OperatorPassword(1, s, "x"); }},
      {"SetOperatorPassword NewPassword", 1 + 1 + 1 + 1, 101,
       [](ArticleTest& t, const char* s) { return t.OperatorPassword(1, "x", s); }},
      {"ClearOperatorPassword AdministatorPassword", 2 + 1, 119,
       [](ArticleTest& t, const char* s) { return t.ClearPassword(s, 15); }},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The longest that fits: sent whole (the printer may still refuse it).
    port.printer().ClearRequests();
    const std::string fits(85 - c.other, 'a');
    c.call(*this, fits.c_str());
    ASSERT_EQ(Commands(), (std::vector<int>{74, c.command}));
    EXPECT_EQ(LastData().size(), 85u);
    EXPECT_NE(CallStatus(), -1);
    // One more byte, a Cyrillic one (two in UTF-8, one in Windows-1251), and a 10,000-character
    // text: refused with nothing sent, not even the status pre-read.
    for (const std::string& text :
         {std::string(85 - c.other, 'a') + "Я", std::string(10000, 'W')}) {
      port.printer().ClearRequests();
      const Call got = c.call(*this, text.c_str());
      EXPECT_EQ(got.result, 0);
      EXPECT_TRUE(Commands().empty());
      EXPECT_EQ(CallStatus(), -1);
      EXPECT_EQ(Error(), 1);
    }
  }
}

}  // namespace
}  // namespace molvex::testing
