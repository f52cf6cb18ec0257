// Text at the automation boundary: BSTR parameters to the printer's 8-bit text and back
// (system ANSI code page on Windows, Windows-1251 elsewhere).
#pragma once

#include <string>
#include <string_view>

#include "platform/automation.h"

namespace molvex {

// The 8-bit text of a BSTR; a null or empty BSTR gives empty text. Unconvertible characters
// become "?".
std::string ToAnsi(BSTR text);

// A new BSTR with the wide text of `text`; the caller owns it. Throws ObjectError when no
// memory is left for it.
BSTR ToBstr(std::string_view text);

}  // namespace molvex
