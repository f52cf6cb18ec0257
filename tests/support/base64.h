// Standard base64 with "=" padding, the form the printer hands the Z data over in; tests and
// the fuzz target check the driver's decoder against it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace testsupport {

inline std::string Base64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  auto byte = [&bytes](std::size_t i) -> std::uint32_t {
    return i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : 0u;
  };
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::uint32_t group = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
  }
  return out;
}

}  // namespace testsupport
