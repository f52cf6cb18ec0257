// Service cash, the drawer's cash and the day's service sums (command 70), and the totals read
// as raw text (commands 65 and 64) with the totals index and their HRESULT failure.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "object/call_pattern.h"
#include "tests/object/object_fixture.h"

namespace molvex::testing {
namespace {

constexpr Status kWriteError{0x80, 0x80, 0x80, 0x80, 0x81, 0x80};  // GetError 14
constexpr HRESULT kFailedReply = static_cast<HRESULT>(0xFFFFFFFFu);

using AmountRead = HRESULT (TTECRFiscImpl::*)(double*);

class CashTest : public ObjectTest {
 protected:
  double Read(AmountRead read) {
    double v = 12345;
    EXPECT_EQ((obj.*read)(&v), S_OK);
    return v;
  }
  std::string Totals(HRESULT (TTECRFiscImpl::*read)(BSTR*), HRESULT expected = S_OK) {
    Bstr text;
    EXPECT_EQ((obj.*read)(text.out()), expected);
    return text.utf8();
  }
  // Leaves a failed call behind: call status -2, GetError 14, status byte 4 = 1.
  void FailOnce() {
    ArmStatus(33, kWriteError);
    VARIANT_BOOL ok = 7;
    ASSERT_EQ(obj.ClearRegDisplay(&ok), S_OK);
    ASSERT_EQ(CallStatus(), -2);
    port.printer().ClearRequests();
  }
};

TEST_F(CashTest, ReadsTakeTheLeadingIntegerOfTheirFieldInHundredths) {
  struct Case {
    const char* reply;
    double cash, in, out;
  };
  const Case cases[] = {
      {"12345,12345,0", 123.45, 123.45, 0},
      {"5,123.45,99", 0.05, 1.23, 0.99},  // only the digits before the point count
      {"100x,,7 5", 1.0, 0, 0.07},        // parsing stops at the first non-digit; empty is 0
      {"-250,0,0", -2.5, 0, 0},
      {"", 0, 0, 0},  // no fields at all
      {"9999999999999,1,2", 99999999999.99, 0.01, 0.02},
      {"30240,30240,30240", 302.40, 302.40, 302.40},
  };
  Open();
  const std::pair<AmountRead, int> reads[] = {
      {&TTECRFiscImpl::get_CashInfo, 0},
      {&TTECRFiscImpl::get_ServiceIn, 1},
      {&TTECRFiscImpl::get_ServiceOut, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    const double expected[] = {c.cash, c.in, c.out};
    for (const auto& [read, field] : reads) {
      port.printer().ClearRequests();
      port.printer().ArmReply(70, c.reply, kClean);
      EXPECT_EQ(Read(read), expected[field]) << "field " << field + 1;
      // Pre-read, status check, then the query with empty data.
      EXPECT_EQ(Commands(), (std::vector<int>{74, 74, 70}));
      EXPECT_EQ(LastData(), "");
      EXPECT_EQ(CallStatus(), 0);
    }
  }
}

// Every amount read from the printer is the double nearest to its decimal text: hundredths
// divided by 100, never multiplied by 0.01 (30240 * 0.01 is 302.40000000000003).
TEST_F(CashTest, EveryAmountReadIsTheDoubleNearestItsDecimalText) {
  const std::pair<const char*, const char*> amounts[] = {
      {"30240", "302.40"},
      {"1", "0.01"},
      {"3", "0.03"},
      {"7", "0.07"},
      {"10", "0.10"},
      {"110", "1.10"},
      {"12345", "123.45"},
      {"99999", "999.99"},
      {"0", "0"},
      {"-250", "-2.50"},
      {"-30240", "-302.40"},
      {"1000000001", "10000000.01"},
      {"999999999999999", "9999999999999.99"},
  };
  const auto decimal = [](const char* text) {
    double value = 0;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
  };
  ASSERT_NE(30240 * 0.01, decimal("302.40"));  // the fault this guards against
  struct Entry {
    const char* name;
    AmountRead read;
    int command;
    int field;  // of the reply
  };
  const Entry entries[] = {
      {"CashInfo", &TTECRFiscImpl::get_CashInfo, 70, 1},
      {"ServiceIn", &TTECRFiscImpl::get_ServiceIn, 70, 2},
      {"ServiceOut", &TTECRFiscImpl::get_ServiceOut, 70, 3},
      {"GetReceiptSum", &TTECRFiscImpl::GetReceiptSum, 76, 3},
      {"GetReceiptPay", &TTECRFiscImpl::GetReceiptPay, 76, 4},
  };
  Open();
  for (const auto& [hundredths, text] : amounts) {
    for (const Entry& e : entries) {
      SCOPED_TRACE(std::string(e.name) + " " + hundredths);
      std::string reply;
      for (int f = 1; f <= 4; ++f)
        reply += std::string(f > 1 ? "," : "") + (f == e.field ? hundredths : "5");
      port.printer().ArmReply(e.command, reply, kClean);
      EXPECT_EQ(Read(e.read), decimal(text));
      EXPECT_EQ(CallStatus(), 0);
    }
  }
  // The conversion itself, over every amount up to 10,000.00 and a few beyond.
  char text[32];
  for (std::int64_t h = 0; h <= 1'000'000; ++h) {
    std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(h / 100),
                  static_cast<long long>(h % 100));
    ASSERT_EQ(CurrencyUnits(h), decimal(text)) << text;
  }
  for (const std::int64_t h : {123456789012345LL, 900719925474099LL, 4503599627370497LL}) {
    std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(h / 100),
                  static_cast<long long>(h % 100));
    EXPECT_EQ(CurrencyUnits(h), decimal(text)) << text;
  }
}

// A cash field longer than an amount is a failed reply, not a rounded number.
TEST_F(CashTest, ACashFieldTooLongForAnAmountIsAFailedReply) {
  Open();
  port.printer().ArmReply(70, "1234567890123456,0,0", kClean);
  EXPECT_EQ(Read(&TTECRFiscImpl::get_CashInfo), -1.0);
  EXPECT_EQ(CallStatus(), -2);
}

TEST_F(CashTest, ServiceInAndOutMoveTheDrawersCash) {
  Open();
  port.printer().ClearRequests();
  ASSERT_EQ(obj.put_ServiceIn(12.5), S_OK);
  EXPECT_EQ(Commands(), (std::vector<int>{74, 74, 70}));
  EXPECT_EQ(LastData(), "12.50");
  EXPECT_EQ(CallStatus(), 0);
  ASSERT_EQ(obj.put_ServiceOut(10), S_OK);
  EXPECT_EQ(LastData(), "-10.00");
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_DOUBLE_EQ(Read(&TTECRFiscImpl::get_CashInfo), 2.5);
  EXPECT_DOUBLE_EQ(Read(&TTECRFiscImpl::get_ServiceIn), 12.5);
  EXPECT_DOUBLE_EQ(Read(&TTECRFiscImpl::get_ServiceOut), 10);
  // More than the drawer holds: the printer refuses the withdrawal.
  ASSERT_EQ(obj.put_ServiceOut(3), S_OK);
  EXPECT_EQ(LastData(), "-3.00");
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 7);
  EXPECT_DOUBLE_EQ(Read(&TTECRFiscImpl::get_CashInfo), 2.5);
}

