// Fiscal and non-fiscal receipt entries against the virtual printer: whole receipts read back,
// the data text of every entry, refusals, the payment of the rest, multi-command entries that
// stop at the first failure, and the receipt-state reads.
#include <functional>

#include "tests/object/receipt_fixture.h"

namespace molvex::testing {
namespace {

constexpr char kBread[] = "\xD5\xEB\xE5\xE1";         // Хлеб in Windows-1251
constexpr char kMilk[] = "\xCC\xEE\xEB\xEE\xEA\xEE";  // Молоко
constexpr char kThanksUtf8[] = "Спасибо!";
constexpr char kThanks1251[] = "\xD1\xEF\xE0\xF1\xE8\xE1\xEE!";

TEST_F(ReceiptTest, ASaleAndARefundReadBackThroughTheReceiptReads) {
  Program(1, '\xC0', "12.50", kBread);
  Program(2, '\xC1', "30.00", kMilk);
  Open();
  EXPECT_EQ(LastReceipt(), 0);
  EXPECT_EQ(ReceiptKind(), 0);

  ASSERT_TRUE(OpenSale());
  EXPECT_EQ(ReceiptKind(), 1);
  ASSERT_TRUE(Sell(1, 2));
  VARIANT_BOOL ok = 7;
  ASSERT_EQ(obj.SellArtCashDS(VARIANT_TRUE, 2, 1.5, -10, 0, &ok), S_OK);
  ASSERT_EQ(ok, VARIANT_TRUE);
  EXPECT_EQ(port.device().display_lower(), "40.50") << "52 shows the sale";
  EXPECT_DOUBLE_EQ(Sum(), 65.50);
  Bstr thanks(kThanksUtf8);
  ASSERT_EQ(obj.StrPrntCash(thanks.get(), &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  ASSERT_EQ(obj.SubTotalDS(VARIANT_TRUE, VARIANT_FALSE, 0, -0.5, &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  EXPECT_DOUBLE_EQ(Sum(), 65.00);
  EXPECT_DOUBLE_EQ(Paid(), 0.0);
  ASSERT_TRUE(Pay(20, 1));  // card
  EXPECT_DOUBLE_EQ(Paid(), 20.0);
  port.printer().ClearRequests();
  ASSERT_TRUE(Pay(0, 0));  // the rest in cash
  EXPECT_EQ(Requests(), (Sent{{74, "W"}, {76, "T"}, {53, "\tP45.00"}}));
  EXPECT_DOUBLE_EQ(Paid(), 65.0);
  ASSERT_TRUE(Close());
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(LastReceipt(), 1);
  EXPECT_EQ(ReceiptKind(), 0);
  EXPECT_EQ(port.device().state().day.payments[1], 2000);
  EXPECT_EQ(port.device().state().day.payments[0], 4500);

  ASSERT_TRUE(OpenRefund());
  EXPECT_EQ(ReceiptKind(), 2);
  ASSERT_TRUE(Sell(1, 1));
  EXPECT_DOUBLE_EQ(Sum(), 12.50);
  ASSERT_TRUE(Pay(0, 0));
  EXPECT_DOUBLE_EQ(Paid(), 12.50);
  ASSERT_TRUE(Close());
  EXPECT_EQ(LastReceipt(), 2);
  EXPECT_EQ(port.device().state().day.refunds[0], 1250);
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(Error(), 0);
}

// Each entry once: the requests it sends (the last one's data checked) whatever the printer
// answers.
TEST_F(ReceiptTest, EveryEntrySendsItsDataText) {
  struct Case {
    const char* what;
    std::function<void(TTECRFiscImpl&)> call;
    std::vector<int> commands;
    std::string data;  // of the last request
  };
  VARIANT_BOOL b = 0;
  LONG l = 0;
  double d = 0;
  int i = 0;
  const Case cases[] = {
      {"OpenFiscReceipt 1, 3, no password",
       [&](TTECRFiscImpl& o) { o.OpenFiscReceipt(1, 3, Bstr("").get(), &b); },
       {74, 74, 48},
       "00001,,00003,I"},
      {"OpenFiscReceipt, the widest numbers",
       [&](TTECRFiscImpl& o) { o.OpenFiscReceipt(99999, 0, Bstr("12").get(), &b); },
       {74, 74, 48},
       "99999,12,00000,I"},
      {"OpenRefundReceipt",
       [&](TTECRFiscImpl& o) { o.OpenRefundReceipt(15, 2, Bstr("7").get(), &b); },
       {74, 85},
       "00015,7,00002,I"},
      {"SellArtCash minus, quantity 0",
       [&](TTECRFiscImpl& o) { o.SellArtCash(VARIANT_FALSE, 5, 0, 0, 0, &b); },
       {74, 58},
       "-5"},
      {"SellArtCash percentage",
       [&](TTECRFiscImpl& o) { o.SellArtCash(VARIANT_TRUE, 12, 1.5, -10, 0, &b); },
       {74, 58},
       "12*1.500,-10.00"},
      {"SellArtCash amount",
       [&](TTECRFiscImpl& o) { o.SellArtCash(VARIANT_TRUE, 12, 2, 0, 2.5, &b); },
       {74, 58},
       "12*2.000;2.50"},
      {"SellArtCashDS",
       [&](TTECRFiscImpl& o) { o.SellArtCashDS(0, 12, 2, -5, 0, &b); },
       {74, 52},
       "-12*2.000,-5.00"},
      {"SubTotalDS print",
       [&](TTECRFiscImpl& o) { o.SubTotalDS(-1, 0, 0, 0, &b); },
       {74, 51},
       "10"},
      {"SubTotalDS percentage",
       [&](TTECRFiscImpl& o) { o.SubTotalDS(-1, 0, -5, 0, &b); },
       {74, 51},
       "10,-5.00"},
      {"SubTotalDS amount, display",
       [&](TTECRFiscImpl& o) { o.SubTotalDS(-1, -1, 0, 2.5, &b); },
       {74, 51},
       "11;2.50"},
      {"SubTotalDS neither",
       [&](TTECRFiscImpl& o) { o.SubTotalDS(0, 0, 0, 0, &b); },
       {74, 51},
       "00"},
      {"Payment cash", [&](TTECRFiscImpl& o) { o.Payment(100, 0, &b); }, {74, 53}, "\tP100.00"},
      {"Payment card", [&](TTECRFiscImpl& o) { o.Payment(0.5, 1, &b); }, {74, 53}, "\tN0.50"},
      {"Payment cheque", [&](TTECRFiscImpl& o) { o.Payment(1, 2, &b); }, {74, 53}, "\tD1.00"},
      {"Payment credit",
       [&](TTECRFiscImpl& o) { o.Payment(1234.567, 3, &b); },
       {74, 53},
       "\tC1234.57"},
      {"NewPayment without KSEF is Payment",
       [&](TTECRFiscImpl& o) { o.NewPayment(0, 5, 1, Bstr("X").get(), &b); },
       {74, 53},
       "\tN5.00"},
      {"NewPayment KSEF type 0 is Payment",
       [&](TTECRFiscImpl& o) { o.NewPayment(-1, 5, 0, Bstr("X").get(), &b); },
       {74, 53},
       "\tP5.00"},
      {"NewPayment KSEF, empty code",
       [&](TTECRFiscImpl& o) { o.NewPayment(-1, 250, 2, Bstr("").get(), &b); },
       {74, 120},
       "2,250.00,"},
      {"NewPayment KSEF, code",
       [&](TTECRFiscImpl& o) { o.NewPayment(-1, 12.5, 1, Bstr("RRN 0042").get(), &b); },
       {74, 120},
       "1,12.50,RRN 0042"},
      {"StrPrntCash Cyrillic",
       [&](TTECRFiscImpl& o) { o.StrPrntCash(Bstr(kThanksUtf8).get(), &b); },
       {74, 54},
       kThanks1251},
      {"StrPrntCash 24 characters",
       [&](TTECRFiscImpl& o) { o.StrPrntCash(Bstr("123456789012345678901234").get(), &b); },
       {74, 54},
       "123456789012345678901234"},
      {"CloseFiscReceipt", [&](TTECRFiscImpl& o) { o.CloseFiscReceipt(&b); }, {74, 56}, ""},
      {"ReceiptCancel", [&](TTECRFiscImpl& o) { o.ReceiptCancel(&b); }, {74, 74, 57}, ""},
      {"DoCopy", [&](TTECRFiscImpl& o) { o.DoCopy(2, &b); }, {74, 109}, "2"},
      {"MakeBarcode",
       [&](TTECRFiscImpl& o) { o.MakeBarcode(1, Bstr("123").get(), &l); },
       {74, 74, 88, 74},
       "W"},
      {"GetReceiptSum", [&](TTECRFiscImpl& o) { o.GetReceiptSum(&d); }, {74, 76}, ""},
      {"GetReceiptPay", [&](TTECRFiscImpl& o) { o.GetReceiptPay(&d); }, {74, 76}, "T"},
      {"NumbRec", [&](TTECRFiscImpl& o) { o.get_NumbRec(&i); }, {74, 113}, ""},
      {"Receipt", [&](TTECRFiscImpl& o) { o.get_Receipt(&l); }, {74, 74}, "X"},
      {"OpenNonFiscReceipt", [&](TTECRFiscImpl& o) { o.OpenNonFiscReceipt(&b); }, {74, 38}, ""},
      {"PrntNonFiscal 35 characters",
       [&](TTECRFiscImpl& o) {
         o.PrntNonFiscal(Bstr("12345678901234567890123456789012345").get(), &b);
       },
       {74, 42},
       "12345678901234567890123456789012345"},
      {"CloseNonFiscReceipt", [&](TTECRFiscImpl& o) { o.CloseNonFiscReceipt(&b); }, {74, 39}, ""},
      {"NonFiscal", [&](TTECRFiscImpl& o) { o.get_NonFiscal(&l); }, {74}, "X"},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    port.printer().ClearRequests();
    c.call(obj);
    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(LastData(), c.data);
  }
  // The barcode's own data, before its closing status read.
  port.printer().ClearRequests();
  obj.MakeBarcode(2, Bstr("4006381333931").get(), &l);
  ASSERT_EQ(port.requests().size(), 4u);
  EXPECT_EQ(port.requests()[2].data, "24006381333931");
}

// Refused calls: Result false (or the entry's refusal value), call status -1, GetError 1, and
// nothing sent but what the entry sends before its check.
TEST_F(ReceiptTest, RefusalsSendNothingAfterTheirCheck) {
  const std::string long_text(10000, 'A');
  const std::string fits_open(71, 'p');  // 00001,<71>,00001,I is 85 bytes
  const std::string too_long_open(72, 'p');
  struct Case {
    const char* what;
    std::function<void(TTECRFiscImpl&)> call;
    std::vector<int> sent;
  };
  const auto boolean = [](auto&& f) {
    return [f](TTECRFiscImpl& o) {
      VARIANT_BOOL r = 7;
      EXPECT_EQ(f(o, &r), S_OK);
      EXPECT_EQ(r, VARIANT_FALSE);
    };
  };
  const Case cases[] = {
      {"SellArtCash percentage and amount",
       boolean([](TTECRFiscImpl& o, VARIANT_BOOL* r) { return o.SellArtCash(-1, 1, 1, 5, 1, r); }),
       {74}},
      {"SellArtCash percentage 150",
       boolean(
           [](TTECRFiscImpl& o, VARIANT_BOOL* r) { return o.SellArtCash(-1, 1, 1, 150, 0, r); }),
       {74}},
      {"SellArtCashDS negative quantity",
       boolean(
           [](TTECRFiscImpl& o, VARIANT_BOOL* r) { return o.SellArtCashDS(-1, 1, -1, 0, 0, r); }),
       {74}},
      {"SubTotalDS percentage and amount",
       boolean([](TTECRFiscImpl& o, VARIANT_BOOL* r) { return o.SubTotalDS(-1, -1, 5, 1, r); }),
       {74}},
      {"Payment negative",
       boolean([](TTECRFiscImpl& o, VARIANT_BOOL* r) { return o.Payment(-1, 0, r); }),
       {74}},
      {"Payment type 4",
       boolean([](TTECRFiscImpl& o, VARIANT_BOOL* r) { return o.Payment(1, 4, r); }),
       {74}},
      {"Payment type -1",
       boolean([](TTECRFiscImpl& o, VARIANT_BOOL* r) { return o.Payment(1, -1, r); }),
       {74}},
      {"NewPayment KSEF type 5",
       boolean([&](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.NewPayment(-1, 1, 5, Bstr("").get(), r);
       }),
       {74}},
      {"NewPayment KSEF negative",
       boolean([&](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.NewPayment(-1, -1, 1, Bstr("").get(), r);
       }),
       {74}},
      {"NewPayment KSEF, code of 10000",
       boolean([&](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.NewPayment(-1, 1, 1, Bstr(long_text).get(), r);
       }),
       {}},
      {"StrPrntCash 25 characters",
       boolean([&](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.StrPrntCash(Bstr(std::string(25, 'x')).get(), r);
       }),
       {}},
      {"StrPrntCash 0",
       boolean(
           [&](TTECRFiscImpl& o, VARIANT_BOOL* r) { return o.StrPrntCash(Bstr("0").get(), r); }),
       {}},
      {"StrPrntCash 10000",
       boolean([&](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.StrPrntCash(Bstr(long_text).get(), r);
       }),
       {}},
      {"StrPrntCash with a zero character",
       [&](TTECRFiscImpl& o) {
         VARIANT_BOOL r = 7;
         EXPECT_EQ(o.StrPrntCash(Bstr(std::string("ab\0cd", 5)).get(), &r), DISP_E_EXCEPTION);
         EXPECT_EQ(r, VARIANT_FALSE);
       },
       {}},
      {"DoCopy 3", boolean([](TTECRFiscImpl& o, VARIANT_BOOL* r) { return o.DoCopy(3, r); }), {74}},
      {"DoCopy 0", boolean([](TTECRFiscImpl& o, VARIANT_BOOL* r) { return o.DoCopy(0, r); }), {74}},
      {"OpenFiscReceipt, password of 10000",
       boolean([&](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.OpenFiscReceipt(1, 1, Bstr(long_text).get(), r);
       }),
       {}},
      {"OpenFiscReceipt, one byte too many",
       boolean([&](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.OpenFiscReceipt(1, 1, Bstr(too_long_open).get(), r);
       }),
       {}},
      {"OpenRefundReceipt, password of 10000",
       boolean([&](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.OpenRefundReceipt(1, 1, Bstr(long_text).get(), r);
       }),
       {}},
      {"NullReceipt, password of 10000",
       boolean([&](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.NullReceipt(1, 1, Bstr(long_text).get(), r);
       }),
       {}},
      {"PrntNonFiscal 36 characters",
       boolean([&](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.PrntNonFiscal(Bstr(std::string(36, 'x')).get(), r);
       }),
       {74}},
      {"PrntNonFiscal 0",
       boolean(
           [&](TTECRFiscImpl& o, VARIANT_BOOL* r) { return o.PrntNonFiscal(Bstr("0").get(), r); }),
       {74}},
      {"PrntNonFiscal 10000",
       boolean([&](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.PrntNonFiscal(Bstr(long_text).get(), r);
       }),
       {74}},
      {"MakeBarcode, data of 10000",
       [&](TTECRFiscImpl& o) {
         LONG r = 7;
         EXPECT_EQ(o.MakeBarcode(1, Bstr(long_text).get(), &r), S_OK);
         EXPECT_EQ(r, 0);
       },
       {}},
      {"MakeBarcode, a type whose digit would be a zero byte",
       [&](TTECRFiscImpl& o) {
         LONG r = 7;
         EXPECT_EQ(o.MakeBarcode(-48, Bstr("1").get(), &r), S_OK);
         EXPECT_EQ(r, 0);
       },
       {}},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    port.printer().ClearRequests();
    c.call(obj);
    EXPECT_EQ(Commands(), c.sent);
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), 1);
  }

  // The longest password that fits is sent whole.
  port.printer().ClearRequests();
  OpenSale(fits_open.c_str());
  EXPECT_EQ(LastData(), "00001," + fits_open + ",00001,I");
}

TEST_F(ReceiptTest, EveryEntryRefusesWithThePortClosed) {
  Bstr text("1");
  VARIANT_BOOL b = 7;
  LONG l = 7;
  double d = 7;
  int i = 7;
  const std::pair<const char*, std::function<long()>> cases[] = {
      {"OpenFiscReceipt",
       [&] {
         obj.OpenFiscReceipt(1, 1, text.get(), &b);
         return long{b};
       }},
      {"OpenRefundReceipt",
       [&] {
         obj.OpenRefundReceipt(1, 1, text.get(), &b);
         return long{b};
       }},
      {"SellArtCash",
       [&] {
         obj.SellArtCash(-1, 1, 1, 0, 0, &b);
         return long{b};
       }},
      {"SellArtCashDS",
       [&] {
         obj.SellArtCashDS(-1, 1, 1, 0, 0, &b);
         return long{b};
       }},
      {"SellArticul",
       [&] {
         obj.SellArticul(text.get(), 1, 1, 0, 1, text.get(), 0, 0, &l);
         return long{l};
       }},
      {"SubTotalDS",
       [&] {
         obj.SubTotalDS(-1, 0, 0, 0, &b);
         return long{b};
       }},
      {"Payment",
       [&] {
         obj.Payment(1, 0, &b);
         return long{b};
       }},
      {"NewPayment",
       [&] {
         obj.NewPayment(-1, 1, 1, text.get(), &b);
         return long{b};
       }},
      {"StrPrntCash",
       [&] {
         obj.StrPrntCash(text.get(), &b);
         return long{b};
       }},
      {"CloseFiscReceipt",
       [&] {
         obj.CloseFiscReceipt(&b);
         return long{b};
       }},
      {"ReceiptCancel",
       [&] {
         obj.ReceiptCancel(&b);
         return long{b};
       }},
      {"NullReceipt",
       [&] {
         obj.NullReceipt(1, 1, text.get(), &b);
         return long{b};
       }},
      {"DoCopy",
       [&] {
         obj.DoCopy(1, &b);
         return long{b};
       }},
      {"MakeBarcode",
       [&] {
         obj.MakeBarcode(1, text.get(), &l);
         return long{l};
       }},
      {"GetReceiptSum",
       [&] {
         obj.GetReceiptSum(&d);
         return d == -1.0 ? 0L : 99L;
       }},
      {"GetReceiptPay",
       [&] {
         obj.GetReceiptPay(&d);
         return d == -1.0 ? 0L : 99L;
       }},
      {"NumbRec",
       [&] {
         obj.get_NumbRec(&i);
         return i == -1 ? 0L : 99L;
       }},
      {"Receipt",
       [&] {
         obj.get_Receipt(&l);
         return l == -1 ? 0L : 99L;
       }},
      {"OpenNonFiscReceipt",
       [&] {
         obj.OpenNonFiscReceipt(&b);
         return long{b};
       }},
      {"PrntNonFiscal",
       [&] {
         obj.PrntNonFiscal(text.get(), &b);
         return long{b};
       }},
      {"CloseNonFiscReceipt",
       [&] {
         obj.CloseNonFiscReceipt(&b);
         return long{b};
       }},
  };
  for (const auto& [name, call] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(call(), 0);
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), 1);
  }
  // NonFiscal only reads: -1, and the saved outcome of the last call stays.
  ResetObjectState();
  EXPECT_EQ(NonFiscalOpen(), -1);
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(Error(), 0);
  EXPECT_TRUE(port.requests().empty());
}

TEST_F(ReceiptTest, PaymentOfTheRestReadsFieldsThreeAndFour) {
  Open();
  // A receipt of 12.50 with 2.50 paid: 10.00 is due.
  ArmStatus(76, kClean, "1,2,1250,250");
  EXPECT_FALSE(Pay(0, 1));
  EXPECT_EQ(Requests(), (Sent{{74, "W"}, {76, "T"}, {53, "\tN10.00"}}));
  EXPECT_EQ(CallStatus(), -2) << "the printer has no receipt open: 53 is refused";

  port.printer().ClearRequests();
  ArmStatus(76, kClean, "1,2,1250,250");
  Bstr code("A1");
  VARIANT_BOOL ok = 7;
  ASSERT_EQ(obj.NewPayment(VARIANT_TRUE, 0, 3, code.get(), &ok), S_OK);
  EXPECT_EQ(Requests(), (Sent{{74, "W"}, {76, "T"}, {120, "3,10.00,A1"}}));

  // Nothing is paid on a sum the object cannot read: taken as a failed reply of 76.
  const char* const unreadable[] = {
      "1,2,12.50,0", "1,2,,0", "1,2,1250", "1,2,1250,x", "1,2, 1250,0", "1,2,+1250,0", "",
      "1,2,99999999999999999999,0",
      // Sixteen digits: no sum a receipt holds, and its cents would not survive a double.
      "1,2,1225444444444444440,2550", "1,2,1000000000000000,0"};
  for (const char* reply : unreadable) {
    SCOPED_TRACE(reply);
    port.printer().ClearRequests();
    ArmStatus(76, kClean, reply);
    EXPECT_FALSE(Pay(0, 0));
    EXPECT_EQ(Commands(), (std::vector<int>{74, 76}));
    EXPECT_EQ(CallStatus(), -2);
    EXPECT_EQ(Error(), 0) << "the reply's own error word is kept";
  }
  // The largest amount is paid to the cent.
  port.printer().ClearRequests();
  ArmStatus(76, kClean, "1,2,999999999999999,2550");
  EXPECT_FALSE(Pay(0, 0));
  EXPECT_EQ(Requests(), (Sent{{74, "W"}, {76, "T"}, {53, "\tP9999999999974.49"}}));

  // Extreme values that would overflow the difference.
  port.printer().ClearRequests();
  ArmStatus(76, kClean, "1,2,9223372036854775807,-9223372036854775807");
  EXPECT_FALSE(Pay(0, 0));
  EXPECT_EQ(Commands(), (std::vector<int>{74, 76}));
  EXPECT_EQ(CallStatus(), -2);

  // More paid than due: refused after the query.
  port.printer().ClearRequests();
  ArmStatus(76, kClean, "1,2,100,200");
  EXPECT_FALSE(Pay(0, 0));
  EXPECT_EQ(Commands(), (std::vector<int>{74, 76}));
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_EQ(Error(), 1);

  // A failed query ends the call with its outcome.
  port.printer().ClearRequests();
  ArmStatus(76, kNotAllowed, "1,2,100,0");
  EXPECT_FALSE(Pay(0, 0));
  EXPECT_EQ(Commands(), (std::vector<int>{74, 76}));
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 7);
}

TEST_F(ReceiptTest, MultiCommandEntriesStopAtTheFirstFailingReply) {
  Open();
  struct Case {
    const char* what;
    std::function<void()> arm;
    std::vector<int> sent;
  };
  // Two replies to 74 armed: the pre-read's (clean), then the entry's own status read.
  const Case cases[] = {
      {"status read",
       [&] {
         ArmStatus(74, kClean);
         ArmStatus(74, kNotAllowed);
       },
       {74, 74}},
      {"open", [&] { ArmStatus(48, kNotAllowed); }, {74, 74, 48}},
      {"payment", [&] { ArmStatus(53, kNotAllowed); }, {74, 74, 48, 53}},
      {"close", [&] { ArmStatus(56, kNotAllowed); }, {74, 74, 48, 53, 56}},
  };
  Bstr password("");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    port.printer().ClearFaults();
    port.printer().ClearRequests();
    c.arm();
    VARIANT_BOOL ok = 7;
    ASSERT_EQ(obj.NullReceipt(1, 1, password.get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(Commands(), c.sent);
    EXPECT_EQ(CallStatus(), -2);
    EXPECT_EQ(Error(), 7);
    EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0x20, 0x02, 0, 0, 0, 0}));
    // Whatever the printer did stays done: a receipt opened before the failure stays open.
    const bool opened = c.sent.size() >= 4;
    EXPECT_EQ(port.device().receipt().kind,
              opened ? sim::ReceiptKind::Fiscal : sim::ReceiptKind::None);
    VARIANT_BOOL cancelled = 7;
    if (opened) {
      ASSERT_EQ(obj.ReceiptCancel(&cancelled), S_OK);
    }
  }

  // All four pass: a zero receipt is printed.
  port.printer().ClearRequests();
  VARIANT_BOOL ok = 7;
  ASSERT_EQ(obj.NullReceipt(2, 7, password.get(), &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  EXPECT_EQ(Requests(),
            (Sent{{74, "W"}, {74, "W"}, {48, "00002,,00007,I"}, {53, "\tP0.00"}, {56, ""}}));
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(LastReceipt(), 1);

  // OpenFiscReceipt needs its "X" status read to pass, ReceiptCancel its second "W".
  port.printer().ClearRequests();
  ArmStatus(74, kClean);
  ArmStatus(74, kNotAllowed);
  EXPECT_FALSE(OpenSale());
  EXPECT_EQ(Requests(), (Sent{{74, "W"}, {74, "X"}}));
  EXPECT_EQ(CallStatus(), -2);
  port.printer().ClearRequests();
  ArmStatus(74, kClean);
  ArmStatus(74, kNotAllowed);
  VARIANT_BOOL cancelled = 7;
  ASSERT_EQ(obj.ReceiptCancel(&cancelled), S_OK);
  EXPECT_EQ(cancelled, VARIANT_FALSE);
  EXPECT_EQ(Commands(), (std::vector<int>{74, 74}));
}

TEST_F(ReceiptTest, ATimeOutInTheMiddleOfASaleIsReportedAndTheSaleGoesOn) {
  Program(1, '\xC0', "12.50", kBread);
  Open();
  ASSERT_TRUE(OpenSale());
  ASSERT_TRUE(Sell(1, 1));
  port.printer().Arm(sim::Fault::Nak);      // the pre-read
  port.printer().Arm(sim::Fault::Silence);  // the sale: no answer, not executed
  EXPECT_FALSE(Sell(1, 2));
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 19);
  EXPECT_TRUE(TimedOut());
  EXPECT_DOUBLE_EQ(Sum(), 12.50) << "the lost sale was not registered";
  ASSERT_TRUE(Sell(1, 2));
  ASSERT_TRUE(Pay(0, 0));
  ASSERT_TRUE(Close());
  EXPECT_EQ(LastReceipt(), 1);
  EXPECT_FALSE(TimedOut());
}

