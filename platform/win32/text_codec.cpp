#include "platform/text_codec.h"

#include <climits>
#include <new>

namespace molvex {
namespace {

// Both conversions work in pieces small enough for the int lengths of the Windows functions.
constexpr std::size_t kPiece = INT_MAX / 8;

std::string FromWide(UINT code_page, const OLECHAR* text, std::size_t length) {
  std::string out;
  if (text == nullptr) return out;
  for (std::size_t at = 0; at < length;) {
    std::size_t n = length - at < kPiece ? length - at : kPiece;
    // Keep a surrogate pair in one piece.
    if (n < length - at && text[at + n - 1] >= 0xD800 && text[at + n - 1] <= 0xDBFF) --n;
    const int need = WideCharToMultiByte(code_page, 0, text + at, static_cast<int>(n), nullptr, 0,
                                         nullptr, nullptr);
    if (need > 0) {
      const std::size_t old = out.size();
      out.resize(old + static_cast<std::size_t>(need));
      WideCharToMultiByte(code_page, 0, text + at, static_cast<int>(n), out.data() + old, need,
                          nullptr, nullptr);
    }
    at += n;
  }
  return out;
}

std::basic_string<OLECHAR> ToWide(UINT code_page, std::string_view text) {
  std::basic_string<OLECHAR> out;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t n = text.size() - at < kPiece ? text.size() - at : kPiece;
    const int need =
        MultiByteToWideChar(code_page, 0, text.data() + at, static_cast<int>(n), nullptr, 0);
    if (need > 0) {
      const std::size_t old = out.size();
      out.resize(old + static_cast<std::size_t>(need));
      MultiByteToWideChar(code_page, 0, text.data() + at, static_cast<int>(n), out.data() + old,
                          need);
    }
    at += n;
  }
  return out;
}

}  // namespace

std::string WideToAnsi(const OLECHAR* text, std::size_t length) {
  return FromWide(CP_ACP, text, length);
}

std::basic_string<OLECHAR> AnsiToWide(std::string_view text) {
  return ToWide(CP_ACP, text);
}

std::basic_string<OLECHAR> Utf8ToWide(std::string_view text) {
  return ToWide(CP_UTF8, text);
}

std::string WideToUtf8(const OLECHAR* text, std::size_t length) {
  return FromWide(CP_UTF8, text, length);
}

}  // namespace molvex
