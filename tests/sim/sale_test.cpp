// Receipts through the real link: a sale, a refund, a non-fiscal receipt, and refusals.
#include <gtest/gtest.h>

#include "tests/sim/sim_harness.h"

namespace simtest {
namespace {

constexpr std::uint32_t kRefundBit = 1u << 7;
constexpr std::uint32_t kFiscalBit = 1u << 10;
constexpr std::uint32_t kNonFiscalBit = 1u << 11;
constexpr std::uint32_t kNotAllowed = 1u << 5;
constexpr std::uint32_t kSyntax = 1u << 0;

const char kBread[] = "\xD5\xEB\xE5\xE1";  // Хлеб in Windows-1251

class Receipts : public LinkedPrinter {
 protected:
  void SetUp() override {
    LinkedPrinter::SetUp();
    device.SetPaperSink([this](const std::string& text) { paper += text; });
    ProgramArticle(1, '\xC0', "12.50", kBread);
    ProgramArticle(2, '\xC1', "30.00", "MILK");
  }
  std::uint32_t ReceiptBits() {
    return Ok(74, "X").error & (kRefundBit | kFiscalBit | kNonFiscalBit);
  }

  std::string paper;
};

TEST_F(Receipts, AWholeSaleFromOpeningToClosing) {
  EXPECT_EQ(ReceiptBits(), 0u);
  Ok(48, "00001,,00003,I");
  EXPECT_EQ(ReceiptBits(), kFiscalBit);
  EXPECT_EQ(Ok(58, "1*2.000").Field(2), "2500");
  EXPECT_EQ(Ok(58, "2*1.500,-10.00").Field(1), "4050");  // 45.00 less 10 %
  LinkReply status = Ok(76, "T");
  EXPECT_EQ(status.Field(3), "6550");
  EXPECT_EQ(status.Field(4), "0");

  LinkReply pay = Ok(53, "\tP50.00");
  EXPECT_EQ(pay.Field(1), "R");  // the link splits the letter off
  EXPECT_EQ(pay.Field(2), "1550");
  EXPECT_EQ(Ok(76, "T").Field(4), "5000");
  EXPECT_NE(Run(56).error & kNotAllowed, 0u) << "closing before the sum is paid";
  pay = Ok(53, "\tP20.00");
  EXPECT_EQ(pay.Field(1), "D");
  EXPECT_EQ(pay.Field(2), "450");  // change
  EXPECT_EQ(Ok(56).Field(1), "1");

  EXPECT_EQ(ReceiptBits(), 0u);
  EXPECT_EQ(Ok(113).Field(1), "1");
  EXPECT_EQ(Ok(70).Field(1), "6550");  // cash kept after the change
  const LinkReply day = Ok(65, "0");   // sales per tax group
  EXPECT_EQ(day.Field(2), "2500");
  EXPECT_EQ(day.Field(3), "4050");
  EXPECT_NE(paper.find("\xD0\xA5\xD0\xBB\xD0\xB5\xD0\xB1"), std::string::npos)
      << "the article name as UTF-8 on paper:\n"
      << paper;
  EXPECT_NE(paper.find("65.50"), std::string::npos);
}

TEST_F(Receipts, PaymentsByOtherMeansAndTheRestAndCancel) {
  Ok(48, "00001,,00001,I");
  Ok(58, "2");
  EXPECT_NE(Run(53, "\tN40.00").error & kNotAllowed, 0u) << "no change on a card";
  EXPECT_EQ(Ok(120, "1,10.00,TX123").Field(1), "R");
  EXPECT_EQ(Ok(53, "\tN").Field(1), "D");  // no amount: the rest
  Ok(56);
  Ok(48, "00001,,00001,I");
  Ok(58, "1");
  Ok(57);
  EXPECT_EQ(ReceiptBits(), 0u);
  const LinkReply payments = Ok(65, "2");
  EXPECT_EQ(payments.Field(3), "3000");  // payment type N
  EXPECT_EQ(Ok(65, "0").Field(2), "0");  // the voided sale is not in the day
  EXPECT_EQ(Ok(70).Field(1), "0");
}

TEST_F(Receipts, RefundReceiptSetsBothBitsAndPaysCashOut) {
  Ok(70, "100.00");
  Ok(85, "00001,,00001,I");
  EXPECT_EQ(ReceiptBits(), kFiscalBit | kRefundBit);
  Ok(58, "2");
  Ok(53, "\tP");
  Ok(56);
  EXPECT_EQ(ReceiptBits(), 0u);
  const LinkReply cash = Ok(70);
  EXPECT_EQ(cash.Field(1), "7000");
  EXPECT_EQ(cash.Field(2), "10000");
  EXPECT_EQ(Ok(65, "1").Field(3), "3000");  // refunds of tax group Б
}

TEST_F(Receipts, NonFiscalReceiptSetsItsBitAndPrintsItsText) {
  Ok(38);
  EXPECT_EQ(ReceiptBits(), kNonFiscalBit);
  Ok(42, "HELLO THERE");
  // The printer's line widths: 35 characters on a non-fiscal line, more are cut.
  Ok(42, "12345678901234567890123456789012345");
  Ok(42, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
  Ok(39);
  EXPECT_EQ(ReceiptBits(), 0u);
  EXPECT_NE(paper.find("\nHELLO THERE\n"), std::string::npos) << paper;
  EXPECT_NE(paper.find("\n12345678901234567890123456789012345\n"), std::string::npos) << paper;
  EXPECT_NE(paper.find("\nABCDEFGHIJKLMNOPQRSTUVWXYZ012345678\n"), std::string::npos) << paper;
}

TEST_F(Receipts, AFiscalTextLineHoldsTwentyFourCharacters) {
  Ok(48, "00001,,00001,I");
  Ok(54, "123456789012345678901234");
  Ok(54, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  Ok(57);
  EXPECT_NE(paper.find("\n123456789012345678901234\n"), std::string::npos) << paper;
  EXPECT_NE(paper.find("\nABCDEFGHIJKLMNOPQRSTUVWX\n"), std::string::npos) << paper;
}

TEST_F(Receipts, CommandsInTheWrongStateAreRefused) {
  struct Case {
    const char* state;  // "" none, "F" fiscal open, "N" non-fiscal open
    int command;
    const char* data;
    std::uint32_t bit;
  };
  const Case cases[] = {
      {"", 58, "1", kNotAllowed},
      {"", 53, "\tP", kNotAllowed},
      {"", 56, "", kNotAllowed},
      {"", 57, "", kNotAllowed},
      {"", 42, "X", kNotAllowed},
      {"", 39, "", kNotAllowed},
      {"", 54, "X", kNotAllowed},
      {"", 70, "-1.00", kNotAllowed},  // more than the drawer holds
      {"F", 48, "00001,,00001,I", kNotAllowed},
      {"F", 38, "", kNotAllowed},
      {"F", 69, "0,0", kNotAllowed},  // Z report with an open receipt
      {"F", 56, "", kNotAllowed},     // not paid
      {"F", 58, "99", kNotAllowed},   // article not programmed
      {"F", 61, "01-02-27 10:00:00", kNotAllowed},
      {"F", 70, "5.00", kNotAllowed},
      {"N", 58, "1", kNotAllowed},
      {"N", 48, "00001,,00001,I", kNotAllowed},
      {"", 48, "00016,,00001,I", kSyntax},
      {"F", 58, "1*abc", kSyntax},
      {"F", 58, "1,-100.00", kSyntax},
      {"F", 53, "P10.00", kSyntax},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.state) + " " + std::to_string(c.command) + " " + c.data);
    if (std::string(c.state) == "F") Ok(48, "00001,,00001,I");
    if (std::string(c.state) == "N") Ok(38);
    const LinkReply r = Run(c.command, c.data);
    EXPECT_EQ(r.error & FailureMask & ~(1u << 27), c.bit);
    if (std::string(c.state) == "F") Ok(57);
    if (std::string(c.state) == "N") Ok(39);
    EXPECT_EQ(ReceiptBits(), 0u);
  }
}

TEST_F(Receipts, OperatorPasswordIsCheckedOnceSet) {
  Ok(101, "1,,4321");
  EXPECT_NE(Run(48, "00001,1111,00001,I").error & kNotAllowed, 0u);
  Ok(48, "00001,4321,00001,I");
  Ok(57);
  EXPECT_NE(Run(101, "1,bad,1").error & kNotAllowed, 0u);
  Ok(119, "1,0");  // cleared with the administrator password
  Ok(48, "00001,anything,00001,I");
  Ok(57);
}

}  // namespace
}  // namespace simtest