TEST_F(ReceiptTest, ReceiptAndNonFiscalInEveryReceiptState) {
  Program(1, '\xC0', "12.50", kBread);
  Open();
  struct State {
    const char* what;
    std::function<bool()> enter;
    LONG receipt;
    LONG non_fiscal;
  };
  VARIANT_BOOL ok = 7;
  const State states[] = {
      {"none", [] { return true; }, 0, 0},
      {"fiscal", [&] { return OpenSale(); }, 1, 0},
      {"refund", [&] { return OpenRefund(); }, 2, 0},
      {"non-fiscal", [&] { return obj.OpenNonFiscReceipt(&ok) == S_OK && ok == VARIANT_TRUE; }, 3,
       1},
  };
  for (const State& s : states) {
    SCOPED_TRACE(s.what);
    ASSERT_TRUE(s.enter());
    EXPECT_EQ(ReceiptKind(), s.receipt);
    EXPECT_EQ(CallStatus(), 0);
    // NonFiscal reads without the pre-read and leaves the saved outcome alone.
    VARIANT_BOOL refused = 7;
    ASSERT_EQ(obj.DoCopy(9, &refused), S_OK);
    port.printer().ClearRequests();
    EXPECT_EQ(NonFiscalOpen(), s.non_fiscal);
    EXPECT_EQ(Requests(), (Sent{{74, "X"}}));
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), 1);
    if (s.receipt == 1 || s.receipt == 2) {
      ASSERT_EQ(obj.ReceiptCancel(&ok), S_OK);
      ASSERT_EQ(ok, VARIANT_TRUE);
    }
  }
  VARIANT_BOOL printed = 7;
  Bstr line("Скидка 5% на всё");
  ASSERT_EQ(obj.PrntNonFiscal(line.get(), &printed), S_OK);
  EXPECT_EQ(printed, VARIANT_TRUE);
  EXPECT_EQ(LastData(), "\xD1\xEA\xE8\xE4\xEA\xE0 5% \xED\xE0 \xE2\xF1\xB8");
  ASSERT_EQ(obj.CloseNonFiscReceipt(&printed), S_OK);
  EXPECT_EQ(printed, VARIANT_TRUE);
  EXPECT_EQ(NonFiscalOpen(), 0);
  EXPECT_EQ(ReceiptKind(), 0);

  // A failed read gives -1 to both; Receipt saves the failure, NonFiscal does not.
  port.printer().Arm(sim::Fault::Nak, 2);
  EXPECT_EQ(ReceiptKind(), -1);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 18);
  ASSERT_EQ(obj.CloseNonFiscReceipt(&printed), S_OK);  // refused by the printer: none open
  ASSERT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 7);
  port.printer().Arm(sim::Fault::Nak);
  EXPECT_EQ(NonFiscalOpen(), -1);
  EXPECT_EQ(Error(), 7);
}

