#include "platform/text_codec.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <type_traits>

namespace molvex {
namespace {

constexpr const char* kUtf8 = "UTF-8";
constexpr const char* kWide = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// The iconv name of a known code page; Windows-1251 for any other.
std::string IconvName(unsigned code_page) {
  char name[24];
  if (!CodePageKnown(code_page)) code_page = kDefaultPrinterCodePage;
  if (code_page == 20866) return "KOI8-R";
  if (code_page == 21866) return "KOI8-U";
  if (code_page > 28590) {
    std::snprintf(name, sizeof name, "ISO-8859-%u", code_page - 28590);
  } else {
    std::snprintf(name, sizeof name, "CP%u", code_page);
  }
  return name;
}

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    ok_ = reinterpret_cast<std::intptr_t>(cd_) != -1;  // iconv_open fails with (iconv_t)-1
  }
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return ok_; }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
  bool ok_ = false;
};

// Length in bytes of the input unit that could not be converted at `in`: a whole surrogate
// pair or one UTF-16 unit for wide input, one byte for 8-bit input.
using SkipFn = std::size_t (*)(const char* in, std::size_t left);

std::size_t SkipWide(const char* in, std::size_t left) {
  if (left < 2) return left;
  char16_t first;
  std::memcpy(&first, in, 2);
  if (IsHighSurrogate(first) && left >= 4) {
    char16_t second;
    std::memcpy(&second, in + 2, 2);
    if (IsLowSurrogate(second)) return 4;
  }
  return 2;
}

std::size_t SkipByte(const char* /*in*/, std::size_t left) {
  return left > 0 ? 1 : 0;
}

// Converts `size` bytes; each unit that cannot be converted becomes `replacement`.
std::string Convert(const char* to, const char* from, const char* data, std::size_t size,
                    SkipFn skip, std::string_view replacement) {
  std::string out;
  if (size == 0) return out;
  Converter cv(to, from);
  if (!cv.ok()) {
    // No converter on this system: every unit becomes the replacement.
    for (std::size_t at = 0; at < size;) {
      out += replacement;
      at += skip(data + at, size - at);
    }
    return out;
  }
  out.resize(size * 2 + 8);
  auto* in = const_cast<char*>(data);  // iconv's interface is not const-correct
  std::size_t in_left = size;
  std::size_t used = 0;
  while (in_left > 0) {
    char* dst = out.data() + used;
    std::size_t out_left = out.size() - used;
    const std::size_t rc = iconv(cv.get(), &in, &in_left, &dst, &out_left);
    used = out.size() - out_left;
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ (not representable or malformed) or EINVAL (cut at the end): replace one unit.
    if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + replacement.size());
    std::memcpy(out.data() + used, replacement.data(), replacement.size());
    used += replacement.size();
    const std::size_t step = skip(in, in_left);
    in += step;
    in_left -= step;
    iconv(cv.get(), nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(used);
  return out;
}

std::basic_string<OLECHAR> BytesToWide(const std::string& bytes) {
  std::basic_string<OLECHAR> wide(bytes.size() / sizeof(OLECHAR), u'\0');
  std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(OLECHAR));
  return wide;
}

// Plain ASCII is the same in every encoding here and most texts are nothing else: it is copied
// unit by unit without a converter.
template <class Unit>
bool AllAscii(const Unit* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (static_cast<std::make_unsigned_t<Unit>>(text[i]) >= 0x80) return false;
  }
  return true;
}

template <class Out, class Unit>
Out Widened(const Unit* text, std::size_t length) {
  Out out(length, typename Out::value_type{});
  for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<typename Out::value_type>(text[i]);
  return out;
}

const std::string_view kWideQuestion{std::endian::native == std::endian::little ? "?\0" : "\0?", 2};

}  // namespace

std::size_t WideToPrinterExact(const OLECHAR* text, std::size_t length, std::string& out) {
  out.assign(length, '\0');  // one byte a character
  if (text == nullptr || length == 0) return length;
  if (AllAscii(text, length)) {
    out = Widened<std::string>(text, length);
    return length;
  }
  Converter cv(IconvName(PrinterCodePage()).c_str(), kWide);
  if (!cv.ok()) return 0;
  auto* in = reinterpret_cast<char*>(const_cast<OLECHAR*>(text));  // iconv is not const-correct
  std::size_t in_left = length * sizeof(OLECHAR);
  char* dst = out.data();
  std::size_t out_left = out.size();
  const std::size_t rc = iconv(cv.get(), &in, &in_left, &dst, &out_left);
  if (rc == static_cast<std::size_t>(-1) || in_left != 0 || out_left != 0) {
    return (length * sizeof(OLECHAR) - in_left) / sizeof(OLECHAR);
  }
  return length;
}

std::string WideToPrinter(const OLECHAR* text, std::size_t length) {
  if (text == nullptr) return {};
  if (AllAscii(text, length)) return Widened<std::string>(text, length);
  return Convert(IconvName(PrinterCodePage()).c_str(), kWide, reinterpret_cast<const char*>(text),
                 length * sizeof(OLECHAR), SkipWide, "?");
}

std::basic_string<OLECHAR> PrinterToWide(std::string_view text) {
  if (AllAscii(text.data(), text.size())) {
    return Widened<std::basic_string<OLECHAR>>(text.data(), text.size());
  }
  return BytesToWide(Convert(kWide, IconvName(PrinterCodePage()).c_str(), text.data(), text.size(),
                             SkipByte, kWideQuestion));
}

std::basic_string<OLECHAR> Utf8ToWide(std::string_view text) {
  if (AllAscii(text.data(), text.size())) {
    return Widened<std::basic_string<OLECHAR>>(text.data(), text.size());
  }
  return BytesToWide(Convert(kWide, kUtf8, text.data(), text.size(), SkipByte, kWideQuestion));
}

std::string WideToUtf8(const OLECHAR* text, std::size_t length) {
  if (text == nullptr) return {};
  if (AllAscii(text, length)) return Widened<std::string>(text, length);
  return Convert(kUtf8, kWide, reinterpret_cast<const char*>(text), length * sizeof(OLECHAR),
                 SkipWide, "?");
}

}  // namespace molvex
