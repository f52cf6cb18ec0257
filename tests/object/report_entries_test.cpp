// Report entries: the data text each sends, the status check before the report, the status
// read after it, and the results of the articles and electronic-journal (KSEF) reports.
#include <functional>

#include "tests/object/report_fixture.h"

namespace molvex::testing {
namespace {

enum class After { Never, Success, Always };

// One report entry with sample arguments; the integer entries (KSEF) give their LONG result,
// the others their VARIANT_BOOL.
struct Member {
  const char* name;
  int command;
  After trailing;
  bool integer;
  std::function<HRESULT(TTECRFiscImpl&, LONG&)> call;
};

template <class Call>
std::function<HRESULT(TTECRFiscImpl&, LONG&)> Bool(Call call) {
  return [call](TTECRFiscImpl& o, LONG& result) {
    VARIANT_BOOL b = 7;
    const HRESULT hr = call(o, &b);
    result = b;
    return hr;
  };
}

std::vector<Member> Members() {
  static Bstr empty(""), date1("010126"), date2("311226");
  return {
      {"XReport", 69, After::Never, false,
       Bool([](TTECRFiscImpl& o, VARIANT_BOOL* r) { return o.XReport(empty.get(), r); })},
      {"PeriodRepByNumb", 95, After::Always, false, Bool([](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.PeriodRepByNumb(empty.get(), 1, 2, r);
       })},
      {"PeriodRepByNumbFull", 73, After::Success, false,
       Bool([](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.PeriodRepByNumbFull(empty.get(), 1, 2, r);
       })},
      {"PeriodRepByDate", 79, After::Success, false, Bool([](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.PeriodRepByDate(empty.get(), date1.get(), date2.get(), r);
       })},
      {"PeriodRepByDateFull", 94, After::Success, false,
       Bool([](TTECRFiscImpl& o, VARIANT_BOOL* r) {
         return o.PeriodRepByDateFull(empty.get(), date1.get(), date2.get(), r);
       })},
      {"PrintFiscalCopyKSEF", 116, After::Success, true,
       [](TTECRFiscImpl& o, LONG& r) { return o.PrintFiscalCopyKSEF(1, &r); }},
      {"PrintFiscalCopiesKSEF", 235, After::Success, true,
       [](TTECRFiscImpl& o, LONG& r) { return o.PrintFiscalCopiesKSEF(1, 2, &r); }},
      {"PrintReportsTaxKSEF", 236, After::Success, true,
       [](TTECRFiscImpl& o, LONG& r) { return o.PrintReportsTaxKSEF(1, &r); }},
  };
}

std::vector<int> Expected(std::initializer_list<int> codes, bool trailing) {
  std::vector<int> v(codes);
  if (trailing) v.push_back(74);
  return v;
}

using ReportEntries = ReportTest;

TEST_F(ReportEntries, EachReportSendsItsDataText) {
  struct Case {
    const char* what;
    int command;
    std::function<HRESULT(TTECRFiscImpl&)> call;
    std::string data;
  };
  static Bstr empty(""), pw("pw"), cyrillic("Пароль"), d5("10126"), d6("010126"), d7("1234567");
  VARIANT_BOOL b = 0;
  LONG n = 0;
  const Case cases[] = {
      {"X", 69, [&](TTECRFiscImpl& o) { return o.XReport(empty.get(), &b); }, ",2"},
      {"X, password", 69, [&](TTECRFiscImpl& o) { return o.XReport(pw.get(), &b); }, "pw,2"},
      {"X, Cyrillic password", 69, [&](TTECRFiscImpl& o) { return o.XReport(cyrillic.get(), &b); },
       "\xCF\xE0\xF0\xEE\xEB\xFC,2"},
      {"X, null password", 69, [&](TTECRFiscImpl& o) { return o.XReport(nullptr, &b); }, ",2"},
      {"short by number", 95,
       [&](TTECRFiscImpl& o) { return o.PeriodRepByNumb(empty.get(), 1, 25, &b); }, ",0001,0025"},
      {"short by number, wide", 95,
       [&](TTECRFiscImpl& o) { return o.PeriodRepByNumb(pw.get(), 12345, 5, &b); },
       "pw,12345,0005"},
      {"short by number, extremes", 95,
       [&](TTECRFiscImpl& o) { return o.PeriodRepByNumb(pw.get(), 0, INT32_MAX, &b); },
       "pw,0000,2147483647"},
      {"full by number", 73,
       [&](TTECRFiscImpl& o) { return o.PeriodRepByNumbFull(empty.get(), 0, 9999, &b); },
       ",0000,9999"},
      {"short by date", 79,
       [&](TTECRFiscImpl& o) { return o.PeriodRepByDate(pw.get(), d6.get(), d7.get(), &b); },
       "pw,010126,1234567"},
      {"short by date, empty dates", 79,
       [&](TTECRFiscImpl& o) { return o.PeriodRepByDate(empty.get(), empty.get(), nullptr, &b); },
       ",,"},
      {"full by date, five and seven characters", 94,
       [&](TTECRFiscImpl& o) { return o.PeriodRepByDateFull(pw.get(), d5.get(), d7.get(), &b); },
       "pw, 10126,1234567"},
      {"full by date, empty dates", 94,
       [&](TTECRFiscImpl& o) {
         return o.PeriodRepByDateFull(empty.get(), empty.get(), empty.get(), &b);
       },
       ",      ,      "},
      {"articles sold", 111, [&](TTECRFiscImpl& o) { return o.ArticulsReports(0, pw.get(), &b); },
       "pw,S"},
      {"articles programmed", 111,
       [&](TTECRFiscImpl& o) { return o.ArticulsReports(1, empty.get(), &b); }, ",P"},
      {"journal copy", 116, [&](TTECRFiscImpl& o) { return o.PrintFiscalCopyKSEF(17, &n); }, "17"},
      {"journal copy, negative", 116,
       [&](TTECRFiscImpl& o) { return o.PrintFiscalCopyKSEF(-3, &n); }, "-3"},
      {"journal copies", 235, [&](TTECRFiscImpl& o) { return o.PrintFiscalCopiesKSEF(1, 500, &n); },
       "1,500"},
      {"journal tax report", 236,
       [&](TTECRFiscImpl& o) { return o.PrintReportsTaxKSEF(2147483647, &n); }, "2147483647"},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    port.printer().ClearRequests();
    ArmStatus(c.command, kHealthy, "1");
    ASSERT_EQ(c.call(obj), S_OK);
    EXPECT_EQ(DataOf(c.command), std::vector<std::string>{c.data});
    EXPECT_EQ(CallStatus(), 0);
  }
}

TEST_F(ReportEntries, SuccessFailureAndTheTrailingStatusRead) {
  Open();
  for (const Member& m : Members()) {
    SCOPED_TRACE(m.name);
    // Success: the reply's values are saved; the status read after it changes none of them.
    port.printer().ClearRequests();
    ArmStatus(m.command, {0x80, 0x80, 0x80, 0x80, 0x80, 0xBA}, "17,2");
    ArmStatus(74, kHealthy);
    ArmStatus(74, kHealthy);
    ArmStatus(74, {0xA1, 0x80, 0x80, 0x80, 0x80, 0x80});  // a failing trailing read
    LONG result = 99;
    ASSERT_EQ(m.call(obj, result), S_OK);
    EXPECT_EQ(result, m.integer ? 17 : VARIANT_TRUE);
    EXPECT_EQ(Commands(), Expected({74, 74, m.command}, m.trailing != After::Never));
    EXPECT_EQ(CallStatus(), 0);
    EXPECT_EQ(Error(), 0);
    EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0, 0, 0, 0, 0, 0x3A}));
    port.printer().ClearFaults();

