// The article table (command 107) and the operators (commands 101, 102, 119).
#include "sim/model/device.h"
#include "sim/model/text_util.h"

namespace molvex::sim {

namespace {
constexpr std::size_t kNameLength = 32;
constexpr std::size_t kNameLine = 24;  // each line of a name printed on two lines
constexpr std::size_t kOperatorName = 24;
constexpr std::size_t kPasswordLength = 8;

Reply Passed() {
  return Reply{"P", 0, 0};
}
Reply Failed() {
  return Reply{"F", 0, 0};
}

bool PrintableText(const std::string& text, std::size_t longest) {
  if (text.size() > longest) return false;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == ',') return false;
  }
  return true;
}

// An article name: one line of 1..32 bytes, or two lines of 1..24 bytes split by one TAB, which
// the printer prints one under the other.
bool ArticleNameOk(const std::string& name) {
  const std::size_t tab = name.find('\t');
  if (tab == std::string::npos) return !name.empty() && PrintableText(name, kNameLength);
  const std::string first = name.substr(0, tab);
  const std::string second = name.substr(tab + 1);
  return !first.empty() && !second.empty() && PrintableText(first, kNameLine) &&
         PrintableText(second, kNameLine);
}

bool ArticleNumber(const std::string& text, int& number) {
  std::int64_t v = 0;
  if (!ParseInt(text, v) || v < 1 || v > kArticleCount) return false;
  number = static_cast<int>(v);
  return true;
}

std::string Record(int number, const Article& a) {
  return "P," + std::to_string(number) + "," + std::string(1, static_cast<char>(a.tax)) + "," +
         std::to_string(a.group) + "," + FormatFixed(a.price, 2) + "," +
         FormatFixed(a.sold_quantity, 3) + "," + FormatFixed(a.sold_sum, 2) + "," +
         std::to_string(a.sales) + ",0," + a.name;
}
}  // namespace

Reply Device::ArticleCommand(const std::string& data) {
  if (data.empty()) return Syntax();
  const char op = data[0];
  auto& articles = state_.articles;
  switch (op) {
    case 'P': {
      if (data.size() < 3) return Syntax();
      const auto tax = static_cast<std::uint8_t>(data[1]);
      if (!PrnIsTaxLetter(tax)) return Syntax();
      const std::string rest = data.substr(2);
      const auto f = SplitFields(rest);
      int number = 0;
      std::int64_t group = 0, price = 0;
      if (f.size() != 5 || !ArticleNumber(f[0], number) || !ParseInt(f[1], group) || group > 99 ||
          !ParseFixed(f[2], 2, price) || price <= 0 || price > 99999999 || !ArticleNameOk(f[4])) {
        return Syntax();
      }
      if (!AdminPasswordOk(f[3])) return NotAllowed();
      Article& a = articles[static_cast<std::size_t>(number)];
      if (a.used && a.sales != 0) return Failed();  // sold since the last Z report
      a = Article{true, tax, static_cast<int>(group), price, f[4], 0, 0, 0};
      return Passed();
    }
    case 'D': {
      const auto f = SplitFields(data.substr(1));
      if (f.size() != 2) return Syntax();
      if (f[0] == "A") {
        if (!AdminPasswordOk(f[1])) return NotAllowed();
        for (const Article& a : articles) {
          if (a.used && a.sales != 0) return Failed();
        }
        for (Article& a : articles) a = Article{};
        return Passed();
      }
      int number = 0;
      if (!ArticleNumber(f[0], number)) return Syntax();
      if (!AdminPasswordOk(f[1])) return NotAllowed();
      Article& a = articles[static_cast<std::size_t>(number)];
      if (!a.used || a.sales != 0) return Failed();
      a = Article{};
      return Passed();
    }
    case 'C': {
      const auto f = SplitFields(data.substr(1));
      int number = 0;
      std::int64_t price = 0;
      if (f.size() != 3 || !ArticleNumber(f[0], number) || !ParseFixed(f[1], 2, price) ||
          price <= 0 || price > 99999999) {
        return Syntax();
      }
      if (!AdminPasswordOk(f[2])) return NotAllowed();
      Article& a = articles[static_cast<std::size_t>(number)];
      if (!a.used) return Failed();
      a.price = price;
      return Passed();
    }
    case 'R': {
      int number = 0;
      if (!ArticleNumber(data.substr(1), number)) return Syntax();
      const Article& a = articles[static_cast<std::size_t>(number)];
      if (!a.used) return Failed();
      article_cursor_ = number;
      return Reply{Record(number, a), 0, 0};
    }
    case 'F':
    case 'N': {
      if (data.size() != 1) return Syntax();
      const int start = op == 'F' ? 1 : article_cursor_ + 1;
      for (int n = start; n <= kArticleCount; ++n) {
        if (!articles[static_cast<std::size_t>(n)].used) continue;
        article_cursor_ = n;
        return Reply{Record(n, articles[static_cast<std::size_t>(n)]), 0, 0};
      }
      article_cursor_ = kArticleCount;
      return Failed();
    }
    default:
      return Syntax();
  }
}

Reply Device::SetOperatorPassword(const std::string& data) {
  return SetOperatorField(data, kPasswordLength, &Operator::password);
}

Reply Device::SetOperatorName(const std::string& data) {
  return SetOperatorField(data, kOperatorName, &Operator::name);
}

// "operator,its password,value": the value (at most `length` printable characters) becomes
// the operator's `field`.
Reply Device::SetOperatorField(const std::string& data, std::size_t length,
                               std::string Operator::*field) {
  const auto f = SplitFields(data);
  std::int64_t n = 0;
  if (f.size() != 3 || !ParseInt(f[0], n) || n < 1 || n > kOperatorCount ||
      !PrintableText(f[2], length)) {
    return Syntax();
  }
  if (!OperatorPasswordOk(static_cast<int>(n), f[1])) return NotAllowed();
  state_.operators[static_cast<std::size_t>(n)].*field = f[2];
  return {};
}

Reply Device::ClearOperatorPassword(const std::string& data) {
  const auto f = SplitFields(data);
  std::int64_t n = 0;
  if (f.size() != 2 || !ParseInt(f[0], n) || n < 1 || n > kOperatorCount) return Syntax();
  if (!AdminPasswordOk(f[1])) return NotAllowed();
  state_.operators[static_cast<std::size_t>(n)].password.clear();
  return {};
}

}  // namespace molvex::sim