TEST_F(CashTest, AmountsOfZeroAndBelowAreRefusedAfterThePreRead) {
  Open();
  const std::pair<HRESULT (TTECRFiscImpl::*)(double), double> cases[] = {
      {&TTECRFiscImpl::put_ServiceIn, 0},
      {&TTECRFiscImpl::put_ServiceIn, -5},
      {&TTECRFiscImpl::put_ServiceIn, std::nan("")},
      {&TTECRFiscImpl::put_ServiceOut, 0},
      {&TTECRFiscImpl::put_ServiceOut, -10},
      {&TTECRFiscImpl::put_ServiceOut, -std::nan("")},
  };
  for (const auto& [write, amount] : cases) {
    SCOPED_TRACE(amount);
    FailOnce();
    ASSERT_EQ((obj.*write)(amount), S_OK);
    EXPECT_EQ(Commands(), (std::vector<int>{74}));
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), 1);
  }
  // An amount that cannot be written as a data text is refused as well, without command 70.
  port.printer().ClearRequests();
  ASSERT_EQ(obj.put_ServiceIn(INFINITY), S_OK);
  ASSERT_EQ(obj.put_ServiceIn(1e300), S_OK);
  EXPECT_EQ(Commands(), (std::vector<int>{74, 74, 74, 74}));
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_EQ(port.device().state().cash, 0);
}

