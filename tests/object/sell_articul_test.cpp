// SellArticul: the name and description, the probe through the article table (find, program,
// collision, wrap, its bound), the price rules and the sale.
#include <clocale>
#include <cmath>
#include <set>

#include "object/call_pattern.h"
#include "object/sell_articul.h"
#include "tests/object/receipt_fixture.h"

namespace molvex::testing {
namespace {

constexpr char kJuiceUtf8[] = "Сок яблочный 1 л";
constexpr char kJuice1251[] = "\xD1\xEE\xEA \xFF\xE1\xEB\xEE\xF7\xED\xFB\xE9 1 \xEB";

class SellArticulTest : public ReceiptTest {
 protected:
  struct Call {
    std::string name = "TEA";  // UTF-8
    double price = 12.5;
    double quantity = 1;
    unsigned char tax = 0;
    int group = 1;
    std::string password;
    double percent = 0;
    double discount = 0;
  };

  LONG SellByName(const Call& c, HRESULT expected = S_OK) {
    Bstr name(c.name);
    Bstr password(c.password);
    LONG result = 77;
    EXPECT_EQ(obj.SellArticul(name.get(), c.price, c.quantity, c.tax, c.group, password.get(),
                              c.percent, c.discount, &result),
              expected);
    return result;
  }

  // The first article number SellArticul looks at for this description.
  static std::int32_t FirstCandidate(char letter, int group, double price,
                                     const std::string& password, const std::string& name1251) {
    const std::string description = std::string(1, letter) + "," + std::to_string(group) + "," +
                                    FixedText(price, 2) + "," + password + "," + name1251;
    return DescriptionValue(description) % kArticleTableSize + 1;
  }

  std::string ProgramData(char letter, std::int32_t number, int group, const std::string& price,
                          const std::string& name1251) {
    return "P" + std::string(1, letter) + std::to_string(number) + "," + std::to_string(group) +
           "," + price + ",," + name1251;
  }
};

TEST(SellArticulPieces, DescriptionValueAndName) {
  EXPECT_EQ(DescriptionValue("ABC"), 0x423D);
  EXPECT_EQ(DescriptionValue("ABC") % kArticleTableSize + 1, 2158);
  EXPECT_EQ(DescriptionValue(""), 0);
  EXPECT_EQ(DescriptionValue("A"), 0x0041);
  EXPECT_EQ(DescriptionValue(std::string("AB\0C", 4)), DescriptionValue("AB"));
  // Odd parity of H flips the top bit of the byte that moves up.
  EXPECT_EQ(DescriptionValue("\x01\x02\x03"), 0x8202);

  const std::string a24(24, 'a');
  const std::string b24(24, 'b');
  EXPECT_EQ(ArticleName(""), "");
  EXPECT_EQ(ArticleName(a24), a24);
  EXPECT_EQ(ArticleName(a24 + "bbbbbb"), a24 + "\tbbbbbb");
  EXPECT_EQ(ArticleName(a24 + b24), a24 + "\t" + b24);
  EXPECT_EQ(ArticleName(a24 + b24 + "cccccccccccc"), a24 + "\t" + b24);
}

TEST_F(SellArticulTest, ProgramsAFreeNumberOnceThenFindsItThere) {
  Open();
  ASSERT_TRUE(OpenSale());
  const std::int32_t n = FirstCandidate('\xC1', 3, 45.9, "", kJuice1251);
  port.printer().ClearRequests();
  Call c;
  c.name = kJuiceUtf8;
  c.price = 45.9;
  c.quantity = 2;
  c.tax = 1;
  c.group = 3;
  EXPECT_EQ(SellByName(c), 1);
  EXPECT_EQ(CallStatus(), 0);
  const std::string sale = std::to_string(n) + "*2.000";
  EXPECT_EQ(Requests(), (Sent{{74, "W"},
                              {107, "R" + std::to_string(n)},
                              {107, ProgramData('\xC1', n, 3, "45.90", kJuice1251)},
                              {58, sale}}));

  port.printer().ClearRequests();
  EXPECT_EQ(SellByName(c), 1);
  EXPECT_EQ(Requests(), (Sent{{74, "W"}, {107, "R" + std::to_string(n)}, {58, sale}}));
  EXPECT_DOUBLE_EQ(Sum(), 183.60);
}

TEST_F(SellArticulTest, TaxLetterAndGroupRules) {
  struct Case {
    unsigned char tax;
    int group;
    char letter;
    int sent_group;
  };
  // Any other tax or group is refused (the table of refused arguments).
  const Case cases[] = {{0, 1, '\xC0', 1}, {4, 99, '\xC4', 99}, {0xC2, 5, '\xC2', 5}};
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.tax));
    port.printer().ClearRequests();
    Call call;
    call.name = "ITEM " + std::to_string(c.tax) + " " + std::to_string(c.group);
    call.tax = c.tax;
    call.group = c.group;
    SellByName(call);  // no receipt is open: the sale itself fails, the article is programmed
    const std::int32_t n = FirstCandidate(c.letter, c.sent_group, 12.5, "", call.name);
    ASSERT_GE(port.requests().size(), 3u);
    EXPECT_EQ(port.requests()[2].data, ProgramData(c.letter, n, c.sent_group, "12.50", call.name));
  }
}

