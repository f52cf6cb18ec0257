// The printer's command codes and the facts of its data texts that the link's wrappers, the
// entries and the virtual printer share.
#pragma once

#include <cstdint>

// Command codes, decimal as the printer documents them: one row each in link/commands.def.
enum PrnCode : std::int32_t {
#define PRN_COMMAND(name, code, listed, passwords, fix_up, utf8) name = (code),
#include "link/commands.def"
};

// What the printer's data texts hold, shared by the wrappers, the entries and the virtual printer.
constexpr std::int32_t kPrnArticleCount = 14800;  // article numbers 1..14800
// The printer's payment types in its order, as the letters of command 53.
constexpr char kPrnPaymentLetters[] = "PNCDIJ";
constexpr int kPrnPaymentTypes = sizeof kPrnPaymentLetters - 1;
// Tax groups А..Д: the letters' Windows-1251 bytes 0xC0..0xC4.
constexpr std::uint8_t kPrnTaxLetterFirst = 0xC0;
constexpr int kPrnTaxGroups = 5;
constexpr bool PrnIsTaxLetter(std::int64_t value) {
  return value >= kPrnTaxLetterFirst && value < kPrnTaxLetterFirst + kPrnTaxGroups;
}
