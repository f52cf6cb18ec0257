#include "service/documents.h"

#include <cstring>

#include "platform/text_codec.h"

namespace molvex::service {
namespace {

constexpr std::size_t kMaxLines = 500;
constexpr std::size_t kMaxPayments = 16;
constexpr std::size_t kMaxNonFiscalLines = 200;
// Widths the printer gives each text (characters of its code page).
constexpr std::size_t kTextLineWidth = 24;     // a text line inside a fiscal receipt
constexpr std::size_t kNonFiscalWidth = 35;    // a line of a non-fiscal receipt
constexpr std::size_t kArticleNameWidth = 48;  // an article sold by name
constexpr std::size_t kBarcodeWidth = 64;      // a bar code's data
constexpr std::size_t kTransactionCodeWidth = 40;

std::string Quote(char c) {
  if (c == ',') return "a comma";
  if (c == ' ') return "a blank";
  return std::string("'") + c + "'";
}

std::optional<Adjustment> ReadAdjustment(FieldReader& line) {
  const bool discount = line.Has("discount");
  const bool surcharge = line.Has("surcharge");
  if (!discount && !surcharge) return std::nullopt;
  if (discount && surcharge) {
    line.Fail(line.Where("discount"), "give a discount or a surcharge, not both");
    return std::nullopt;
  }
  const char* name = discount ? "discount" : "surcharge";
  const Json& value = *line.Get(name);
  if (!value.is_object()) {
    line.Fail(line.Where(name), "an object with \"percent\" or \"amount\"");
    return std::nullopt;
  }
  std::vector<Problem> sink;
  FieldReader inner(value, line.Where(name), sink);
  inner.OnlyKnown({"percent", "amount"});
  const bool has_percent = inner.Has("percent");
  if (has_percent == inner.Has("amount")) {
    inner.Fail(line.Where(name), "give \"percent\" or \"amount\", one of them");
  }
  std::optional<std::int64_t> v = has_percent ? inner.Decimal("percent", 2, 1, 9999, true)
                                              : inner.Decimal("amount", 2, 1, kMaxAmount, true);
  for (const Problem& p : sink) line.Fail(p.pointer, p.message);
  if (!v || !inner.ok()) return std::nullopt;
  return Adjustment{has_percent, discount ? -*v : *v};
}

std::int64_t Adjusted(std::int64_t amount, const std::optional<Adjustment>& adjust) {
  if (!adjust) return amount;
  return amount + (adjust->percent ? MulRound(amount, adjust->value, 10000) : adjust->value);
}

}  // namespace

std::int64_t MulRound(std::int64_t a, std::int64_t b, std::int64_t scale) {
  const std::int64_t p = a * b;
  return p >= 0 ? (p + scale / 2) / scale : -((-p + scale / 2) / scale);
}

int TaxIndex(const Json& value) {
  if (value.is_number_integer()) {
    const auto n = value.get<std::int64_t>();
    return n >= 0 && n <= 4 ? static_cast<int>(n) : -1;
  }
  if (!value.is_string()) return -1;
  static const char* const kLetters[] = {"А", "Б", "В", "Г", "Д"};
  for (int i = 0; i < 5; ++i) {
    if (value.get<std::string>() == kLetters[i]) return i;
  }
  return -1;
}

int PaymentTypeIndex(const std::string& name) {
  static const char* const kNames[] = {"cash", "card", "cheque", "credit"};
  for (int i = 0; i < 4; ++i) {
    if (name == kNames[i]) return i;
  }
  return -1;
}

std::string PrinterTextProblem(const std::string& utf8, std::size_t max_chars,
                               const char* forbidden) {
  const auto wide = Utf8ToWide(utf8);
  std::string bytes;
  const std::size_t stop = WideToPrinterExact(wide.data(), wide.size(), bytes);
  if (stop != wide.size()) {
    return "character " + std::to_string(stop + 1) + " is not in the printer's code page";
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x20 || b == 0x7F) {
      return "character " + std::to_string(i + 1) + " is a control character";
    }
    if (b != 0 && std::strchr(forbidden, static_cast<char>(b)) != nullptr) {
      return "character " + std::to_string(i + 1) + " is " + Quote(static_cast<char>(b)) +
             ", which separates the printer's fields";
    }
  }
  if (bytes.size() > max_chars) {
    return "longer than " + std::to_string(max_chars) + " characters";
  }
  return {};
}

