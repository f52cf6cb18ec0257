// Text conversion between the interface's wide strings and the printer's 8-bit text. The 8-bit
// side is the system ANSI code page on Windows and Windows-1251 elsewhere. A character the
// target cannot hold becomes "?"; malformed input never stops a conversion or throws anything
// but std::bad_alloc.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/automation.h"

namespace molvex {

// Wide text (`length` units, zeros included) to 8-bit text.
std::string WideToAnsi(const OLECHAR* text, std::size_t length);
// 8-bit text to wide text.
std::basic_string<OLECHAR> AnsiToWide(std::string_view text);

// UTF-8 to and from wide text, for clients that speak UTF-8 (the command-line client, tests).
std::basic_string<OLECHAR> Utf8ToWide(std::string_view text);
std::string WideToUtf8(const OLECHAR* text, std::size_t length);

}  // namespace molvex
