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

// The code page of the printer's text: a known one, else Windows-1251.
UINT PrinterPage() {
  return PrinterCodePageKnown() ? PrinterCodePage() : kDefaultPrinterCodePage;
}

// True when the character of `count` units at `text` has a byte of its own in `code_page`.
bool HasByte(UINT code_page, const OLECHAR* text, int count) {
  char byte[8];
  BOOL used_default = FALSE;
  const int n = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, text, count, byte, sizeof byte,
                                    nullptr, &used_default);
  return n == 1 && used_default == FALSE;
}

}  // namespace

std::size_t WideToPrinterExact(const OLECHAR* text, std::size_t length, std::string& out) {
  out.assign(length, '\0');  // one byte a character
  if (text == nullptr) return length;
  const UINT code_page = PrinterPage();
  for (std::size_t at = 0; at < length;) {
    const std::size_t n = length - at < kPiece ? length - at : kPiece;
    BOOL used_default = FALSE;
    const int written =
        WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, text + at, static_cast<int>(n),
                            out.data() + at, static_cast<int>(n), nullptr, &used_default);
    if (written != static_cast<int>(n) || used_default != FALSE) {
      // Find the first character without a byte of its own, one character at a time.
      for (std::size_t i = at; i < length; ++i) {
        const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < length &&
                          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pair || !HasByte(code_page, text + i, 1)) return i;
      }
      return at;
    }
    at += n;
  }
  return length;
}

std::string WideToPrinter(const OLECHAR* text, std::size_t length) {
  return FromWide(PrinterPage(), text, length);
}

std::basic_string<OLECHAR> PrinterToWide(std::string_view text) {
  return ToWide(PrinterPage(), text);
}

std::string WideToSystemAnsi(const OLECHAR* text, std::size_t length) {
  return FromWide(CP_ACP, text, length);
}

std::basic_string<OLECHAR> Utf8ToWide(std::string_view text) {
  return ToWide(CP_UTF8, text);
}

std::string WideToUtf8(const OLECHAR* text, std::size_t length) {
  return FromWide(CP_UTF8, text, length);
}

}  // namespace molvex
