// Every wrapper's data text and refusals.
#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <limits>

#include "link/commands.h"
#include "link/link_state.h"
#include "tests/link/scripted_channel.h"

namespace {

void Ignore(RetData&) {}

struct SentCase {
  const char* name;
  std::function<std::int32_t()> call;
  std::int32_t code;
  std::string data;
};

struct RefusedCase {
  const char* name;
  std::function<std::int32_t()> call;
  std::int32_t result;
};

#define W 0, Ignore, 0

class CommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { linktest::OpenScripted(channel); }
  void TearDown() override {
    LinkReset();
    LinkSetPortFactory(nullptr);
    LinkSetClock(nullptr);
  }
  // The data text of the last frame written.
  std::string SentData() const {
    const std::string& f = channel.writes.back();
    return f.substr(4, f.size() - 10);
  }
  linktest::ScriptedChannel channel;
};

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST_F(CommandsTest, DataTextsAreBuiltByTheCatalogue) {
  const std::vector<SentCase> cases = {
      {"clear display", [] { return PrnClearDisplay(W); }, 33, ""},
      {"display lower", [] { return PrnDisplayLower(W, "Lower"); }, 35, "Lower"},
      {"net params", [] { return PrnReadNetParams(W); }, 37, ""},
      {"open non-fiscal", [] { return PrnOpenNonFiscal(W); }, 38, ""},
      {"close non-fiscal", [] { return PrnCloseNonFiscal(W); }, 39, ""},
      {"non-fiscal text", [] { return PrnPrintNonFiscal(W, "line"); }, 42, "line"},
      {"cut", [] { return PrnCutReceipt(W); }, 45, ""},
      {"display upper", [] { return PrnDisplayUpper(W, ""); }, 47, ""},
      {"open fiscal", [] { return PrnOpenFiscal(W, 1, "", 3); }, 48, "00001,,00003,I"},
      {"open fiscal wide", [] { return PrnOpenFiscal(W, 1234567, "pw", 0xFFFFFFFFu); }, 48,
       "1234567,pw,4294967295,I"},
      {"subtotal print", [] { return PrnSubtotal(W, 1, 0, 0, 0); }, 51, "10"},
      {"subtotal percent", [] { return PrnSubtotal(W, 0, 1, -5, 0); }, 51, "01,-5.00"},
      {"subtotal amount", [] { return PrnSubtotal(W, 1, 1, 0, 2.5); }, 51, "11;2.50"},
      {"subtotal none", [] { return PrnSubtotal(W, 0, 0, 0, 0); }, 51, "00"},
      {"sale display", [] { return PrnSaleDisplay(W, 1, 12, 2, 0, 0); }, 52, "12*2.000"},
      {"sale", [] { return PrnSale(W, 1, 12, 2, 0, 0); }, 58, "12*2.000"},
      {"sale minus", [] { return PrnSale(W, 0, 12, 2, 0, 0); }, 58, "-12*2.000"},
      {"sale percent", [] { return PrnSale(W, 1, 12, 2, -5, 0); }, 58, "12*2.000,-5.00"},
      {"sale discount", [] { return PrnSale(W, 1, 12, 1.5, 0, 0.5); }, 58, "12*1.500;0.50"},
      {"sale no quantity", [] { return PrnSale(W, 0, 5, 0, 0, 0); }, 58, "-5"},
      {"sale rounding", [] { return PrnSale(W, 1, 7, 0.0005, 99.99, 0); }, 58, "7*0.001,99.99"},
      {"total", [] { return PrnTotal(W, "", 'P', 100); }, 53, "\tP100.00"},
      {"total text", [] { return PrnTotal(W, "abc", 'N', 12.345); }, 53, "abc\tN12.35"},
      {"fiscal text", [] { return PrnPrintFiscalText(W, "txt"); }, 54, "txt"},
      {"close fiscal", [] { return PrnCloseFiscal(W); }, 56, ""},
      {"cancel", [] { return PrnCancelReceipt(W); }, 57, ""},
      {"set date", [] { return PrnSetDateTime(W, "01-02-15", "10:20:30"); }, 61,
       "01-02-15 10:20:30"},
      {"get date", [] { return PrnGetDateTime(W); }, 62, ""},
      {"show date", [] { return PrnShowDateTime(W); }, 63, ""},
      {"x report", [] { return PrnReport(W, "pw", '2'); }, 69, "pw,2"},
      {"z report", [] { return PrnReport(W, "", '0'); }, 69, ",0"},
      {"cash query", [] { return PrnCashInOut(W, 0); }, 70, ""},
      {"cash in", [] { return PrnCashInOut(W, 12.5); }, 70, "12.50"},
      {"cash out", [] { return PrnCashInOut(W, -10); }, 70, "-10.00"},
      {"period full number", [] { return PrnPeriodFullByNumber(W, "", 1, 25); }, 73, ",0001,0025"},
      {"period short number", [] { return PrnPeriodShortByNumber(W, "p", 12345, -5); }, 95,
       "p,12345,-005"},
      {"status", [] { return PrnReadStatus(W, 0); }, 74, "W"},
      {"status x", [] { return PrnReadStatus(W, 7); }, 74, "X"},
      {"transaction", [] { return PrnTransactionStatus(W, 0); }, 76, ""},
      {"transaction t", [] { return PrnTransactionStatus(W, 1); }, 76, "T"},
      {"period short date", [] { return PrnPeriodShortByDate(W, "", "", ""); }, 79, ",,"},
      {"period full date", [] { return PrnPeriodFullByDate(W, "pw", "010114", "311214"); }, 94,
       "pw,010114,311214"},
      {"period full date pad", [] { return PrnPeriodFullByDate(W, "", "10114", "1234567"); }, 94,
       ", 10114,1234567"},
      {"open refund", [] { return PrnOpenRefund(W, 2, "7", 1); }, 85, "00002,7,00001,I"},
      {"barcode", [] { return PrnBarcode(W, 1, "123"); }, 88, "1123"},
      {"barcode low bits", [] { return PrnBarcode(W, 258, "9"); }, 88, "29"},
      {"diagnostic", [] { return PrnDiagnostic(W, 0); }, 90, "0"},
      {"diagnostic 1", [] { return PrnDiagnostic(W, 1); }, 90, "1"},
      {"operator password", [] { return PrnSetOperatorPassword(W, 3, "old", "new"); }, 101,
       "3,old,new"},
      {"operator name", [] { return PrnSetOperatorName(W, 15, "pw", "Ann"); }, 102, "15,pw,Ann"},
      {"drawer small", [] { return PrnOpenDrawer(W, 4); }, 106, ""},
      {"drawer", [] { return PrnOpenDrawer(W, 100); }, 106, "100"},
      {"article program", [] { return PrnArticleProgram(W, '\xC1', 25, 3, 4.5, "", "Milk"); }, 107,
       "P\xC1"
       "25,3,4.50,,Milk"},
      {"article delete all", [] { return PrnArticleDelete(W, 0, "pw"); }, 107, "DA,pw"},
      {"article delete", [] { return PrnArticleDelete(W, 12, "pw"); }, 107, "D12,pw"},
      {"article price", [] { return PrnArticleChangePrice(W, 7, 3, "pw"); }, 107, "C7,3.00,pw"},
      {"article read", [] { return PrnArticleRead(W, 7); }, 107, "R7"},
      {"article first", [] { return PrnArticleFirst(W); }, 107, "F"},
      {"article next", [] { return PrnArticleNext(W); }, 107, "N"},
      {"copy", [] { return PrnPrintCopy(W, 2); }, 109, "2"},
      {"article report", [] { return PrnArticleReport(W, "pw", 'G'); }, 111, "pw,G"},
      {"last receipt", [] { return PrnLastReceiptNumber(W); }, 113, ""},
      {"ej copy", [] { return PrnEjCopy(W, -17); }, 116, "-17"},
      {"clear password", [] { return PrnClearOperatorPassword(W, 15, "adm"); }, 119, "15,adm"},
      {"payment code", [] { return PrnPaymentWithCode(W, 2, 250, "", 99); }, 120, "2,250.00,"},
      {"ej copies", [] { return PrnEjCopies(W, 3, 9); }, 235, "3,9"},
      {"ej tax", [] { return PrnEjTaxReports(W, 4); }, 236, "4"},
      {"identity", [] { return PrnDeviceIdentity(W); }, 255, ""},
  };
  for (const SentCase& c : cases) {
    const std::size_t before = channel.writes.size();
    EXPECT_EQ(c.call(), PRN_OK) << c.name;
    ASSERT_EQ(channel.writes.size(), before + 1) << c.name;
    EXPECT_EQ(static_cast<std::uint8_t>(channel.writes.back()[3]), c.code) << c.name;
    EXPECT_EQ(SentData(), c.data) << c.name;
  }
}

