#include "tools/ecrfisc/call_parser.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "tools/ecrfisc/text_utf.h"

namespace molvex::ecrfisc {
namespace {

struct Token {
  std::string text;
  bool quoted = false;                         // some part of it was in quotes
  std::size_t bare_equal = std::string::npos;  // first '=' outside quotes
};

// Splits at blanks and tabs; quotes group, backslash escapes " and \ inside quotes.
bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error) {
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    Token token;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
      if (line[i] != '"') {
        if (line[i] == '=' && token.bare_equal == std::string::npos) {
          token.bare_equal = token.text.size();
        }
        token.text.push_back(line[i++]);
        continue;
      }
      token.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
          token.text.push_back(line[i++]);
        } else {
          token.text.push_back(c);
        }
      }
      if (!closed) {
        error = "unbalanced quote";
        return false;
      }
    }
    tokens.push_back(std::move(token));
  }
  return true;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Exact spelling first, then any case (dispatch names are case-insensitive).
const SlotInfo* Lookup(std::string_view name, EntryKind kind) {
  if (const SlotInfo* s = FindSlot(name, kind)) return s;
  for (const SlotInfo& s : InterfaceSlots()) {
    if (s.kind == kind && EqualNoCase(s.name, name)) return &s;
  }
  return nullptr;
}

std::string Signature(const SlotInfo& slot) {
  std::string text;
  for (const ParamInfo& p : slot.params) {
    if (p.dir != ParamDir::In) continue;
    if (!text.empty()) text += ", ";
    text += std::string(p.name) + " " + std::string(AutoTypeName(p.type));
  }
  return text.empty() ? "no arguments" : text;
}

bool ParseInteger(std::string_view token, std::int64_t min, std::int64_t max, std::int64_t& out,
                  std::string& error) {
  std::string_view digits = token;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int64_t v = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (digits.empty() || ec == std::errc::invalid_argument || end != digits.data() + digits.size()) {
    error = "not a decimal integer";
    return false;
  }
  if (ec == std::errc::result_out_of_range || v < min || v > max) {
    error = "out of range " + std::to_string(min) + ".." + std::to_string(max);
    return false;
  }
  out = v;
  return true;
}

bool ParseReal(std::string_view token, double& out, std::string& error) {
  std::string_view t = token;
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  // Decimal notation only: no "inf", "nan" or hexadecimal forms.
  for (char c : t) {
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != 'e' &&
        c != 'E' && c != '+') {
      error = c == ',' ? "not a number (the decimal separator is \".\")" : "not a number";
      return false;
    }
  }
  double v = 0.0;
  const auto [end, ec] =
      std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  if (t.empty() || ec == std::errc::invalid_argument || end != t.data() + t.size()) {
    error = "not a number";
    return false;
  }
  if (ec == std::errc::result_out_of_range || !std::isfinite(v)) {
    error = "number out of range";
    return false;
  }
  out = v;
  return true;
}

}  // namespace

bool ParseArg(std::string_view token, AutoType type, ArgValue& value, std::string& error) {
  switch (type) {
    case AutoType::Int:
    case AutoType::I4:
      return ParseInteger(token, std::numeric_limits<std::int32_t>::min(),
                          std::numeric_limits<std::int32_t>::max(), value.integer, error);
    case AutoType::I1:
      return ParseInteger(token, -128, 127, value.integer, error);
    case AutoType::UI1:
      return ParseInteger(token, 0, 255, value.integer, error);
    case AutoType::R8:
      return ParseReal(token, value.real, error);
    case AutoType::Bool:
      if (EqualNoCase(token, "true") || token == "-1" || token == "1") {
        value.integer = -1;
      } else if (EqualNoCase(token, "false") || token == "0") {
        value.integer = 0;
      } else {
        error = "not a boolean (true, false, -1, 0 or 1)";
        return false;
      }
      return true;
    case AutoType::Bstr:
      if (!Utf8ToUtf16(token)) {
        error = "not valid UTF-8";
        return false;
      }
      if (token.find('\0') != std::string_view::npos) {
        error = "text holds a NUL character";
        return false;
      }
      value.text = std::string(token);
      return true;
  }
  error = "unknown type";
  return false;
}

