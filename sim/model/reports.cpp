// X and Z reports, totals, period and article reports, Z data, electronic-journal copies.
#include <algorithm>

#include "sim/model/device.h"
#include "sim/model/text_util.h"

namespace molvex::sim {

namespace {
constexpr std::size_t kZChunk = 60;
constexpr std::int64_t kLargestNumber = 99999999;  // document and Z numbers

std::string TaxName(int t) {
  return std::string("TAX ") + static_cast<char>(0xC0 + t);
}

std::string Two(int v) {
  return (v < 10 ? "0" : "") + std::to_string(v);
}

std::string TotalsText(const DayTotals& d) {
  std::string text;
  for (int t = 0; t < kTaxGroups; ++t) {
    text += PaperLine("SALES " + TaxName(t), FormatFixed(d.sales[static_cast<std::size_t>(t)], 2)) +
            "\n";
  }
  for (int t = 0; t < kTaxGroups; ++t) {
    const std::int64_t v = d.refunds[static_cast<std::size_t>(t)];
    if (v != 0) text += PaperLine("REFUNDS " + TaxName(t), FormatFixed(v, 2)) + "\n";
  }
  for (int p = 0; p < kPaymentTypes; ++p) {
    const std::int64_t v = d.payments[static_cast<std::size_t>(p)];
    if (v != 0)
      text += PaperLine(std::string("PAYMENT ") + kPaymentLetters[p], FormatFixed(v, 2)) + "\n";
  }
  text += PaperLine("RECEIPTS", std::to_string(d.receipts)) + "\n";
  text += PaperLine("REFUND RECEIPTS", std::to_string(d.refund_receipts)) + "\n";
  text += PaperLine("VOIDED", std::to_string(d.voided)) + "\n";
  text += PaperLine("SERVICE IN", FormatFixed(d.service_in, 2)) + "\n";
  text += PaperLine("SERVICE OUT", FormatFixed(d.service_out, 2)) + "\n";
  return text;
}

std::int64_t Sum(const std::array<std::int64_t, kTaxGroups>& a) {
  std::int64_t s = 0;
  for (std::int64_t v : a) s += v;
  return s;
}

// The totals named by a totals index: 0 sales per tax group, 1 refunds per tax group,
// 2 payments per payment type, 3 refund payments per payment type.
bool TotalsByIndex(const DayTotals& d, std::int64_t index, std::string& out) {
  auto join = [&out](const auto& values) {
    for (std::int64_t v : values) out += "," + std::to_string(v);
  };
  switch (index) {
    case 0:
      join(d.sales);
      return true;
    case 1:
      join(d.refunds);
      return true;
    case 2:
      join(d.payments);
      return true;
    case 3:
      join(d.refund_payments);
      return true;
    default:
      return false;
  }
}
}  // namespace

Reply Device::Report(const std::string& data) {
  const auto f = SplitFields(data);
  if (f.size() != 2 || (f[1] != "0" && f[1] != "2")) return Syntax();
  if (!AdminPasswordOk(f[0])) return NotAllowed();
  const bool z = f[1] == "0";
  if (z && receipt_.kind != ReceiptKind::None) return NotAllowed();
  if (z && state_.z_history.size() >= kFiscalMemorySlots) {
    return Reply{"", Bit(Condition::FiscalMemoryFull), 0};
  }
  const DayTotals& d = state_.day;
  const std::int64_t sales = Sum(d.sales);
  const std::int64_t refunds = Sum(d.refunds);
  const int number = state_.z_number + 1;
  std::string body = PaperLine(z ? "         Z-REPORT" : "         X-REPORT") + "\n";
  if (z) body += PaperLine("Z NUMBER", std::to_string(number)) + "\n";
  body += TotalsText(d);
  body += PaperLine("TOTAL", FormatFixed(sales - refunds, 2)) + "\n";
  body += PaperLine("CASH IN DRAWER", FormatFixed(state_.cash, 2)) + "\n";
  if (!z) {
    PrintDocument(body);
    return Reply{
        std::to_string(number) + "," + std::to_string(sales) + "," + std::to_string(refunds), 0, 0};
  }
  const LocalDateTime now = Now();
  std::string zd = "Z-REPORT\n";
  zd += std::string("MODEL=") + kModel + "\nSERIAL=" + kSerialNumber + "\nFISCAL=" + kFiscalNumber +
        "\n";
  zd += "Z=" + std::to_string(number) + "\n";
  zd += "DATE=" + std::to_string(now.year) + "-" + Two(now.month) + "-" + Two(now.day) + "\n";
  zd += "TIME=" + Two(now.hour) + ":" + Two(now.minute) + "\n";
  for (int t = 0; t < kTaxGroups; ++t) {
    zd += "SALES_" + std::to_string(t + 1) + "=" +
          FormatFixed(d.sales[static_cast<std::size_t>(t)], 2) + "\n";
  }
  for (int t = 0; t < kTaxGroups; ++t) {
    zd += "REFUNDS_" + std::to_string(t + 1) + "=" +
          FormatFixed(d.refunds[static_cast<std::size_t>(t)], 2) + "\n";
  }
  for (int p = 0; p < kPaymentTypes; ++p) {
    zd += std::string("PAY_") + kPaymentLetters[p] + "=" +
          FormatFixed(d.payments[static_cast<std::size_t>(p)], 2) + "\n";
  }
  zd += "RECEIPTS=" + std::to_string(d.receipts) + "\n";
  zd += "REFUND_RECEIPTS=" + std::to_string(d.refund_receipts) + "\n";
  zd += "VOIDED=" + std::to_string(d.voided) + "\n";
  zd += "NON_FISCAL=" + std::to_string(d.non_fiscal) + "\n";
  zd += "SERVICE_IN=" + FormatFixed(d.service_in, 2) + "\n";
  zd += "SERVICE_OUT=" + FormatFixed(d.service_out, 2) + "\n";
  zd += "CASH=" + FormatFixed(state_.cash, 2) + "\n";
  zd += "LAST_RECEIPT=" + std::to_string(state_.receipt_number) + "\n";
  state_.z_data = zd;
  state_.z_number = number;
  state_.z_history.push_back(ZRecord{number, now, sales, refunds, d.receipts});
  state_.last_z = d;
  PrintDocument(body + PaperLine("      FISCAL REPORT") + "\n");
  ResetDay();
  return Reply{std::to_string(number) + "," + std::to_string(sales) + "," + std::to_string(refunds),
               0, 0};
}

Reply Device::LastZInfo(const std::string& data) {
  std::int64_t index = 0;
  std::string out = std::to_string(state_.z_number);
  if (!ParseInt(data, index, true) || !TotalsByIndex(state_.last_z, index, out)) return Syntax();
  return Reply{out, 0, 0};
}

Reply Device::DayTotalsInfo(const std::string& data) {
  std::int64_t index = 0;
  std::string out = std::to_string(state_.z_number + 1);
  if (!ParseInt(data, index, true) || !TotalsByIndex(state_.day, index, out)) return Syntax();
  return Reply{out, 0, 0};
}

Reply Device::PeriodReport(const std::string& data, bool by_date, bool full) {
  const auto f = SplitFields(data);
  if (f.size() != 3) return Syntax();
  std::int64_t first = 0, last = 0;
  if (by_date) {
    LocalDateTime a{}, b{};
    std::string fa = f[1], fb = f[2];
    while (!fa.empty() && fa[0] == ' ') fa.erase(0, 1);
    while (!fb.empty() && fb[0] == ' ') fb.erase(0, 1);
    if (!ParseDeviceDate(fa, a) || !ParseDeviceDate(fb, b)) return Syntax();
    first = ToEpochSeconds(a);
    last = ToEpochSeconds(b) + 86399;
  } else if (!ParseInt(f[1], first) || !ParseInt(f[2], last)) {
    return Syntax();
  }
  if (first > last) return Syntax();
  if (!AdminPasswordOk(f[0])) return NotAllowed();
  if (receipt_.kind != ReceiptKind::None) return NotAllowed();
  std::string body = PaperLine(full ? "   FULL PERIODIC REPORT" : "  SHORT PERIODIC REPORT") + "\n";
  body += PaperLine(by_date ? "BY DATE" : "BY NUMBER", f[1] + " - " + f[2]) + "\n";
  int count = 0;
  std::int64_t sales = 0, refunds = 0;
  for (const ZRecord& z : state_.z_history) {
    const std::int64_t key = by_date ? ToEpochSeconds(z.when) : z.number;
    if (key < first || key > last) continue;
    ++count;
    sales += z.sales;
    refunds += z.refunds;
    if (full) {
      body +=
          PaperLine("Z " + std::to_string(z.number), FormatFixed(z.sales - z.refunds, 2)) + "\n";
    }
  }
  body += PaperLine("Z REPORTS", std::to_string(count)) + "\n";
  body += PaperLine("SALES", FormatFixed(sales, 2)) + "\n";
  body += PaperLine("REFUNDS", FormatFixed(refunds, 2)) + "\n";
  PrintDocument(body);
  return Reply{std::to_string(count), 0, 0};
}

Reply Device::PeriodByNumberFull(const std::string& d) {
  return PeriodReport(d, false, true);
}
Reply Device::PeriodByNumberShort(const std::string& d) {
  return PeriodReport(d, false, false);
}
Reply Device::PeriodByDateFull(const std::string& d) {
  return PeriodReport(d, true, true);
}
Reply Device::PeriodByDateShort(const std::string& d) {
  return PeriodReport(d, true, false);
}

Reply Device::ArticleReport(const std::string& data) {
  const auto f = SplitFields(data);
  if (f.size() != 2 || (f[1] != "S" && f[1] != "P" && f[1] != "G")) return Syntax();
  if (!AdminPasswordOk(f[0])) return NotAllowed();
  if (receipt_.kind != ReceiptKind::None) return NotAllowed();
  std::string body = PaperLine("     ARTICLE REPORT " + f[1]) + "\n";
  int lines = 0;
  if (f[1] == "G") {
    std::int64_t groups[100] = {};
    for (const Article& a : state_.articles) {
      if (a.used) groups[a.group] += a.sold_sum;
    }
    for (int g = 0; g < 100; ++g) {
      if (groups[g] == 0) continue;
      body += PaperLine("GROUP " + std::to_string(g), FormatFixed(groups[g], 2)) + "\n";
      ++lines;
    }
  } else {
    for (std::size_t n = 1; n < state_.articles.size(); ++n) {
      const Article& a = state_.articles[n];
      if (!a.used || (f[1] == "S" && a.sales == 0)) continue;
      std::string name = a.name;  // a name of two lines on one
      std::replace(name.begin(), name.end(), '\t', ' ');
      body += PaperLine(std::to_string(n) + " " + name,
                        FormatFixed(f[1] == "S" ? a.sold_sum : a.price, 2)) +
              "\n";
      ++lines;
    }
  }
  PrintDocument(body);
  return Reply{std::to_string(lines), 0, 0};
}

Reply Device::ZData(const std::string& data) {
  const auto f = SplitFields(data);
  std::int64_t chunk = 0;
  if (f.size() != 3 || f[0] != "0" || f[1] != "0" || !ParseInt(f[2], chunk)) return Syntax();
  const std::string encoded = Base64Encode(state_.z_data);
  const auto start = static_cast<std::size_t>(chunk) * kZChunk;
  if (chunk > 100000 || start >= encoded.size()) return Reply{"0,", 0, 0};
  const std::string piece = encoded.substr(start, kZChunk);
  return Reply{std::to_string(piece.size()) + "," + piece, 0, 0};
}

Reply Device::JournalCopy(const std::string& data) {
  std::int64_t number = 0;
  if (!ParseInt(data, number) || number > kLargestNumber) return Syntax();
  if (receipt_.kind != ReceiptKind::None) return NotAllowed();
  const auto it = journal_.find(static_cast<int>(number));
  if (it == journal_.end()) return NotAllowed();
  PrintPaper(PaperLine("       JOURNAL COPY") + "\n" + it->second);
  return Reply{std::to_string(number), 0, 0};
}

Reply Device::JournalCopies(const std::string& data) {
  const auto f = SplitFields(data);
  std::int64_t first = 0, last = 0;
  if (f.size() != 2 || !ParseInt(f[0], first) || !ParseInt(f[1], last) || first > last ||
      last - first > 500 || last > kLargestNumber) {
    return Syntax();
  }
  if (receipt_.kind != ReceiptKind::None) return NotAllowed();
  int printed = 0;
  for (auto it = journal_.lower_bound(static_cast<int>(first));
       it != journal_.end() && it->first <= last; ++it) {
    PrintPaper(PaperLine("       JOURNAL COPY") + "\n" + it->second);
    ++printed;
  }
  if (printed == 0) return NotAllowed();
  return Reply{std::to_string(printed), 0, 0};
}

Reply Device::JournalTaxReports(const std::string& data) {
  std::int64_t number = 0;
  if (!ParseInt(data, number)) return Syntax();
  if (receipt_.kind != ReceiptKind::None) return NotAllowed();
  for (const ZRecord& z : state_.z_history) {
    if (z.number != number) continue;
    PrintPaper(PaperLine("     JOURNAL TAX REPORT") + "\n" +
               PaperLine("Z NUMBER", std::to_string(z.number)) + "\n" +
               PaperLine("SALES", FormatFixed(z.sales, 2)) + "\n" +
               PaperLine("REFUNDS", FormatFixed(z.refunds, 2)) + "\n" + std::string(32, '=') +
               "\n\n");
    return Reply{std::to_string(number), 0, 0};
  }
  return NotAllowed();
}

}  // namespace molvex::sim
