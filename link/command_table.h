// Private to link/.
// The rows of link/commands.def as constants: what the link knows of each printer command.
#pragma once

#include <cstdint>

#include "link/commands.h"

// What the decoder does to a reply longer than one character before it splits it.
enum class PrnFixUp : std::uint8_t {
  None,
  FirstCharField,  // a one-character code glued to an amount: a comma after the first character
  DateTimeFields,  // date and time: the ninth character becomes a comma
  SpacesToCommas,  // spaces among the first 20 characters become commas
};

struct PrnCommandRow {
  const char* utf8;    // the Russian name
  const char* cp1251;  // the same, Windows-1251
  std::int32_t code;
  PrnPasswordPlace passwords;  // where its passwords stand, unless by_article_operation
  bool listed;                 // PrnCommandName names it (else "Неверная команда")
  bool by_article_operation;   // passwords found by the operation letter of command 107
  PrnFixUp fix_up;
};

// The row of `command`, or nullptr for a code without one.
const PrnCommandRow* PrnCommandRowOf(std::int32_t command);