TEST_F(CashTest, AFailingStatusCheckStopsBeforeCommand70) {
  Open();
  for (AmountRead read : {&TTECRFiscImpl::get_CashInfo, &TTECRFiscImpl::get_ServiceOut}) {
    port.printer().ClearRequests();
    ArmStatus(74, kClean);       // the pre-read: its outcome is ignored
    ArmStatus(74, kWriteError);  // the status check decides
    EXPECT_DOUBLE_EQ(Read(read), -1.0);
    EXPECT_EQ(Commands(), (std::vector<int>{74, 74}));
    EXPECT_EQ(CallStatus(), -2);
    EXPECT_EQ(Error(), 14);
    EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0, 0, 0, 0, 1, 0}));
  }
  port.printer().ClearRequests();
  port.printer().Arm(sim::Fault::Nak);      // a failing pre-read does not matter
  port.printer().Arm(sim::Fault::Silence);  // ... but no answer to the status check does
  ASSERT_EQ(obj.put_ServiceIn(5), S_OK);
  EXPECT_EQ(Commands(), (std::vector<int>{74, 74}));
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 19);
  EXPECT_TRUE(TimedOut());
  EXPECT_EQ(port.device().state().cash, 0);
  // Command 70 itself failing: -1.0 and its status saved.
  ArmStatus(70, kWriteError, "100,0,0");
  EXPECT_DOUBLE_EQ(Read(&TTECRFiscImpl::get_CashInfo), -1.0);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 14);
}

TEST_F(CashTest, WithoutAPortNothingIsSent) {
  for (AmountRead read : {&TTECRFiscImpl::get_CashInfo, &TTECRFiscImpl::get_ServiceIn,
                          &TTECRFiscImpl::get_ServiceOut}) {
    EXPECT_DOUBLE_EQ(Read(read), -1.0);
    EXPECT_EQ(Error(), 1);
    EXPECT_EQ(CallStatus(), -1);
  }
  for (auto write : {&TTECRFiscImpl::put_ServiceIn, &TTECRFiscImpl::put_ServiceOut}) {
    EXPECT_EQ((obj.*write)(10), S_OK);
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), 1);
  }
  for (auto read : {&TTECRFiscImpl::get_CurrentTotals, &TTECRFiscImpl::get_LastZReport}) {
    EXPECT_EQ(Totals(read), "");
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), 1);
  }
  EXPECT_TRUE(port.requests().empty());
}

