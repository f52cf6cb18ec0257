// Private to link/.
// Builds a data text in a fixed buffer with the printer's number formats, independent of the
// process locale (the decimal point is always "."). Overflow is remembered, never written.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

class TextBuilder {
 public:
  static constexpr std::size_t kCapacity = 192;

  TextBuilder& Text(const char* text) {
    if (text == nullptr) return *this;
    const std::size_t n = std::strlen(text);
    if (!Reserve(n)) return *this;
    std::memcpy(buffer_ + length_, text, n);
    length_ += n;
    return Terminate();
  }
  TextBuilder& Char(char c) {
    if (!Reserve(1)) return *this;
    buffer_[length_++] = c;
    return Terminate();
  }
  // "%d" / "%i"
  TextBuilder& Int(std::int64_t value) { return Padded(value, 0); }
  // "%05lu" (width 5) and "%04d" (width 4): zero-padded, a minus sign counted in the width.
  TextBuilder& Padded(std::int64_t value, int width) {
    char digits[24];
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    const auto result = std::to_chars(digits, digits + sizeof digits, magnitude);
    const int count = static_cast<int>(result.ptr - digits);
    const int sign = value < 0 ? 1 : 0;
    if (sign != 0) Char('-');
    for (int i = count + sign; i < width; ++i) Char('0');
    return Chars(digits, static_cast<std::size_t>(count));
  }
  // "%-#.2lf" and "%-#.3lf": fixed notation, always a point. Callers refuse non-finite values.
  TextBuilder& Fixed(double value, int decimals) {
    char digits[400];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc{}) {
      overflow_ = true;
      return *this;
    }
    return Chars(digits, static_cast<std::size_t>(result.ptr - digits));
  }
  // "%6s": right-aligned in a field of the width, padded with blanks; longer texts whole.
  TextBuilder& RightAligned(const char* text, std::size_t width) {
    const std::size_t n = text == nullptr ? 0 : std::strlen(text);
    for (std::size_t i = n; i < width; ++i) Char(' ');
    return Text(text);
  }

  bool overflow() const { return overflow_; }
  const char* c_str() const { return buffer_; }
  std::size_t size() const { return length_; }

 private:
  TextBuilder& Chars(const char* p, std::size_t n) {
    if (!Reserve(n)) return *this;
    std::memcpy(buffer_ + length_, p, n);
    length_ += n;
    return Terminate();
  }
  bool Reserve(std::size_t n) {
    if (overflow_ || length_ + n + 1 > kCapacity) {
      overflow_ = true;
      return false;
    }
    return true;
  }
  TextBuilder& Terminate() {
    buffer_[length_] = '\0';
    return *this;
  }

  char buffer_[kCapacity] = {};
  std::size_t length_ = 0;
  bool overflow_ = false;
};

inline bool AllFinite(double a, double b = 0, double c = 0) {
  return std::isfinite(a) && std::isfinite(b) && std::isfinite(c);
}
