// Russian texts written once in UTF-8 in the source and kept as Windows-1251 bytes, converted at
// compile time: the printer's command names and the messages of the info log.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace molvex {

// Windows-1251 bytes of a UTF-8 literal of N bytes (the converted text is never longer),
// terminated by a zero byte.
template <std::size_t N>
struct Cp1251Literal {
  char bytes[N] = {};
  std::size_t length = 0;

  constexpr const char* c_str() const { return bytes; }
  constexpr std::string_view view() const { return {bytes, length}; }
  constexpr operator std::string_view() const {
    return view();
  }  // NOLINT(google-explicit-constructor)
  friend std::string operator+(const Cp1251Literal& text, std::string_view tail) {
    std::string out(text.view());
    out += tail;
    return out;
  }
};

// Converts UTF-8 Russian text to Windows-1251 at compile time. Only ASCII and the Cyrillic
// letters (Ё and ё included) may appear; anything else stops the build.
template <std::size_t N>
consteval Cp1251Literal<N> Cp1251(const char (&utf8)[N]) {
  Cp1251Literal<N> out{};
  std::size_t o = 0;
  for (std::size_t i = 0; i + 1 < N && utf8[i] != '\0'; ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    unsigned code = c;
    if (c >= 0x80) {
      if (i + 2 >= N) throw "a UTF-8 sequence cut short";
      const auto c2 = static_cast<unsigned char>(utf8[++i]);
      if ((c & 0xE0) != 0xC0 || (c2 & 0xC0) != 0x80) throw "not a two-byte UTF-8 sequence";
      code = ((c & 0x1Fu) << 6) | (c2 & 0x3Fu);
    }
    unsigned char byte = 0;
    if (code < 0x80) {
      byte = static_cast<unsigned char>(code);
    } else if (code >= 0x410 && code <= 0x44F) {
      byte = static_cast<unsigned char>(0xC0 + (code - 0x410));
    } else if (code == 0x401) {
      byte = 0xA8;
    } else if (code == 0x451) {
      byte = 0xB8;
    } else {
      throw "a character outside Windows-1251 letters";
    }
    out.bytes[o++] = static_cast<char>(byte);
  }
  out.length = o;
  return out;
}

}  // namespace molvex