    // A failed report: its own reply decides; only PeriodRepByNumb still reads the status.
    port.printer().ClearRequests();
    ArmStatus(m.command, kReportNotAllowed);
    ArmStatus(74, kHealthy);
    ArmStatus(74, kHealthy);
    ArmStatus(74, kSyntaxError);  // a trailing read must not change what was saved
    result = 99;
    ASSERT_EQ(m.call(obj, result), S_OK);
    EXPECT_EQ(result, m.integer ? -3 : VARIANT_FALSE);
    EXPECT_EQ(Commands(), Expected({74, 74, m.command}, m.trailing == After::Always));
    EXPECT_EQ(CallStatus(), -2);
    EXPECT_EQ(Error(), 7);  // not allowed
    EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0x20, 0x02, 0, 0, 0, 0x3A}));
    port.printer().ClearFaults();
  }
}

TEST_F(ReportEntries, AFailedSecondStatusReadStopsTheReport) {
  Open();
  for (const Member& m : Members()) {
    SCOPED_TRACE(m.name);
    port.printer().ClearRequests();
    ArmStatus(74, kHealthy);
    ArmStatus(74, kSyntaxError);
    LONG result = 99;
    ASSERT_EQ(m.call(obj, result), S_OK);
    EXPECT_EQ(result, m.integer ? -3 : VARIANT_FALSE);
    EXPECT_EQ(Commands(), (std::vector<int>{74, 74}));
    EXPECT_EQ(CallStatus(), -2);
    EXPECT_EQ(Error(), 2);  // syntax error
    EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0x21, 0, 0, 0, 0, 0x3A}));

    // Only the second read counts: a failed first one changes nothing.
    port.printer().ClearRequests();
    ArmStatus(74, kSyntaxError);
    ArmStatus(m.command, kHealthy, "5");
    ASSERT_EQ(m.call(obj, result), S_OK);
    EXPECT_EQ(result, m.integer ? 5 : VARIANT_TRUE);
    EXPECT_EQ(CallStatus(), 0);
  }
}

