// Starting an external program without waiting for it.
#pragma once

#include <string>

namespace molvex {

enum class ProgramStart {
  Started,  // the system accepted the start
  Missing,  // no file at the path
  Failed,   // a file is there, but the system did not start it
};

// Starts the program at path (no arguments, the caller's current directory, shown normally)
// and returns at once. A relative path is taken against the current directory, never looked up
// along the system's search path.
ProgramStart StartProgram(const std::string& path);

}  // namespace molvex
