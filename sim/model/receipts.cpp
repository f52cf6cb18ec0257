// Fiscal, refund and non-fiscal receipts: open, sell, subtotal, pay, print text, close, cancel.
#include <algorithm>

#include "sim/model/device.h"
#include "sim/model/text_util.h"

namespace molvex::sim {

namespace {
constexpr std::int64_t kLargestSum = 9999999999;  // hundredths
constexpr std::size_t kTextWidth = 32;
// The printer's own line widths for the texts a program gives: a line of a fiscal receipt holds
// 24 characters, a line of a non-fiscal receipt 35 (wider than the receipt's own 32).
constexpr std::size_t kFiscalTextWidth = 24;
constexpr std::size_t kNonFiscalTextWidth = 35;

Reply Overflow() {
  return Reply{"", Bit(Condition::Overflow), 0};
}

// a * b / scale rounded half away from zero.
std::int64_t MulRound(std::int64_t a, std::int64_t b, std::int64_t scale) {
  const std::int64_t p = a * b;
  return p >= 0 ? (p + scale / 2) / scale : -((-p + scale / 2) / scale);
}

std::string TaxLetter(int tax) {
  return std::string(1, static_cast<char>(0xC0 + tax));
}
}  // namespace

Reply Device::OpenReceiptOf(ReceiptKind kind, const std::string& data) {
  const auto f = SplitFields(data);
  if (f.size() < 3 || f.size() > 4 || (f.size() == 4 && f[3] != "I")) return Syntax();
  std::int64_t op = 0, till = 0;
  if (!ParseInt(f[0], op) || !ParseInt(f[2], till) || op < 1 || op > kOperatorCount) {
    return Syntax();
  }
  if (receipt_.kind != ReceiptKind::None) return NotAllowed();
  if (!OperatorPasswordOk(static_cast<int>(op), f[1])) return NotAllowed();
  if (state_.z_history.size() >= kFiscalMemorySlots)
    return Reply{"", Bit(Condition::FiscalMemoryFull), 0};
  receipt_ = OpenReceipt{};
  receipt_.kind = kind;
  receipt_.operator_number = static_cast<int>(op);
  receipt_.till = static_cast<int>(till);
  const Operator& who = state_.operators[static_cast<std::size_t>(op)];
  receipt_.paper +=
      PaperLine("OPERATOR " + std::to_string(op) + " " + who.name, "TILL " + std::to_string(till)) +
      "\n";
  if (kind == ReceiptKind::Refund) receipt_.paper += PaperLine("       REFUND RECEIPT") + "\n";
  return Reply{
      std::to_string(state_.receipt_number + 1) + "," + std::to_string(state_.document_number + 1),
      0, 0};
}

Reply Device::OpenFiscal(const std::string& data) {
  return OpenReceiptOf(ReceiptKind::Fiscal, data);
}
Reply Device::OpenRefund(const std::string& data) {
  return OpenReceiptOf(ReceiptKind::Refund, data);
}

Reply Device::Sale(const std::string& data) {
  // [-]ARTICLE[*QUANTITY][,PERCENT][;AMOUNT]
  std::string text = data;
  const bool correction = !text.empty() && text[0] == '-';
  if (correction) text.erase(0, 1);
  const std::size_t star = text.find('*');
  const std::size_t comma = text.find(',');
  const std::size_t semi = text.find(';');
  const std::size_t end = std::min({star, comma, semi, text.size()});
  std::int64_t number = 0;
  if (!ParseInt(text.substr(0, end), number) || number < 1 || number > kArticleCount) {
    return Syntax();
  }
  std::int64_t quantity = 1000, percent = 0, amount_adjust = 0;
  if (star != std::string::npos) {
    const std::size_t stop = std::min({comma, semi, text.size()});
    if (star > stop || !ParseFixed(text.substr(star + 1, stop - star - 1), 3, quantity) ||
        quantity <= 0 || quantity > 99999999) {
      return Syntax();
    }
  }
  if (comma != std::string::npos && semi != std::string::npos) return Syntax();
  if (comma != std::string::npos &&
      (!ParseFixed(text.substr(comma + 1), 2, percent) || percent < -9999 || percent > 9999)) {
    return Syntax();
  }
  if (semi != std::string::npos && !ParseFixed(text.substr(semi + 1), 2, amount_adjust)) {
    return Syntax();
  }
  if (receipt_.kind != ReceiptKind::Fiscal && receipt_.kind != ReceiptKind::Refund) {
    return NotAllowed();
  }
  if (receipt_.paid != 0 || receipt_.paid_in_full) return NotAllowed();
  Article& article = state_.articles[static_cast<std::size_t>(number)];
  if (!article.used) return NotAllowed();
  if (article.price > kLargestSum / 1000 + 1) return Overflow();
  std::int64_t amount = MulRound(article.price, quantity, 1000);
  amount += MulRound(amount, percent, 10000) + amount_adjust;
  if (amount < 0) return NotAllowed();
  if (correction) {
    std::int64_t sold = 0;
    for (const ReceiptLine& line : receipt_.lines) {
      if (line.article == number) sold += line.quantity;
    }
    if (sold < quantity) return NotAllowed();
    quantity = -quantity;
    amount = -amount;
  }
  if (receipt_.sum + amount > kLargestSum) return Overflow();
  const int tax = article.tax - 0xC0;
  receipt_.lines.push_back(ReceiptLine{static_cast<int>(number), quantity, amount, tax});
  receipt_.sum += amount;
  if (receipt_.kind == ReceiptKind::Fiscal) {
    article.sold_quantity += quantity;
    article.sold_sum += amount;
    ++article.sales;
  }
  std::string& paper = receipt_.paper;
  if (correction) paper += PaperLine("CORRECTION") + "\n";
  if (quantity != 1000) {
    paper += PaperLine("  " + FormatFixed(quantity < 0 ? -quantity : quantity, 3) + " x " +
                       FormatFixed(article.price, 2)) +
             "\n";
  }
  // A name of two lines (split by a TAB) prints its first line alone, the amount beside the second.
  const std::size_t tab = article.name.find('\t');
  if (tab != std::string::npos) paper += PaperLine(article.name.substr(0, tab)) + "\n";
  paper += PaperLine(tab == std::string::npos ? article.name : article.name.substr(tab + 1),
                     FormatFixed(amount, 2) + " " + TaxLetter(tax)) +
           "\n";
  if (percent != 0) paper += PaperLine("  " + FormatFixed(percent, 2) + "%") + "\n";
  if (amount_adjust != 0) paper += PaperLine("  " + FormatFixed(amount_adjust, 2)) + "\n";
  display_[0] = article.name.substr(0, std::min<std::size_t>(tab, 20));
  display_[1] = FormatFixed(amount, 2);
  return Reply{std::to_string(amount) + "," + std::to_string(receipt_.sum), 0, 0};
}

Reply Device::Subtotal(const std::string& data) {
  if (data.size() < 2 || (data[0] != '0' && data[0] != '1') || (data[1] != '0' && data[1] != '1')) {
    return Syntax();
  }
  std::int64_t percent = 0, amount = 0;
  if (data.size() > 2) {
    const std::string value = data.substr(3);
    if (data[2] == ',') {
      if (!ParseFixed(value, 2, percent) || percent < -9999 || percent > 9999) return Syntax();
    } else if (data[2] == ';') {
      if (!ParseFixed(value, 2, amount)) return Syntax();
    } else {
      return Syntax();
    }
  }
  if (receipt_.kind != ReceiptKind::Fiscal && receipt_.kind != ReceiptKind::Refund) {
    return NotAllowed();
  }
  if (receipt_.paid != 0 || receipt_.paid_in_full) return NotAllowed();
  std::int64_t adjust = percent != 0 ? MulRound(receipt_.sum, percent, 10000) : amount;
  if (adjust != 0) {
    if (receipt_.sum == 0 || receipt_.sum + adjust < 0) return NotAllowed();
    // Spread over the tax groups in proportion to their sums.
    std::int64_t per_tax[kTaxGroups] = {};
    for (const ReceiptLine& line : receipt_.lines) per_tax[line.tax] += line.amount;
    std::int64_t left = adjust;
    int last = -1;
    for (int t = 0; t < kTaxGroups; ++t) {
      if (per_tax[t] != 0) last = t;
    }
    for (int t = 0; t < kTaxGroups && last >= 0; ++t) {
      if (per_tax[t] == 0) continue;
      const std::int64_t part = t == last ? left : MulRound(adjust, per_tax[t], receipt_.sum);
      left -= part;
      receipt_.lines.push_back(ReceiptLine{0, 0, part, t});
    }
    receipt_.sum += adjust;
  }
  if (data[0] == '1') {
    receipt_.paper += PaperLine("SUBTOTAL", FormatFixed(receipt_.sum - adjust, 2)) + "\n";
    if (adjust != 0) {
      receipt_.paper +=
          PaperLine(adjust < 0 ? "DISCOUNT" : "SURCHARGE", FormatFixed(adjust, 2)) + "\n";
    }
  }
  if (data[1] == '1') {
    display_[0] = "SUBTOTAL";
    display_[1] = FormatFixed(receipt_.sum, 2);
  }
  return Reply{std::to_string(receipt_.sum), 0, 0};
}

Reply Device::Pay(int type, std::int64_t amount, bool letter_then_amount) {
  if (receipt_.kind != ReceiptKind::Fiscal && receipt_.kind != ReceiptKind::Refund) {
    return NotAllowed();
  }
  if (receipt_.paid_in_full) return NotAllowed();
  const std::int64_t rest = receipt_.sum - receipt_.paid;
  if (amount == 0) amount = rest;
  if (type != 0 && amount > rest) return NotAllowed();  // only cash gives change
  if (amount > kLargestSum) return Overflow();
  if (receipt_.kind == ReceiptKind::Refund && type == 0 && std::min(amount, rest) > state_.cash) {
    return NotAllowed();  // not enough cash in the drawer to pay the refund out
  }
  receipt_.paid += amount;
  receipt_.payments[static_cast<std::size_t>(type)] += amount;
  static const char* const kNames[kPaymentTypes] = {"CASH",   "CARD",    "CREDIT",
                                                    "CHEQUE", "VOUCHER", "OTHER"};
  receipt_.paper += PaperLine(kNames[type], FormatFixed(amount, 2)) + "\n";
  char code = 'R';
  std::int64_t shown = receipt_.sum - receipt_.paid;
  if (receipt_.paid >= receipt_.sum) {
    receipt_.paid_in_full = true;
    receipt_.change = receipt_.paid - receipt_.sum;
    if (receipt_.change > 0)
      receipt_.paper += PaperLine("CHANGE", FormatFixed(receipt_.change, 2)) + "\n";
    code = 'D';
    shown = receipt_.change;
  }
  // Command 53 answers the code letter directly followed by the amount; the host splits them.
  return Reply{std::string(1, code) + (letter_then_amount ? "" : ",") + std::to_string(shown), 0,
               0};
}

Reply Device::Total(const std::string& data) {
  const std::size_t tab = data.find('\t');
  if (tab == std::string::npos || tab + 1 >= data.size()) return Syntax();
  const char letter = data[tab + 1];
  int type = 0;
  while (type < kPaymentTypes && kPaymentLetters[type] != letter) ++type;
  if (type == kPaymentTypes) return Syntax();
  std::int64_t amount = 0;
  const std::string value = data.substr(tab + 2);
  if (!value.empty() && (!ParseFixed(value, 2, amount) || amount < 0)) return Syntax();
  if (tab > 0 && receipt_.kind != ReceiptKind::None && receipt_.kind != ReceiptKind::NonFiscal) {
    receipt_.paper += PaperLine(data.substr(0, std::min(tab, kTextWidth))) + "\n";
  }
  return Pay(type, amount, true);
}

Reply Device::PaymentWithCode(const std::string& data) {
  const auto f = SplitFields(data);
  std::int64_t type = 0, amount = 0;
  if (f.size() < 2 || !ParseInt(f[0], type) || type >= kPaymentTypes ||
      !ParseFixed(f[1], 2, amount) || amount < 0) {
    return Syntax();
  }
  if (f.size() > 2 && receipt_.kind != ReceiptKind::None &&
      receipt_.kind != ReceiptKind::NonFiscal && !receipt_.paid_in_full) {
    receipt_.paper += PaperLine("TRANSACTION", f[2].substr(0, 20)) + "\n";
  }
  return Pay(static_cast<int>(type), amount, false);
}

Reply Device::FiscalText(const std::string& data) {
  if (receipt_.kind != ReceiptKind::Fiscal && receipt_.kind != ReceiptKind::Refund) {
    return NotAllowed();
  }
  receipt_.paper += PaperLine(data.substr(0, kFiscalTextWidth)) + "\n";
  return {};
}

Reply Device::CloseFiscal(const std::string&) {
  if (receipt_.kind != ReceiptKind::Fiscal && receipt_.kind != ReceiptKind::Refund) {
    return NotAllowed();
  }
  if (!receipt_.paid_in_full) return NotAllowed();
  const bool refund = receipt_.kind == ReceiptKind::Refund;
  DayTotals& day = state_.day;
  std::int64_t per_tax[kTaxGroups] = {};
  for (const ReceiptLine& line : receipt_.lines) per_tax[line.tax] += line.amount;
  for (int t = 0; t < kTaxGroups; ++t) {
    (refund ? day.refunds : day.sales)[static_cast<std::size_t>(t)] += per_tax[t];
  }
  for (int p = 0; p < kPaymentTypes; ++p) {
    std::int64_t paid = receipt_.payments[static_cast<std::size_t>(p)];
    if (p == 0) paid -= receipt_.change;
    (refund ? day.refund_payments : day.payments)[static_cast<std::size_t>(p)] += paid;
  }
  const std::int64_t cash = receipt_.payments[0] - receipt_.change;
  state_.cash += refund ? -cash : cash;
  ++(refund ? day.refund_receipts : day.receipts);
  const int number = ++state_.receipt_number;
  std::string body = receipt_.paper;
  body += std::string(32, '-') + "\n";
  for (int t = 0; t < kTaxGroups; ++t) {
    if (per_tax[t] != 0)
      body += PaperLine("TAX " + TaxLetter(t), FormatFixed(per_tax[t], 2)) + "\n";
  }
  body += PaperLine(refund ? "REFUND TOTAL" : "TOTAL", FormatFixed(receipt_.sum, 2)) + "\n";
  body += PaperLine("RECEIPT", std::to_string(number)) + "\n";
  body += PaperLine("      FISCAL RECEIPT") + "\n";
  last_receipt_text_ = body;
  const int document = PrintDocument(body);
  receipt_ = OpenReceipt{};
  display_[0] = "THANK YOU";
  display_[1].clear();
  return Reply{std::to_string(number) + "," + std::to_string(document), 0, 0};
}

Reply Device::Cancel(const std::string&) {
  if (receipt_.kind != ReceiptKind::Fiscal && receipt_.kind != ReceiptKind::Refund) {
    return NotAllowed();
  }
  // Articles sold in the voided receipt are taken back off the day's article counters.
  if (receipt_.kind == ReceiptKind::Fiscal) {
    for (const ReceiptLine& line : receipt_.lines) {
      if (line.article == 0) continue;
      Article& a = state_.articles[static_cast<std::size_t>(line.article)];
      a.sold_quantity -= line.quantity;
      a.sold_sum -= line.amount;
      --a.sales;
    }
  }
  ++state_.day.voided;
  PrintDocument(receipt_.paper + PaperLine("*** VOID ***", FormatFixed(receipt_.sum, 2)) + "\n");
  receipt_ = OpenReceipt{};
  return {};
}

Reply Device::TransactionStatus(const std::string& data) {
  if (!data.empty() && data != "T") return Syntax();
  int open = 0;
  switch (receipt_.kind) {
    case ReceiptKind::Fiscal:
      open = 1;
      break;
    case ReceiptKind::Refund:
      open = 2;
      break;
    case ReceiptKind::NonFiscal:
      open = 3;
      break;
    case ReceiptKind::None:
      break;
  }
  return Reply{std::to_string(open) + "," + std::to_string(receipt_.lines.size()) + "," +
                   std::to_string(receipt_.sum) + "," + std::to_string(receipt_.paid),
               0, 0};
}

Reply Device::LastReceiptNumber(const std::string&) {
  return Reply{std::to_string(state_.receipt_number), 0, 0};
}

Reply Device::Barcode(const std::string& data) {
  if (data.size() < 2 || data[0] < '1' || data[0] > '4') return Syntax();
  const std::string code = data.substr(1);
  for (char c : code) {
    if (c < 0x20 || c > 0x7E) return Syntax();
  }
  const std::string printed = PaperLine("||| " + code + " |||") + "\n";
  if (receipt_.kind != ReceiptKind::None) {
    receipt_.paper += printed;
  } else {
    PrintDocument(printed);
  }
  return Reply{std::to_string(code.size()), 0, 0};
}

Reply Device::OpenNonFiscal(const std::string&) {
  if (receipt_.kind != ReceiptKind::None) return NotAllowed();
  receipt_ = OpenReceipt{};
  receipt_.kind = ReceiptKind::NonFiscal;
  receipt_.paper = PaperLine("      NON-FISCAL RECEIPT") + "\n";
  return Reply{std::to_string(state_.document_number + 1), 0, 0};
}

Reply Device::NonFiscalText(const std::string& data) {
  if (receipt_.kind != ReceiptKind::NonFiscal) return NotAllowed();
  receipt_.paper += PaperLine(data, "", kNonFiscalTextWidth) + "\n";
  return {};
}

Reply Device::CloseNonFiscal(const std::string&) {
  if (receipt_.kind != ReceiptKind::NonFiscal) return NotAllowed();
  ++state_.day.non_fiscal;
  const int document = PrintDocument(receipt_.paper + PaperLine("      NON-FISCAL RECEIPT") + "\n");
  receipt_ = OpenReceipt{};
  return Reply{std::to_string(document), 0, 0};
}

Reply Device::PrintCopy(const std::string& data) {
  std::int64_t count = 0;
  if (!ParseInt(data, count) || count < 1 || count > 9) return Syntax();
  if (receipt_.kind != ReceiptKind::None || last_receipt_text_.empty()) return NotAllowed();
  for (std::int64_t i = 0; i < count; ++i) {
    PrintPaper(PaperLine("            COPY") + "\n" + Header() + last_receipt_text_ +
               PaperLine("   NOT A FISCAL DOCUMENT") + "\n" + std::string(32, '=') + "\n\n");
  }
  return {};
}

}  // namespace molvex::sim
