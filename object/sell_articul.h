// Private to object/.
// The pieces of SellArticul that tests reach directly: the printed article name and the 16-bit
// description value that gives the first article number to look at.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/command_codes.h"

namespace molvex {

// Article numbers SellArticul may use: 1..kArticleTableSize, all the printer has.
constexpr std::int32_t kArticleTableSize = kPrnArticleCount;

// The client's name as the printer gets it: at most 48 characters, and a TAB after the 24th
// when longer, so that it prints on two lines of at most 24.
std::string ArticleName(std::string name);

// The 16-bit value of a description text (up to its first zero byte): a shift register of two
// bytes H and L, fed one byte b at a time with the parity fold P of H:
// H, L = L ^ ((P & 1) << 7), b ^ P. ABC gives 0x423D.
std::uint16_t DescriptionValue(std::string_view text);

}  // namespace molvex
