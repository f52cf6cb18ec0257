// Text conversion between the interface's wide strings and the printer's 8-bit text. The 8-bit
// side is the printer's code page: Windows-1251 unless SetPrinterCodePage named another, on every
// system and whatever the ANSI code page of the Windows it runs on. The lenient conversions
// replace a character the target cannot hold with "?"; malformed input never stops a conversion
// or throws anything but std::bad_alloc.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/automation.h"

namespace molvex {

// The code page of the printer this driver was made for.
inline constexpr unsigned kDefaultPrinterCodePage = 1251;

// True for the code pages the printer's text may be kept in: single-byte code pages (one byte a
// character) that this system can convert. Windows numbers: 437, 850, 852, 855, 857, 860 to 866,
// 869, 874, 1250 to 1258, 20866 (KOI8-R), 21866 (KOI8-U), 28591 to 28599, 28603 and 28605
// (ISO 8859).
bool CodePageKnown(unsigned code_page);

// Makes `code_page` the printer's code page for every conversion after it. An unknown one is
// kept all the same (PrinterCodePageKnown tells), so that texts can be refused with its number
// instead of being sent in a code page the printer does not use; the lenient conversions then
// use Windows-1251. Process-wide; the object sets it when it reads its settings.
void SetPrinterCodePage(unsigned code_page);
unsigned PrinterCodePage();
bool PrinterCodePageKnown();

// Wide text to the printer's bytes without any replacement: one byte a character. Returns the
// index (in units) of the first unit the code page cannot hold (a character it lacks, a lone
// surrogate, a surrogate pair) and leaves `out` unspecified; returns `length` when all of it
// converted. Needs a known printer code page.
std::size_t WideToPrinterExact(const OLECHAR* text, std::size_t length, std::string& out);

// Wide text (`length` units, zeros included) to the printer's 8-bit text, "?" for what it lacks.
std::string WideToPrinter(const OLECHAR* text, std::size_t length);
// The printer's 8-bit text to wide text; a byte the code page does not define becomes "?".
std::basic_string<OLECHAR> PrinterToWide(std::string_view text);

// UTF-8 to and from wide text, for clients that speak UTF-8 (the command-line client, tests).
std::basic_string<OLECHAR> Utf8ToWide(std::string_view text);
std::string WideToUtf8(const OLECHAR* text, std::size_t length);

#ifdef _WIN32
// Wide text to the system's ANSI code page: only for names the C library opens (file names).
std::string WideToSystemAnsi(const OLECHAR* text, std::size_t length);
#endif

}  // namespace molvex