TEST_F(ReportEntries, WithThePortClosedEveryReportIsRefused) {
  for (const Member& m : Members()) {
    SCOPED_TRACE(m.name);
    LONG result = 99;
    ASSERT_EQ(m.call(obj, result), S_OK);
    EXPECT_EQ(result, 0);  // false, or 0 for the KSEF entries
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), 1);
  }
  VARIANT_BOOL b = 7;
  Bstr empty("");
  ASSERT_EQ(obj.ArticulsReports(0, empty.get(), &b), S_OK);
  EXPECT_EQ(b, VARIANT_FALSE);
  ASSERT_EQ(obj.ZReport(empty.get(), &b), S_OK);
  EXPECT_EQ(b, VARIANT_FALSE);
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_TRUE(port.requests().empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "infoZ.log"));  // nothing logged either
  EXPECT_FALSE(std::filesystem::exists("infoZ.log"));
}

TEST_F(ReportEntries, ArticlesReportKindsAndItsSingleStatusRead) {
  Open();
  Bstr pw("0");
  const std::pair<LONG, bool> kinds[] = {
      {0, true}, {1, true}, {2, false}, {-1, false}, {INT32_MIN, false}};
  for (const auto& [kind, sent] : kinds) {
    SCOPED_TRACE(kind);
    port.printer().ClearRequests();
    ArmStatus(74, kSyntaxError);  // not examined
    VARIANT_BOOL b = 7;
    ASSERT_EQ(obj.ArticulsReports(kind, pw.get(), &b), S_OK);
    EXPECT_EQ(b, sent ? VARIANT_TRUE : VARIANT_FALSE);
    EXPECT_EQ(Commands(), sent ? (std::vector<int>{74, 111}) : (std::vector<int>{74}));
    EXPECT_EQ(CallStatus(), sent ? 0 : -1);
    EXPECT_EQ(Error(), sent ? 0 : 1);
  }
  // A failed report.
  port.printer().ClearRequests();
  ArmStatus(111, kReportNotAllowed);
  VARIANT_BOOL b = 7;
  ASSERT_EQ(obj.ArticulsReports(1, pw.get(), &b), S_OK);
  EXPECT_EQ(b, VARIANT_FALSE);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 7);
  EXPECT_EQ(Commands(), (std::vector<int>{74, 111}));
}