TEST_F(SellArticulTest, ATakenNumberSendsTheProbeOnAndAfter14800ComesOne) {
  Open();
  ASSERT_TRUE(OpenSale());
  // Another article under the first candidate: the next number is free.
  const std::int32_t n = FirstCandidate('\xC0', 1, 12.5, "", "TEA");
  ASSERT_LT(n, kArticleTableSize);
  Program(n, '\xC0', "12.50", "COFFEE");
  port.printer().ClearRequests();
  EXPECT_EQ(SellByName(Call{}), 1);
  EXPECT_EQ(Commands(), (std::vector<int>{74, 107, 107, 107, 58}));
  EXPECT_EQ(port.requests()[1].data, "R" + std::to_string(n));
  EXPECT_EQ(port.requests()[2].data, "R" + std::to_string(n + 1));
  EXPECT_EQ(port.requests()[3].data, ProgramData('\xC0', n + 1, 1, "12.50", "TEA"));

  // A name whose first candidate is the last number of the table.
  std::string name;
  for (int k = 0; name.empty(); ++k) {
    const std::string candidate = "ITEM" + std::to_string(k);
    if (FirstCandidate('\xC0', 1, 12.5, "", candidate) == kArticleTableSize) name = candidate;
  }
  Program(kArticleTableSize, '\xC0', "12.50", "COFFEE");
  port.printer().ClearRequests();
  Call wraps;
  wraps.name = name;
  EXPECT_EQ(SellByName(wraps), 1);
  ASSERT_EQ(port.requests().size(), 5u);
  EXPECT_EQ(port.requests()[1].data, "R14800");
  EXPECT_EQ(port.requests()[2].data, "R1");
  EXPECT_EQ(port.requests()[3].data, ProgramData('\xC0', 1, 1, "12.50", name));
  EXPECT_EQ(port.requests()[4].data, "1*1.000");
}

TEST_F(SellArticulTest, ThePriceMatchesAsItsTwoDecimalTextInEveryLocale) {
  Open();
  ASSERT_TRUE(OpenSale());
  Call c;
  c.price = 12.345;  // programmed as 12.35
  EXPECT_EQ(SellByName(c), 1);
  port.printer().ClearRequests();
  EXPECT_EQ(SellByName(c), 1);
  EXPECT_EQ(Commands(), (std::vector<int>{74, 107, 58})) << "found, not programmed again";

  const std::string before = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "ru_RU.UTF-8") == nullptr) GTEST_SKIP() << "no ru_RU.UTF-8 locale";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  port.printer().ClearRequests();
  c.price = 12.5;
  EXPECT_EQ(SellByName(c), 1);
  port.printer().ClearRequests();
  EXPECT_EQ(SellByName(c), 1);
  std::setlocale(LC_ALL, before.c_str());
  EXPECT_EQ(Commands(), (std::vector<int>{74, 107, 58})) << "12.50 read as 12.5 under a comma";
}

