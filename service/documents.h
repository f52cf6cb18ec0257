// The documents clients post, read and checked before anything is sent: every problem is
// reported with the JSON pointer of its member, all of them at once. What passes here is what the
// object's entries accept (lengths, characters of the printer's code page, separators, ranges),
// so that a receipt is not refused half-way by the object.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "service/exact_json.h"

namespace molvex::service {

struct Problem {
  std::string pointer;  // "/lines/2/price"
  std::string message;
};

// Amount limits: hundredths and thousandths the printer's fields carry.
inline constexpr std::int64_t kMaxAmount = 99'999'999'999;  // 999,999,999.99
inline constexpr std::int64_t kMaxQuantity = 99'999'999;    // 99,999.999

// Reads members of one JSON object, recording a problem for each one that is wrong.
class FieldReader {
 public:
  FieldReader(const Json& object, std::string pointer, std::vector<Problem>& problems);

  bool ok() const { return ok_; }
  bool Has(const char* key) const;
  const Json* Get(const char* key) const;
  std::string Where(const char* key) const { return pointer_ + "/" + key; }
  void Fail(const std::string& where, const std::string& message);

  // An integer in low..high; `fallback` when absent and not required.
  std::optional<std::int64_t> Integer(const char* key, std::int64_t low, std::int64_t high,
                                      std::optional<std::int64_t> fallback = std::nullopt);
  // A decimal (string or number) with at most `decimals` places, in low..high units.
  std::optional<std::int64_t> Decimal(const char* key, int decimals, std::int64_t low,
                                      std::int64_t high, bool required);
  // A text for the printer: at most `max_chars` characters of its code page, no control
  // characters, and none of `forbidden` (the separators of its field).
  std::optional<std::string> Text(const char* key, std::size_t max_chars, bool required,
                                  const char* forbidden = "", std::size_t min_chars = 0);
  std::optional<bool> Bool(const char* key, bool fallback);
  // Refuses members that are not in `known` (a misspelt member is never ignored).
  void OnlyKnown(std::initializer_list<const char*> known);

 private:
  const Json& object_;
  std::string pointer_;
  std::vector<Problem>& problems_;
  bool ok_ = true;
};

// Why `utf8` cannot go to the printer as a text of at most `max_chars` characters; empty when
// it can.
std::string PrinterTextProblem(const std::string& utf8, std::size_t max_chars,
                               const char* forbidden);

enum class LineType { Article, Item, Text, Barcode, Subtotal };

// A discount (negative) or surcharge (positive), in percent or as an amount, hundredths.
struct Adjustment {
  bool percent = false;
  std::int64_t value = 0;
};

struct ReceiptLine {
  LineType type = LineType::Article;
  std::int32_t article = 0;          // Article
  std::int64_t quantity = 1000;      // Article, Item: thousandths
  std::int64_t price = 0;            // Item: hundredths
  std::string name;                  // Item
  int tax = 0;                       // Item: 0..4 for А..Д
  int group = 1;                     // Item
  std::string text;                  // Text; Barcode: the code
  int barcode_type = 0;              // Barcode
  std::optional<Adjustment> adjust;  // Article, Item, Subtotal
};

enum PaymentType { kCash = 0, kCard = 1, kCheque = 2, kCredit = 3 };

struct ReceiptPayment {
  int type = kCash;
  std::optional<std::int64_t> amount;  // hundredths; none: the rest
  std::string code;                    // transaction code
};

struct ReceiptDocument {
  bool refund = false;
  int operator_number = 1;
  int till = 1;
  std::vector<ReceiptLine> lines;
  std::vector<ReceiptPayment> payments;
  std::vector<std::string> after;     // non-fiscal lines printed after the receipt
  std::optional<std::int64_t> total;  // known when no line is a programmed article
};

std::optional<ReceiptDocument> ReadReceipt(const Json& body, std::vector<Problem>& problems);

// Lines of a non-fiscal receipt: {"lines": ["...", ...]}.
std::optional<std::vector<std::string>> ReadNonFiscal(const Json& body,
                                                      std::vector<Problem>& problems);

// The total of priced lines as the printer computes it (half away from zero at each step).
std::int64_t MulRound(std::int64_t a, std::int64_t b, std::int64_t scale);

// The tax letters "А".."Д" (Cyrillic) or the numbers 0..4 -> 0..4; -1 for others.
int TaxIndex(const Json& value);

// "cash", "card", "cheque", "credit" -> 0..3; -1 for others.
int PaymentTypeIndex(const std::string& name);

}  // namespace molvex::service