FieldReader::FieldReader(const Json& object, std::string pointer, std::vector<Problem>& problems)
    : object_(object), pointer_(std::move(pointer)), problems_(problems) {
  if (!object_.is_object()) Fail(pointer_.empty() ? "/" : pointer_, "an object");
}

void FieldReader::Fail(const std::string& where, const std::string& message) {
  ok_ = false;
  problems_.push_back(Problem{where, message});
}

bool FieldReader::Has(const char* key) const {
  return object_.is_object() && object_.contains(key);
}

const Json* FieldReader::Get(const char* key) const {
  if (!Has(key)) return nullptr;
  return &object_.at(key);
}

void FieldReader::OnlyKnown(std::initializer_list<const char*> known) {
  if (!object_.is_object()) return;
  for (auto it = object_.begin(); it != object_.end(); ++it) {
    bool found = false;
    for (const char* k : known) found = found || it.key() == k;
    if (!found) Fail(pointer_ + "/" + it.key(), "unknown member");
  }
}

std::optional<std::int64_t> FieldReader::Integer(const char* key, std::int64_t low,
                                                 std::int64_t high,
                                                 std::optional<std::int64_t> fallback) {
  const Json* v = Get(key);
  if (v == nullptr) {
    if (!fallback) Fail(Where(key), "missing");
    return fallback;
  }
  if (!v->is_number_integer() || v->get<std::int64_t>() < low || v->get<std::int64_t>() > high ||
      (v->is_number_unsigned() && v->get<std::uint64_t>() > static_cast<std::uint64_t>(high))) {
    Fail(Where(key), "an integer " + std::to_string(low) + ".." + std::to_string(high));
    return std::nullopt;
  }
  return v->get<std::int64_t>();
}

std::optional<std::int64_t> FieldReader::Decimal(const char* key, int decimals, std::int64_t low,
                                                 std::int64_t high, bool required) {
  const Json* v = Get(key);
  if (v == nullptr) {
    if (required) Fail(Where(key), "missing");
    return std::nullopt;
  }
  const std::string text = v->is_string() ? v->get<std::string>() : NumberText(*v);
  const auto units = ParseDecimal(text, decimals, kMaxAmount * 10);
  if (!units || *units < low || *units > high) {
    Fail(Where(key), "a decimal number (a string such as \"12.50\", or a number) from " +
                         FormatDecimal(low, decimals) + " to " + FormatDecimal(high, decimals) +
                         " with at most " + std::to_string(decimals) + " digits after the point");
    return std::nullopt;
  }
  return units;
}

std::optional<std::string> FieldReader::Text(const char* key, std::size_t max_chars, bool required,
                                             const char* forbidden, std::size_t min_chars) {
  const Json* v = Get(key);
  if (v == nullptr) {
    if (required) Fail(Where(key), "missing");
    return std::nullopt;
  }
  if (!v->is_string()) {
    Fail(Where(key), "a text");
    return std::nullopt;
  }
  const std::string text = v->get<std::string>();
  std::string why = PrinterTextProblem(text, max_chars, forbidden);
  if (why.empty() && Utf8ToWide(text).size() < min_chars) why = "empty";
  if (!why.empty()) {
    Fail(Where(key), why);
    return std::nullopt;
  }
  return text;
}

std::optional<bool> FieldReader::Bool(const char* key, bool fallback) {
  const Json* v = Get(key);
  if (v == nullptr) return fallback;
  if (!v->is_boolean()) {
    Fail(Where(key), "true or false");
    return std::nullopt;
  }
  return v->get<bool>();
}

