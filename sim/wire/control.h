// Private to sim/.
// The control interface of the virtual printer as text commands, one per line (the control file
// of ecr-sim and tests use the same words).
#pragma once

#include <string>

#include "sim/wire/virtual_printer.h"

namespace molvex::sim {

// Applies one command line; returns an empty text on success, else what is wrong with it.
// Blank lines and lines starting with '#' are accepted and do nothing.
std::string ApplyControl(VirtualPrinter& printer, const std::string& line);

// Programs one article as if keyed in on the printer (ecr-sim --article):
// "NUMBER,TAX,GROUP,PRICE,NAME" with TAX one of the letters А..Д, PRICE with "." and two
// decimals at most, NAME in UTF-8 (no comma). The rules of command 107 apply. Returns an empty
// text on success, else what is wrong.
std::string KeyInArticle(Device& device, const std::string& text);

}  // namespace molvex::sim
