// Private to sim/.
// Small text helpers of the virtual printer: fields, fixed-point numbers, code page, base64, hex.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace molvex::sim {

// Splits at every separator; empty fields count ("a,,b" gives three fields).
std::vector<std::string> SplitFields(const std::string& text, char separator = ',');

// A decimal integer made only of digits (an optional leading minus when allowed); false otherwise.
bool ParseInt(const std::string& text, std::int64_t& value, bool allow_sign = false);

// A fixed-point decimal with at most `decimals` digits after the point, scaled by 10^decimals
// ("12.5" with 2 decimals gives 1250). An optional leading sign. False on anything else.
bool ParseFixed(const std::string& text, int decimals, std::int64_t& value);

// The value scaled by 10^decimals as text with exactly `decimals` decimals ("-12.50").
std::string FormatFixed(std::int64_t value, int decimals);

// Windows-1251 bytes as UTF-8.
std::string Cp1251ToUtf8(const std::string& text);
// UTF-8 as Windows-1251 bytes; false when the text is not UTF-8 or holds a character the code
// page lacks.
bool Utf8ToCp1251(const std::string& text, std::string& out);

std::string Base64Encode(const std::string& bytes);

// Any bytes as upper-case hex digits and back (for the state file).
std::string HexEncode(const std::string& bytes);
bool HexDecode(const std::string& hex, std::string& bytes);

// Pads or cuts to exactly `width` bytes, the text on the left and `right` on the right.
std::string PaperLine(const std::string& left, const std::string& right = "",
                      std::size_t width = 32);

}  // namespace molvex::sim