std::optional<ReceiptDocument> ReadReceipt(const Json& body, std::vector<Problem>& problems) {
  const std::size_t before = problems.size();
  FieldReader doc(body, "", problems);
  if (!doc.ok()) return std::nullopt;
  doc.OnlyKnown({"kind", "operator", "till", "lines", "payments", "after"});
  ReceiptDocument receipt;
  const Json* kind = doc.Get("kind");
  if (kind == nullptr || !kind->is_string() || (*kind != "sale" && *kind != "refund")) {
    doc.Fail("/kind", "\"sale\" or \"refund\"");
  } else {
    receipt.refund = *kind == "refund";
  }
  receipt.operator_number = static_cast<int>(doc.Integer("operator", 1, 15, 1).value_or(1));
  receipt.till = static_cast<int>(doc.Integer("till", 1, 99999, 1).value_or(1));

  bool all_priced = true;
  bool sold = false;
  std::int64_t total = 0;
  const Json* lines = doc.Get("lines");
  if (lines == nullptr || !lines->is_array() || lines->empty() || lines->size() > kMaxLines) {
    doc.Fail("/lines", "an array of 1.." + std::to_string(kMaxLines) + " lines");
  } else {
    for (std::size_t i = 0; i < lines->size(); ++i) {
      const std::string at = "/lines/" + std::to_string(i);
      FieldReader line((*lines)[i], at, problems);
      if (!line.ok()) continue;
      ReceiptLine out;
      const Json* type = line.Get("type");
      const std::string t = type != nullptr && type->is_string() ? type->get<std::string>() : "";
      if (t == "article") {
        line.OnlyKnown({"type", "article", "quantity", "discount", "surcharge"});
        out.type = LineType::Article;
        out.article = static_cast<std::int32_t>(line.Integer("article", 1, 14800).value_or(0));
        out.quantity = line.Decimal("quantity", 3, 1, kMaxQuantity, false).value_or(1000);
        out.adjust = ReadAdjustment(line);
        all_priced = false;
        sold = true;
      } else if (t == "item") {
        line.OnlyKnown(
            {"type", "name", "price", "quantity", "tax", "group", "discount", "surcharge"});
        out.type = LineType::Item;
        out.name = line.Text("name", kArticleNameWidth, true, ",", 1).value_or("");
        out.price = line.Decimal("price", 2, 1, kMaxAmount, true).value_or(0);
        out.quantity = line.Decimal("quantity", 3, 1, kMaxQuantity, false).value_or(1000);
        const Json* tax = line.Get("tax");
        out.tax = tax == nullptr ? -1 : TaxIndex(*tax);
        if (out.tax < 0) line.Fail(at + "/tax", "a tax letter \"А\"..\"Д\" (or 0..4)");
        out.group = static_cast<int>(line.Integer("group", 1, 99, 1).value_or(1));
        out.adjust = ReadAdjustment(line);
        const std::int64_t amount = Adjusted(MulRound(out.price, out.quantity, 1000), out.adjust);
        if (amount < 0) line.Fail(at, "the discount is larger than the line");
        total += amount;
        sold = true;
      } else if (t == "text") {
        line.OnlyKnown({"type", "text"});
        out.type = LineType::Text;
        out.text = line.Text("text", kTextLineWidth, true, "", 1).value_or("");
        if (out.text == "0") line.Fail(at + "/text", "the text \"0\" alone cannot be printed");
      } else if (t == "barcode") {
        line.OnlyKnown({"type", "barcode_type", "data"});
        out.type = LineType::Barcode;
        out.barcode_type = static_cast<int>(line.Integer("barcode_type", 1, 4, 1).value_or(1));
        out.text = line.Text("data", kBarcodeWidth, true, "", 1).value_or("");
      } else if (t == "subtotal") {
        line.OnlyKnown({"type", "discount", "surcharge"});
        out.type = LineType::Subtotal;
        out.adjust = ReadAdjustment(line);
        if (!sold) line.Fail(at, "a subtotal needs a sale line before it");
        if (out.adjust) {
          total +=
              out.adjust->percent ? MulRound(total, out.adjust->value, 10000) : out.adjust->value;
        }
      } else {
        line.Fail(at + "/type", "\"article\", \"item\", \"text\", \"barcode\" or \"subtotal\"");
      }
      receipt.lines.push_back(std::move(out));
    }
    if (!sold) doc.Fail("/lines", "no line sells anything");
  }

  const Json* payments = doc.Get("payments");
  std::int64_t paid = 0;
  std::int64_t non_cash = 0;
  bool rest = false;
  if (payments == nullptr || !payments->is_array() || payments->empty() ||
      payments->size() > kMaxPayments) {
    doc.Fail("/payments", "an array of 1.." + std::to_string(kMaxPayments) + " payments");
  } else {
    for (std::size_t i = 0; i < payments->size(); ++i) {
      const std::string at = "/payments/" + std::to_string(i);
      FieldReader pay((*payments)[i], at, problems);
      if (!pay.ok()) continue;
      pay.OnlyKnown({"type", "amount", "code"});
      ReceiptPayment out;
      const Json* type = pay.Get("type");
      out.type = type != nullptr && type->is_string() ? PaymentTypeIndex(*type) : -1;
      if (out.type < 0) pay.Fail(at + "/type", "\"cash\", \"card\", \"cheque\" or \"credit\"");
      out.amount = pay.Decimal("amount", 2, 1, kMaxAmount, false);
      out.code = pay.Text("code", kTransactionCodeWidth, false, ",").value_or("");
      if (!pay.Has("amount")) {
        if (i + 1 != payments->size()) {
          pay.Fail(at + "/amount", "only the last payment may leave out its amount (the rest)");
        }
        rest = true;
      } else if (out.amount) {
        paid += *out.amount;
        if (out.type != kCash) non_cash += *out.amount;
      }
      receipt.payments.push_back(std::move(out));
    }
  }
  if (all_priced && doc.ok() && problems.size() == before) {
    receipt.total = total;
    if (non_cash > total) {
      doc.Fail("/payments", "payments other than cash exceed the total " + FormatDecimal(total, 2) +
                                " (only cash gives change)");
    } else if (!rest && paid < total) {
      doc.Fail("/payments", "the payments (" + FormatDecimal(paid, 2) +
                                ") do not cover the total " + FormatDecimal(total, 2));
    } else if (rest && paid >= total && total > 0) {
      doc.Fail("/payments",
               "the payments before the last already cover the total " + FormatDecimal(total, 2));
    }
  }

  if (const Json* after = doc.Get("after"); after != nullptr) {
    if (!after->is_array() || after->size() > kMaxNonFiscalLines) {
      doc.Fail("/after", "an array of at most " + std::to_string(kMaxNonFiscalLines) + " texts");
    } else {
      for (std::size_t i = 0; i < after->size(); ++i) {
        const std::string at = "/after/" + std::to_string(i);
        const Json& v = (*after)[i];
        std::string why = v.is_string()
                              ? PrinterTextProblem(v.get<std::string>(), kNonFiscalWidth, "")
                              : "a text";
        if (why.empty() && v.get<std::string>() == "0")
          why = "the text \"0\" alone cannot be printed";
        if (!why.empty()) {
          doc.Fail(at, why);
        } else {
          receipt.after.push_back(v.get<std::string>());
        }
      }
    }
  }
  if (problems.size() != before) return std::nullopt;
  return receipt;
}

std::optional<std::vector<std::string>> ReadNonFiscal(const Json& body,
                                                      std::vector<Problem>& problems) {
  const std::size_t before = problems.size();
  FieldReader doc(body, "", problems);
  if (!doc.ok()) return std::nullopt;
  doc.OnlyKnown({"lines"});
  std::vector<std::string> out;
  const Json* lines = doc.Get("lines");
  if (lines == nullptr || !lines->is_array() || lines->empty() ||
      lines->size() > kMaxNonFiscalLines) {
    doc.Fail("/lines", "an array of 1.." + std::to_string(kMaxNonFiscalLines) + " texts");
    return std::nullopt;
  }
  for (std::size_t i = 0; i < lines->size(); ++i) {
    const Json& v = (*lines)[i];
    std::string why =
        v.is_string() ? PrinterTextProblem(v.get<std::string>(), kNonFiscalWidth, "") : "a text";
    if (why.empty() && v.get<std::string>() == "0") why = "the text \"0\" alone cannot be printed";
    if (!why.empty()) {
      doc.Fail("/lines/" + std::to_string(i), why);
    } else {
      out.push_back(v.get<std::string>());
    }
  }
  if (problems.size() != before) return std::nullopt;
  return out;
}

}  // namespace molvex::service
