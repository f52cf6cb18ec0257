// What a process says about itself: its identifier, and a notice for the people who run it
// when something it was asked to do cannot be done (a server has no console of its own).
#pragma once

#include <cstdint>
#include <string_view>

namespace molvex {

// The operating system's identifier of this process.
std::int64_t CurrentProcessId();

// One line for whoever watches the process: standard error, and on Windows the debugger
// output as well (a COM server's standard error usually goes nowhere).
void WriteNotice(std::string_view text);

}  // namespace molvex