TEST_F(CommandsTest, RefusedArgumentsSendNothing) {
  const std::string long_text(200, 'x');
  const std::vector<RefusedCase> cases = {
      {"sale percent and discount", [] { return PrnSale(W, 1, 1, 1, 5, 1); }, -1},
      {"sale negative quantity", [] { return PrnSale(W, 1, 1, -1, 0, 0); }, -1},
      {"sale percent too high", [] { return PrnSaleDisplay(W, 1, 1, 1, 150, 0); }, -1},
      {"sale percent too low", [] { return PrnSale(W, 1, 1, 1, -99.991, 0); }, -1},
      {"sale not a number", [] { return PrnSale(W, 1, 1, kNaN, 0, 0); }, -1},
      {"subtotal both", [] { return PrnSubtotal(W, 1, 1, 5, 2); }, -1},
      {"total infinite", [] { return PrnTotal(W, "", 'P', kInf); }, -1},
      {"cash not a number", [] { return PrnCashInOut(W, kNaN); }, -1},
      {"article number", [] { return PrnArticleProgram(W, '\xC0', 0, 1, 1, "", ""); }, -1},
      {"article tax letter", [] { return PrnArticleProgram(W, '\xC5', 1, 1, 1, "", ""); }, -2},
      {"article tax digit", [] { return PrnArticleProgram(W, 1, 1, 1, 1, "", ""); }, -2},
      {"article group", [] { return PrnArticleProgram(W, '\xC4', 1, 100, 1, "", ""); }, -3},
      {"article group low", [] { return PrnArticleProgram(W, '\xC4', 1, -1, 1, "", ""); }, -3},
      {"article price", [] { return PrnArticleProgram(W, '\xC4', 1, 0, 0, "", ""); }, -4},
      {"article price nan", [] { return PrnArticleProgram(W, '\xC4', 1, 0, kNaN, "", ""); }, -4},
      {"article delete", [] { return PrnArticleDelete(W, -1, ""); }, -1},
      {"article price number", [] { return PrnArticleChangePrice(W, 0, 1, ""); }, -1},
      {"article read", [] { return PrnArticleRead(W, -1); }, -1},
      {"article report kind", [] { return PrnArticleReport(W, "", 'X'); }, -1},
      {"clear password low", [] { return PrnClearOperatorPassword(W, 0, ""); }, -1},
      {"clear password high", [] { return PrnClearOperatorPassword(W, 16, ""); }, -1},
      {"barcode zero byte", [] { return PrnBarcode(W, -48, "1"); }, -1},
      {"text too long", [&] { return PrnPrintNonFiscal(W, long_text.c_str()); }, PRN_DATA_TOO_LONG},
      {"formatted too long", [&] { return PrnOpenFiscal(W, 1, long_text.c_str(), 1); },
       PRN_DATA_TOO_LONG},
      {"huge amount", [] { return PrnCashInOut(W, 1e300); }, PRN_DATA_TOO_LONG},
  };
  for (const RefusedCase& c : cases) {
    EXPECT_EQ(c.call(), c.result) << c.name;
  }
  EXPECT_TRUE(channel.writes.empty());
}

