// The control interface of the virtual printer as text commands, one per line (the control file
// of ecr-sim and tests use the same words).
#pragma once

#include <string>

#include "tools/sim/virtual_printer.h"

namespace molvex::sim {

// Applies one command line; returns an empty text on success, else what is wrong with it.
// Blank lines and lines starting with '#' are accepted and do nothing.
std::string ApplyControl(VirtualPrinter& printer, const std::string& line);

}  // namespace molvex::sim
