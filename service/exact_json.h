// JSON of a request body, read so that no number passes through binary floating point: a number
// with a fraction or an exponent keeps its literal text (a binary value of subtype
// kDecimalSubtype), integers are integers. Amounts are then read from that text, or from a
// string, exactly: an integer count of hundredths (or thousandths for quantities).
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace molvex::service {

using Json = nlohmann::json;

inline constexpr std::uint8_t kDecimalSubtype = 0x44;
// Nesting deeper than this is refused.
inline constexpr std::size_t kMaxJsonDepth = 32;

// Parses `text`; on failure returns nullopt with a sentence in `error`.
std::optional<Json> ParseExactJson(std::string_view text, std::string& error);

// The literal text of a number kept by ParseExactJson (or of an integer); empty for others.
std::string NumberText(const Json& value);

// The JSON as the journal keeps it: keys sorted, no blanks, numbers as given.
std::string CanonicalJson(const Json& value);

// A decimal text with at most `decimals` digits after the point ("12", "12.5", "-0.10"; no
// exponent, no blanks, no "+") as an integer of 10^-decimals units; nullopt when it is none or
// its magnitude exceeds `limit` units.
std::optional<std::int64_t> ParseDecimal(std::string_view text, int decimals, std::int64_t limit);

// `units` of 10^-decimals as text with exactly `decimals` digits after the point: 1250 -> "12.50".
std::string FormatDecimal(std::int64_t units, int decimals);

// The double nearest to units * 10^-decimals. Formatted with `decimals` digits after the point
// (as the object formats every amount for the printer) it gives exactly the same digits back for
// every magnitude below 2^53 units.
double DecimalToDouble(std::int64_t units, int decimals);

// An amount the printer reported as the double nearest to its decimal text, back to units.
std::int64_t DoubleToUnits(double value, int decimals);

}  // namespace molvex::service
