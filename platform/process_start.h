// Starting an external program without waiting for it.
#pragma once

#include <string>

namespace molvex {

// Starts the program at path (no arguments, the caller's current directory, shown normally)
// and returns at once; true when the system accepted the start.
bool StartProgram(const std::string& path);

}  // namespace molvex
