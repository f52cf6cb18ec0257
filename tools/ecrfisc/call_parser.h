// One line of the client's input -> the slot it calls and its typed in-arguments.
//   Name arg arg ...     a method, or a property read when Name is a property and no args follow
//   Name = value         a property write (also Name=value)
// Texts are quoted when they hold blanks ("" is the empty text; \" and \\ inside quotes).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "object/interface_table.h"

namespace molvex::ecrfisc {

// The value of one parameter: `integer` for INT, I4, I1, UI1 and BOOL (-1 or 0), `real` for R8,
// `text` (UTF-8) for BSTR. Out-parameters keep the defaults.
struct ArgValue {
  std::int64_t integer = 0;
  double real = 0.0;
  std::string text;
};

struct ParsedCall {
  bool blank = false;  // empty line or comment: nothing to run
  std::string name;    // the entry's name as the table spells it, else as typed
  const SlotInfo* slot = nullptr;
  std::vector<ArgValue> args;  // one per parameter of the slot
  std::string error;           // not empty: the line cannot be run
};

ParsedCall ParseCall(std::string_view line);

// A line may say what its call should give after "=>" (outside quotes), in the words of the
// result line: "SellArtCash true 1 2 0 0 => Result = true". `call` is the line before it;
// `expected` the words after it, blanks around them dropped (empty when there is no "=>").
struct CallLine {
  std::string_view call;
  std::string_view expected;
  bool has_expected = false;
};
CallLine SplitExpected(std::string_view line);

// Parses one in-argument of this type; on failure returns false with a reason in `error`.
bool ParseArg(std::string_view token, AutoType type, ArgValue& value, std::string& error);

}  // namespace molvex::ecrfisc