ParsedCall ParseCall(std::string_view line) {
  ParsedCall call;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::vector<Token> tokens;
  if (!Tokenize(line, tokens, call.error)) {
    if (!tokens.empty()) call.name = tokens.front().text;
    return call;
  }
  if (tokens.empty() || (!tokens[0].quoted && tokens[0].text.starts_with('#'))) {
    call.blank = true;
    return call;
  }

  // Property write: "Name = value" or "Name=value".
  bool put = false;
  std::vector<std::string_view> values;
  if (tokens.size() >= 2 && !tokens[1].quoted && tokens[1].text == "=") {
    put = true;
    call.name = tokens[0].text;
    for (std::size_t i = 2; i < tokens.size(); ++i) values.push_back(tokens[i].text);
  } else if (tokens[0].bare_equal != std::string::npos) {
    put = true;
    const std::string& t = tokens[0].text;
    call.name = t.substr(0, tokens[0].bare_equal);
    const std::string_view rest = std::string_view(t).substr(tokens[0].bare_equal + 1);
    if (!rest.empty() || tokens[0].quoted) values.push_back(rest);
    for (std::size_t i = 1; i < tokens.size(); ++i) values.push_back(tokens[i].text);
  } else {
    call.name = tokens[0].text;
    for (std::size_t i = 1; i < tokens.size(); ++i) values.push_back(tokens[i].text);
  }
  if (call.name.empty()) {
    call.error = "no entry name before \"=\"";
    return call;
  }

  const SlotInfo* slot = nullptr;
  if (put) {
    slot = Lookup(call.name, EntryKind::PropPut);
    if (slot == nullptr) {
      const SlotInfo* other = Lookup(call.name, EntryKind::PropGet);
      if (other == nullptr) other = Lookup(call.name, EntryKind::Method);
      call.error = other != nullptr ? std::string(other->name) + " cannot be written"
                                    : "unknown entry \"" + call.name + "\"";
      if (other != nullptr) call.name = other->name;
      return call;
    }
  } else {
    slot = Lookup(call.name, EntryKind::Method);
    if (slot == nullptr) slot = Lookup(call.name, EntryKind::PropGet);
    if (slot == nullptr) {
      if (const SlotInfo* w = Lookup(call.name, EntryKind::PropPut)) {
        call.name = w->name;
        call.error = call.name + " can only be written: " + call.name + " = value";
      } else {
        call.error = "unknown entry \"" + call.name + "\" (ecrfisc --list shows them)";
      }
      return call;
    }
  }
  call.name = slot->name;

  std::size_t wanted = 0;
  for (const ParamInfo& p : slot->params) wanted += p.dir == ParamDir::In ? 1 : 0;
  if (values.size() != wanted) {
    call.error = put ? call.name + " = takes one value (" + Signature(*slot) + ")"
                     : call.name + " takes " + Signature(*slot) + ", got " +
                           std::to_string(values.size()) + " argument" +
                           (values.size() == 1 ? "" : "s");
    return call;
  }

  call.args.resize(slot->params.size());
  std::size_t next = 0;
  for (std::size_t i = 0; i < slot->params.size(); ++i) {
    const ParamInfo& p = slot->params[i];
    if (p.dir != ParamDir::In) continue;
    std::string why;
    if (!ParseArg(values[next], p.type, call.args[i], why)) {
      call.error = "argument " + std::to_string(next + 1) + " (" + std::string(p.name) + " " +
                   std::string(AutoTypeName(p.type)) + "): " + why;
      call.args.clear();
      return call;
    }
    ++next;
  }
  call.slot = slot;
  return call;
}

CallLine SplitExpected(std::string_view line) {
  CallLine split{line, {}, false};
  bool quoted = false;
  for (std::size_t i = 0; i + 1 < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '\\' && (line[i + 1] == '"' || line[i + 1] == '\\')) {
      ++i;  // an escaped quote or backslash
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == '=' && line[i + 1] == '>') {
      const auto blank = [](char b) { return b == ' ' || b == '\t' || b == '\r'; };
      std::string_view expected = line.substr(i + 2);
      while (!expected.empty() && blank(expected.front())) expected.remove_prefix(1);
      while (!expected.empty() && blank(expected.back())) expected.remove_suffix(1);
      split.call = line.substr(0, i);
      split.expected = expected;
      split.has_expected = true;
      break;
    }
  }
  return split;
}

}  // namespace molvex::ecrfisc
