// ecr-sim's serving loop (POSIX): the virtual printer on a pseudo-terminal or a serial device.
#pragma once

#include <optional>
#include <string>

#include "platform/clock.h"

namespace molvex::sim {

struct HostOptions {
  std::string link;    // create a pseudo-terminal and make this path a symlink to it
  std::string device;  // or serve on this existing serial device
  int baud = 0;        // wire model speed; 0: bytes pass as fast as the system moves them
  double busy_scale = 1.0;
  std::string state;    // state file, kept across restarts
  std::string paper;    // UTF-8 file that gets every printed document
  bool show = false;    // printed documents to standard output too
  std::string control;  // control file: one command a line, appended by whoever arms faults
  std::optional<LocalDateTime> fixed_clock;
};

// "fixed:YYYY-MM-DDTHH:MM" or "system"; false when it is neither.
bool ParseClockOption(const std::string& text, std::optional<LocalDateTime>& fixed);

// Runs until SIGINT or SIGTERM; returns the process exit code.
int RunHost(const HostOptions& options);

}  // namespace molvex::sim