TEST_F(CommandsTest, NumbersIgnoreTheProcessLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
      std::setlocale(LC_NUMERIC, "ru_RU.UTF-8") == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma on this machine";
  }
  PrnSale(W, 1, 3, 1.5, 0, 0);
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(SentData(), "3*1.500");
}

TEST(CommandsBeforeOpen, WrappersPassTheLinkRefusalOn) {
  LinkReset();
  EXPECT_EQ(PrnReadStatus(W, 0), PRN_BUSY);
  EXPECT_EQ(PrnSale(W, 1, 1, 1, 0, 0), PRN_BUSY);
}

#undef W

// A request is built before anything is sent, whether or not a link is open: its text as the
// wrapper would send it, or why it cannot go. An argument refused keeps the text as built, so that
// an entry can refuse a text that would not fit before it sends anything at all.
TEST(CommandBuilders, RequestsCarryTheirTextOrWhyTheyCannotGo) {
  LinkReset();
  const std::string fits(kPrnMaxData, 'x');
  const std::string over(kPrnMaxData + 1, 'x');
  struct Case {
    const char* name;
    PrnRequest request;
    std::int32_t refusal;
    bool fits_whole;
    std::string data;  // when it can go
  };
  const std::vector<Case> cases = {
      {"article", PrnBuildArticleProgram('\xC0', 12, 3, 1.5, "pw", "N"), PRN_OK, true,
       "P\xC0"
       "12,3,1.50,pw,N"},
      {"longest text", PrnBuildPrintNonFiscal(fits.c_str()), PRN_OK, true, fits},
      {"one byte more", PrnBuildPrintNonFiscal(over.c_str()), PRN_DATA_TOO_LONG, false, ""},
      {"formatted over", PrnBuildOpenFiscal(1, fits.c_str(), 1), PRN_DATA_TOO_LONG, false, ""},
      {"refused and too long", PrnBuildClearOperatorPassword(16, fits.c_str()), -1, false, ""},
      {"refused, fits", PrnBuildArticleChangePrice(0, 1, "pw"), -1, true, ""},
      {"totals index", PrnBuildDayTotals(3), PRN_OK, true, "3"},
      {"last Z report", PrnBuildLastZReport(0), PRN_OK, true, "0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.request.Refusal(), c.refusal) << c.name;
    EXPECT_EQ(c.request.FitsWhole(), c.fits_whole) << c.name;
    if (c.refusal == PRN_OK) {
      EXPECT_EQ(std::string(c.request.data, c.request.length), c.data) << c.name;
    }
  }
  EXPECT_EQ(PrnBuildDayTotals(0).command, kCmdDayTotals);
  EXPECT_EQ(PrnBuildLastZReport(0).command, kCmdLastZReport);
}

// A link of its own runs its transaction on its own port, counters and result record: the
// process link sees nothing of it.
TEST(LinkInstances, ALinkOfItsOwnLeavesTheProcessLinkAlone) {
  LinkReset();
  linktest::ScriptedChannel own;
  Link link;
  link.SetPortFactory(&own);
  link.SetClock(&own.clock);
  ASSERT_EQ(link.Open(3, 9600), 7);
  EXPECT_EQ(own.opened_port, 3);
  own.Bytes(linktest::ReplyFrame(0x21, kCmdReadStatus, "0"));
  ASSERT_EQ(link.Transact(PrnBuildReadStatus(0)), PRN_OK);
  EXPECT_EQ(link.Result().ErrorWord, 0u);
  EXPECT_EQ(link.Result().Command, kCmdReadStatus);
  ASSERT_EQ(link.Result().FieldCount, 1);
  EXPECT_STREQ(link.Result().Fields[0], "0");
  ASSERT_EQ(own.writes.size(), 1u);
  EXPECT_EQ(own.writes[0].substr(2, 3),
            "\x21J"
            "W");
  EXPECT_EQ(link.core().sequence, 1);
  // The process link: never opened, nothing sent, nothing counted.
  EXPECT_EQ(SequenceCounter, 0);
  EXPECT_EQ(LinkReady, 0);
  EXPECT_EQ(LinkResult.Command, 0);
  EXPECT_EQ(PrnReadStatus(0, Ignore, 0, 0), PRN_BUSY);
  // A refused request sends nothing on its link either.
  EXPECT_EQ(link.Transact(PrnBuildArticleRead(-1)), -1);
  EXPECT_EQ(own.writes.size(), 1u);
}

}  // namespace