TEST_F(SellArticulTest, PriceZeroNegativeOrNotANumber) {
  Open();
  VARIANT_BOOL ok = 7;
  ASSERT_EQ(obj.CloseFiscReceipt(&ok), S_OK);  // no receipt: a failure whose word stays
  ASSERT_EQ(Error(), 7);

  port.printer().ClearRequests();
  Call c;
  c.price = 0;
  EXPECT_EQ(SellByName(c), 0);
  EXPECT_EQ(Commands(), (std::vector<int>{74}));
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_EQ(Error(), 7) << "the saved error word is left as it was";

  for (const double price : {-1.0, -0.001, -HUGE_VAL}) {
    SCOPED_TRACE(price);
    LeaveErrorInfo();
    port.printer().ClearRequests();
    c.price = price;
    EXPECT_EQ(SellByName(c, static_cast<HRESULT>(0xFFFFFFFC)), 77) << "Result is not written";
    EXPECT_EQ(Commands(), (std::vector<int>{74}));
    EXPECT_EQ(ErrorDescription(),
              "SellArticul: the price is negative; nothing was sold. Give the price as a positive "
              "amount (an amount taken back belongs in a refund receipt)")
        << "-4 carries its own error information, never an earlier call's";
  }

  for (const double price : {HUGE_VAL, std::nan("")}) {
    port.printer().ClearRequests();
    c.price = price;
    EXPECT_EQ(SellByName(c), 0);
    EXPECT_EQ(Commands(), (std::vector<int>{74}));
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), 1);
  }
}

TEST_F(SellArticulTest, TheProbeEndsOnAFullTableAndOnRepliesItCannotRead) {
  Open();
  // Every number holds another article: each is asked once, then the call is refused.
  for (int n = 1; n <= kArticleTableSize; ++n) Program(n, '\xC1', "1.00", "OTHER");
  port.printer().ClearRequests();
  EXPECT_EQ(SellByName(Call{}), 0);
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_EQ(Error(), 1);
  std::set<std::string> asked;
  for (const auto& r : port.requests()) {
    if (r.command == 107) asked.insert(r.data);
  }
  EXPECT_EQ(port.requests().size(), 1u + kArticleTableSize);
  EXPECT_EQ(asked.size(), static_cast<std::size_t>(kArticleTableSize));

  const struct {
    const char* what;
    std::vector<std::pair<std::string, Status>> replies;  // to 107, in order
    std::vector<int> sent;
    LONG status;
    LONG error;
  } cases[] = {
      {"a record without its fields", {{"P,5,\xC0", kClean}}, {74, 107}, -1, 1},
      {"no reply data", {{"", kClean}}, {74, 107}, -1, 1},
      {"a failed query", {{"", kNotAllowed}}, {74, 107}, -2, 7},
      {"programming not confirmed", {{"F", kClean}, {"F", kClean}}, {74, 107, 107}, -1, 1},
      {"programming refused", {{"F", kClean}, {"", kNotAllowed}}, {74, 107, 107}, -2, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    port.printer().ClearRequests();
    for (const auto& [data, status] : c.replies) ArmStatus(107, status, data);
    EXPECT_EQ(SellByName(Call{}), 0);
    EXPECT_EQ(Commands(), c.sent);
    EXPECT_EQ(CallStatus(), c.status);
    EXPECT_EQ(Error(), c.error);
  }
}

TEST_F(SellArticulTest, LongTextsAndTheSale) {
  Open();
  // The name is cut to two lines of 24; the password has no such cut: too long, nothing goes.
  Call c;
  c.name = std::string(10000, 'N');
  c.password = std::string(10000, 'p');
  EXPECT_EQ(SellByName(c), 0);
  EXPECT_TRUE(port.requests().empty());
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_EQ(Error(), 1);

  ASSERT_TRUE(OpenSale());
  c.password.clear();
  port.printer().ClearRequests();
  EXPECT_EQ(SellByName(c), 1);
  ASSERT_EQ(port.requests().size(), 4u);
  const std::string printed = std::string(24, 'N') + "\t" + std::string(24, 'N');
  EXPECT_EQ(port.requests()[2].data.substr(port.requests()[2].data.size() - 49), printed);

  // A sale the wrapper refuses comes after the programming, which stays.
  port.printer().ClearRequests();
  c.name = "BUN";
  c.percent = 5;
  c.discount = 1;
  EXPECT_EQ(SellByName(c), 0);
  EXPECT_EQ(Commands(), (std::vector<int>{74, 107, 107}));
  EXPECT_EQ(CallStatus(), -1);

  // A sale the printer refuses: after the payment.
  VARIANT_BOOL ok = 7;
  ASSERT_EQ(obj.Payment(0, 0, &ok), S_OK);
  ASSERT_EQ(ok, VARIANT_TRUE);
  c.percent = 0;
  c.discount = 0;
  EXPECT_EQ(SellByName(c), 0);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 7);
}

}  // namespace
}  // namespace molvex::testing
