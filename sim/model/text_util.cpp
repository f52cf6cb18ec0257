#include "sim/model/text_util.h"

#include <cstdio>

namespace molvex::sim {

std::vector<std::string> SplitFields(const std::string& text, char separator) {
  std::vector<std::string> fields(1);
  for (char c : text) {
    if (c == separator) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

bool ParseInt(const std::string& text, std::int64_t& value, bool allow_sign) {
  std::size_t i = 0;
  bool negative = false;
  if (allow_sign && !text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    i = 1;
  }
  if (i >= text.size() || text.size() - i > 15) return false;
  std::int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  value = negative ? -v : v;
  return true;
}

bool ParseFixed(const std::string& text, int decimals, std::int64_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    i = 1;
  }
  std::int64_t whole = 0;
  int whole_digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (++whole_digits > 12) return false;
    whole = whole * 10 + (text[i] - '0');
  }
  std::int64_t fraction = 0;
  int fraction_digits = 0;
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      if (++fraction_digits > decimals) return false;
      fraction = fraction * 10 + (text[i] - '0');
    }
  }
  if (i != text.size() || whole_digits + fraction_digits == 0) return false;
  for (int d = fraction_digits; d < decimals; ++d) fraction *= 10;
  std::int64_t scale = 1;
  for (int d = 0; d < decimals; ++d) scale *= 10;
  value = whole * scale + fraction;
  if (negative) value = -value;
  return true;
}

std::string FormatFixed(std::int64_t value, int decimals) {
  std::int64_t scale = 1;
  for (int d = 0; d < decimals; ++d) scale *= 10;
  const bool negative = value < 0;
  const std::uint64_t magnitude =
      negative ? static_cast<std::uint64_t>(-(value + 1)) + 1 : static_cast<std::uint64_t>(value);
  char text[48];
  if (decimals == 0) {
    std::snprintf(text, sizeof text, "%s%llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude));
  } else {
    std::snprintf(text, sizeof text, "%s%llu.%0*llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / static_cast<std::uint64_t>(scale)),
                  decimals,
                  static_cast<unsigned long long>(magnitude % static_cast<std::uint64_t>(scale)));
  }
  return text;
}

namespace {
// Code points of the bytes 0x80..0xBF of Windows-1251 (0xC0..0xFF are U+0410..U+044F).
constexpr std::uint16_t kHigh[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

void PutUtf8(std::uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}
}  // namespace

std::string Cp1251ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b < 0x80) {
      PutUtf8(b, out);
    } else if (b < 0xC0) {
      PutUtf8(kHigh[b - 0x80], out);
    } else {
      PutUtf8(0x0410u + (b - 0xC0u), out);
    }
  }
  return out;
}

bool Utf8ToCp1251(const std::string& text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::uint32_t cp = 0;
    std::size_t length = 0;
    if (lead < 0x80) {
      cp = lead;
      length = 1;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1Fu;
      length = 2;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0Fu;
      length = 3;
    } else {
      return false;  // four-byte forms hold nothing of the code page
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = cp << 6 | (next & 0x3Fu);
    }
    i += length;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp >= 0x0410 && cp <= 0x044F) {
      out += static_cast<char>(0xC0 + (cp - 0x0410));
    } else {
      std::size_t k = 0;
      while (k < 64 && (kHigh[k] != cp || cp == 0xFFFD)) ++k;
      if (k == 64) return false;
      out += static_cast<char>(0x80 + k);
    }
  }
  return true;
}

std::string Base64Encode(const std::string& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = (static_cast<std::uint8_t>(bytes[i]) << 16) |
                            (static_cast<std::uint8_t>(bytes[i + 1]) << 8) |
                            static_cast<std::uint8_t>(bytes[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(v >> s) & 0x3F];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t v = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (rest == 2) v |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 0x3F];
    out += kAlphabet[(v >> 12) & 0x3F];
    out += rest == 2 ? kAlphabet[(v >> 6) & 0x3F] : '=';
    out += '=';
  }
  return out;
}

std::string HexEncode(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

bool HexDecode(const std::string& hex, std::string& bytes) {
  if (hex.size() % 2 != 0) return false;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = nibble(hex[i]);
    const int lo = nibble(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
  }
  bytes = out;
  return true;
}

std::string PaperLine(const std::string& left, const std::string& right, std::size_t width) {
  if (width < 2) return left.substr(0, width);
  const std::string r = right.substr(0, width - 1);
  const std::string l = left.substr(0, r.empty() ? width : width - r.size() - 1);
  std::string line = l;
  if (!r.empty()) line += std::string(width - l.size() - r.size(), ' ') + r;
  return line;
}

}  // namespace molvex::sim