TEST_F(ReportEntries, KsefResultIsTheFirstFieldAsANumber) {
  Open();
  const std::pair<const char*, LONG> replies[] = {
      {"17", 17}, {" 42,3", 42}, {"", 0}, {"abc", 0}, {"12x", 12}, {"99999999999", INT32_MAX}};
  for (const auto& [reply, value] : replies) {
    SCOPED_TRACE(reply);
    ArmStatus(116, kHealthy, reply);
    LONG result = -99;
    ASSERT_EQ(obj.PrintFiscalCopyKSEF(1, &result), S_OK);
    EXPECT_EQ(result, value);
    EXPECT_EQ(CallStatus(), 0);
  }
}

TEST_F(ReportEntries, ReportsOnTheVirtualPrinterPrintPaper) {
  // Without armed replies: the printer's own model judges and prints.
  Open();
  Bstr pw("0"), first("01-12-26"), last("31-12-26");
  VARIANT_BOOL b = 0;
  ASSERT_EQ(obj.XReport(pw.get(), &b), S_OK);
  EXPECT_EQ(b, VARIANT_TRUE);
  ASSERT_EQ(obj.PeriodRepByNumb(pw.get(), 1, 10, &b), S_OK);
  EXPECT_EQ(b, VARIANT_TRUE);
  ASSERT_EQ(obj.PeriodRepByDate(pw.get(), first.get(), last.get(), &b), S_OK);
  EXPECT_EQ(b, VARIANT_TRUE);
  // Journal copies of documents never printed: the printer refuses, the entry gives -3.
  LONG n = 0;
  ASSERT_EQ(obj.PrintFiscalCopiesKSEF(900, 901, &n), S_OK);
  EXPECT_EQ(n, -3);
  EXPECT_EQ(CallStatus(), -2);
  // The X report is document 1 of the journal: its copy is printed.
  ASSERT_EQ(obj.PrintFiscalCopyKSEF(1, &n), S_OK);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(port.device().state().z_number, 0);  // an X report closes nothing
}

TEST_F(ReportEntries, ANullResultPointerIsRefused) {
  Bstr pw("");
  EXPECT_EQ(obj.XReport(pw.get(), nullptr), E_POINTER);
  EXPECT_EQ(obj.ZReport(pw.get(), nullptr), E_POINTER);
  EXPECT_EQ(obj.PeriodRepByNumb(pw.get(), 1, 2, nullptr), E_POINTER);
  EXPECT_EQ(obj.PeriodRepByNumbFull(pw.get(), 1, 2, nullptr), E_POINTER);
  EXPECT_EQ(obj.PeriodRepByDate(pw.get(), pw.get(), pw.get(), nullptr), E_POINTER);
  EXPECT_EQ(obj.PeriodRepByDateFull(pw.get(), pw.get(), pw.get(), nullptr), E_POINTER);
  EXPECT_EQ(obj.ArticulsReports(0, pw.get(), nullptr), E_POINTER);
  EXPECT_EQ(obj.PrintFiscalCopyKSEF(1, nullptr), E_POINTER);
  EXPECT_EQ(obj.PrintFiscalCopiesKSEF(1, 2, nullptr), E_POINTER);
  EXPECT_EQ(obj.PrintReportsTaxKSEF(1, nullptr), E_POINTER);
}

}  // namespace
}  // namespace molvex::testing
