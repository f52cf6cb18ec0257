// Private to object/.
// Text at the automation boundary: BSTR parameters to the printer's 8-bit text and back, in the
// printer's code page (Windows-1251 unless the settings name another), whatever the system's.
// Client texts bound for the printer go through ClientText (call_pattern.h), which refuses what
// the printer cannot take; ToAnsi is the lenient conversion for what is only shown (the trace).
#pragma once

#include <string>
#include <string_view>

#include "platform/automation.h"

namespace molvex {

// The 8-bit text of a BSTR; a null or empty BSTR gives empty text. Characters the code page
// lacks become "?".
std::string ToAnsi(BSTR text);

// A new BSTR with the wide text of `text`; the caller owns it. Throws ObjectError when no
// memory is left for it.
BSTR ToBstr(std::string_view text);

}  // namespace molvex