TEST_F(CashTest, TotalIdxChoosesWhatCurrentTotalsAndLastZReportRead) {
  Open();
  // Never written: index 0, the sales per tax group after the number of the next Z report.
  EXPECT_EQ(Totals(&TTECRFiscImpl::get_CurrentTotals), "1,0,0,0,0,0");
  EXPECT_EQ(Commands(), (std::vector<int>{74, 65}));
  EXPECT_EQ(LastData(), "0");
  EXPECT_EQ(CallStatus(), -1) << "a success leaves the call status of SetComPort";
  EXPECT_EQ(Error(), 0);

  ASSERT_EQ(obj.put_TotalIdx(2), S_OK);
  port.printer().ClearRequests();
  EXPECT_EQ(Totals(&TTECRFiscImpl::get_CurrentTotals), "1,0,0,0,0,0,0");
  EXPECT_EQ(LastData(), "2");
  EXPECT_EQ(Totals(&TTECRFiscImpl::get_LastZReport), "0,0,0,0,0,0,0");
  EXPECT_EQ(Commands(), (std::vector<int>{74, 65, 74, 64}));
  EXPECT_EQ(LastData(), "2");

  // The whole reply data text as the printer sent it, commas and all, Windows-1251 decoded.
  port.printer().ArmReply(64, "7,\xC8\xF2\xEE\xE3\xEE,,12.50,", kClean);
  EXPECT_EQ(Totals(&TTECRFiscImpl::get_LastZReport), "7,Итого,,12.50,");

  // Stored without a check; a negative index goes out with its sign.
  for (const LONG index : {1, -3, INT32_MIN}) {
    ASSERT_EQ(obj.put_TotalIdx(index), S_OK);
    port.printer().ClearRequests();
    Bstr text;
    obj.get_CurrentTotals(text.out());
    EXPECT_EQ(LastData(), std::to_string(index));
  }
}

TEST_F(CashTest, AFailedTotalsReplyIsAnHresultAndChangesNoSavedState) {
  Open();
  FailOnce();
  for (auto read : {&TTECRFiscImpl::get_CurrentTotals, &TTECRFiscImpl::get_LastZReport}) {
    const int code = read == &TTECRFiscImpl::get_CurrentTotals ? 65 : 64;
    // A reply with a failure bit (bit 19, which has no error code of its own), a syntax error
    // for an unknown index, no reply at all.
    const std::function<void()> faults[] = {
        [&] {
          ArmStatus(code, {0x80, 0x80, 0x80, 0x80, 0x80, 0x84}, "1,2,3");
        },
        [&] { ASSERT_EQ(obj.put_TotalIdx(9), S_OK); },
        [&] {
          port.printer().Arm(sim::Fault::Nak);  // the pre-read
          port.printer().Arm(sim::Fault::Silence);
        },
    };
    // What the description says of each, after the name and "the printer's totals could not be
    // read: ".
    const char* const said[] = {"the printer refused the query. ",
                                "the printer refused the query with error code 2 of",
                                "the printer did not answer. "};
    for (std::size_t i = 0; i < std::size(faults); ++i) {
      SCOPED_TRACE(i);
      ASSERT_EQ(obj.put_TotalIdx(0), S_OK);
      faults[i]();
      // An exception earlier in the thread left error information that nobody took.
      const Bstr bad("1.2.3.x");
      ASSERT_EQ(obj.put_StatIPPr(bad.get()), S_OK);
      LONG r = 0;
      ASSERT_EQ(obj.WriteNetParams(&r), DISP_E_EXCEPTION);
      const Bstr good("1.2.3.4");
      ASSERT_EQ(obj.put_StatIPPr(good.get()), S_OK);

      BSTR value = nullptr;
      EXPECT_EQ((obj.*read)(&value), kFailedReply);
      EXPECT_EQ(value, nullptr);
      SysFreeString(value);
      const std::string description = ErrorDescription();
      const std::string lead = std::string(code == 65 ? "CurrentTotals" : "LastZReport") +
                               ": the printer's totals could not be read: " + said[i];
      EXPECT_EQ(description.substr(0, lead.size()), lead) << "never an earlier call's information";
      EXPECT_NE(description.find("(StatusBytes, GetError) is unchanged"), std::string::npos);
      EXPECT_EQ(CallStatus(), -2);
      EXPECT_EQ(Error(), 14);
      EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0, 0, 0, 0, 1, 0}));
    }
  }
  // A successful read leaves the saved state as well.
  ASSERT_EQ(obj.put_TotalIdx(0), S_OK);
  EXPECT_EQ(Totals(&TTECRFiscImpl::get_CurrentTotals), "1,0,0,0,0,0");
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 14);
}

}  // namespace
}  // namespace molvex::testing
