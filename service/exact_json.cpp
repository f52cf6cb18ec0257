#include "service/exact_json.h"

#include <cmath>
#include <vector>

namespace molvex::service {
namespace {

// Builds the document from the parser's events, keeping the text of every non-integer number.
// Its members may throw std::bad_alloc, which the caller catches.
// NOLINTNEXTLINE(bugprone-exception-escape)
class ExactBuilder : public nlohmann::json_sax<Json> {
 public:
  bool null() override { return Put(Json(nullptr)); }
  bool boolean(bool value) override { return Put(Json(value)); }
  bool number_integer(number_integer_t value) override { return Put(Json(value)); }
  bool number_unsigned(number_unsigned_t value) override { return Put(Json(value)); }
  bool number_float(number_float_t, const string_t& text) override {
    return Put(Json::binary(std::vector<std::uint8_t>(text.begin(), text.end()), kDecimalSubtype));
  }
  bool string(string_t& value) override { return Put(Json(std::move(value))); }
  bool binary(binary_t& value) override { return Put(Json::binary(std::move(value))); }
  bool start_object(std::size_t) override { return Open(Json::object()); }
  bool key(string_t& value) override {
    key_ = std::move(value);
    return true;
  }
  bool end_object() override { return Close(); }
  bool start_array(std::size_t) override { return Open(Json::array()); }
  bool end_array() override { return Close(); }
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception& e) override {
    error_ = "the body is no JSON document (at byte " + std::to_string(position) +
             "): " + std::string(e.what());
    return false;
  }

  Json& root() { return root_; }
  const std::string& error() const { return error_; }

 private:
  Json* Place(Json value) {
    if (stack_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Json& parent = *stack_.back();
    if (parent.is_array()) {
      parent.push_back(std::move(value));
      return &parent.back();
    }
    Json& slot = parent[key_];
    slot = std::move(value);
    return &slot;
  }
  bool Put(Json value) {
    Place(std::move(value));
    return true;
  }
  bool Open(Json value) {
    if (stack_.size() >= kMaxJsonDepth) {
      error_ = "the document is nested deeper than " + std::to_string(kMaxJsonDepth) + " levels";
      return false;
    }
    stack_.push_back(Place(std::move(value)));
    return true;
  }
  bool Close() {
    stack_.pop_back();
    return true;
  }

  Json root_;
  std::vector<Json*> stack_;
  std::string key_;
  std::string error_;
};

double Scale(int decimals) {
  static constexpr double kPowers[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
  return kPowers[decimals < 0 ? 0 : decimals > 4 ? 4 : decimals];
}

}  // namespace

std::optional<Json> ParseExactJson(std::string_view text, std::string& error) {
  ExactBuilder builder;
  bool ok = false;
  try {
    ok = Json::sax_parse(text.begin(), text.end(), &builder);
  } catch (const std::exception& e) {
    error = std::string("the body is no JSON document: ") + e.what();
    return std::nullopt;
  }
  if (!ok) {
    error = builder.error().empty() ? "the body is no JSON document" : builder.error();
    return std::nullopt;
  }
  return std::move(builder.root());
}

std::string NumberText(const Json& value) {
  if (value.is_binary() && value.get_binary().has_subtype() &&
      value.get_binary().subtype() == kDecimalSubtype) {
    const auto& bytes = value.get_binary();
    return std::string(bytes.begin(), bytes.end());
  }
  if (value.is_number_integer()) return value.dump();
  return {};
}

std::string CanonicalJson(const Json& value) {
  // Objects keep their keys sorted; a kept number shows as its text.
  if (value.is_object()) {
    std::string out = "{";
    for (auto it = value.begin(); it != value.end(); ++it) {
      if (out.size() > 1) out += ',';
      out += Json(it.key()).dump(-1, ' ', false, Json::error_handler_t::replace) + ":" +
             CanonicalJson(it.value());
    }
    return out + "}";
  }
  if (value.is_array()) {
    std::string out = "[";
    for (const Json& item : value) {
      if (out.size() > 1) out += ',';
      out += CanonicalJson(item);
    }
    return out + "]";
  }
  std::string number = NumberText(value);
  if (!number.empty()) return number;
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<std::int64_t> ParseDecimal(std::string_view text, int decimals, std::int64_t limit) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  if (whole.empty() || (point != std::string_view::npos && fraction.empty()) ||
      fraction.size() > static_cast<std::size_t>(decimals) || whole.size() > 15) {
    return std::nullopt;
  }
  std::int64_t units = 0;
  for (char c : whole) {
    if (c < '0' || c > '9') return std::nullopt;
    units = units * 10 + (c - '0');
  }
  for (int i = 0; i < decimals; ++i) {
    const std::size_t k = static_cast<std::size_t>(i);
    int digit = 0;
    if (k < fraction.size()) {
      if (fraction[k] < '0' || fraction[k] > '9') return std::nullopt;
      digit = fraction[k] - '0';
    }
    if (units > limit) return std::nullopt;
    units = units * 10 + digit;
  }
  if (units > limit) return std::nullopt;
  return negative ? -units : units;
}

std::string FormatDecimal(std::int64_t units, int decimals) {
  const bool negative = units < 0;
  std::string digits = std::to_string(negative ? -units : units);
  if (decimals > 0) {
    const std::size_t d = static_cast<std::size_t>(decimals);
    if (digits.size() <= d) digits.insert(0, d + 1 - digits.size(), '0');
    digits.insert(digits.size() - d, ".");
  }
  return negative ? "-" + digits : digits;
}

double DecimalToDouble(std::int64_t units, int decimals) {
  // One correctly rounded division of two exact doubles: the nearest double to the decimal.
  return static_cast<double>(units) / Scale(decimals);
}

std::int64_t DoubleToUnits(double value, int decimals) {
  return std::llround(value * Scale(decimals));
}

}  // namespace molvex::service