TEST_F(ReceiptTest, EmptyTextsPrintNothingAndKeepTheSavedOutcome) {
  Open();
  VARIANT_BOOL ok = 7;
  ASSERT_EQ(obj.CloseFiscReceipt(&ok), S_OK);  // no receipt: a failure to keep
  ASSERT_EQ(Error(), 7);
  const auto saved = SavedStatus();
  Bstr empty("");

  port.printer().ClearRequests();
  ASSERT_EQ(obj.StrPrntCash(empty.get(), &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  EXPECT_EQ(Commands(), (std::vector<int>{74}));
  EXPECT_EQ(CallStatus(), 0) << "StrPrntCash sets the call status";
  EXPECT_EQ(Error(), 7);
  EXPECT_EQ(SavedStatus(), saved);

  ASSERT_EQ(obj.CloseFiscReceipt(&ok), S_OK);
  port.printer().ClearRequests();
  ASSERT_EQ(obj.PrntNonFiscal(empty.get(), &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  EXPECT_EQ(Commands(), (std::vector<int>{74}));
  EXPECT_EQ(CallStatus(), -2) << "PrntNonFiscal leaves even the call status";
  EXPECT_EQ(Error(), 7);
}

TEST_F(ReceiptTest, NumberAndBarcodeReads) {
  Open();
  // NumbRec fails only without a reply or without fields; another error keeps the call status.
  int number = 7;
  port.printer().Arm(sim::Fault::Nak);
  port.printer().Arm(sim::Fault::Silence);
  ASSERT_EQ(obj.get_NumbRec(&number), S_OK);
  EXPECT_EQ(number, -1);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 19);

  VARIANT_BOOL ok = 7;
  ASSERT_EQ(obj.ClearRegDisplay(&ok), S_OK);
  ArmStatus(113, kNotAllowed, "41");
  ASSERT_EQ(obj.get_NumbRec(&number), S_OK);
  EXPECT_EQ(number, 41);
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(Error(), 7) << "its error word is saved";
  for (const char* reply : {"", "4x1", "99999999999"}) {
    SCOPED_TRACE(reply);
    ArmStatus(113, kClean, reply);
    ASSERT_EQ(obj.get_NumbRec(&number), S_OK);
    EXPECT_EQ(number, -1);
    EXPECT_EQ(CallStatus(), -2);
  }

  // MakeBarcode: field 1 of the reply, then one more status read.
  LONG result = 7;
  Bstr code("12345");
  port.printer().ClearRequests();
  ASSERT_EQ(obj.MakeBarcode(2, code.get(), &result), S_OK);
  EXPECT_EQ(result, 5);
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(Requests(), (Sent{{74, "W"}, {74, "W"}, {88, "212345"}, {74, "W"}}));
  const std::pair<const char*, std::function<void()>> failures[] = {
      {"status read",
       [&] {
         ArmStatus(74, kClean);
         ArmStatus(74, kNotAllowed);
       }},
      {"bar code", [&] { ArmStatus(88, kNotAllowed, "5"); }},
      {"bar code without a number", [&] { ArmStatus(88, kClean, "five"); }},
  };
  for (const auto& [what, arm] : failures) {
    SCOPED_TRACE(what);
    port.printer().ClearRequests();
    arm();
    ASSERT_EQ(obj.MakeBarcode(2, code.get(), &result), S_OK);
    EXPECT_EQ(result, -3);
    EXPECT_EQ(CallStatus(), -2);
    EXPECT_LE(port.requests().size(), 3u) << "no status read after a failure";
  }
}

}  // namespace
}  // namespace molvex::testing
