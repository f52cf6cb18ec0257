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
  std::int32_t code;
  bool listed;                 // PrnCommandName names it (else "Неверная команда")
  bool by_article_operation;   // passwords found by the operation letter of command 107
  PrnPasswordPlace passwords;  // else: where its passwords stand
  PrnFixUp fix_up;
  const char* utf8;    // the Russian name
  const char* cp1251;  // the same, Windows-1251
};

// The row of `command`, or nullptr for a code without one.
const PrnCommandRow* PrnCommandRowOf(std::int32_t command);
