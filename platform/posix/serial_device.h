// Which device a port number names on POSIX systems, and which line speed a baud rate is.
#pragma once

#include <cstdint>
#include <string>

namespace molvex {

// "/dev/ttyS<n-1>" (the way Wine maps COMn), or the value of $MOLVEXECR_COM<n> when that is set
// and not empty. Empty for port numbers below 1.
std::string SerialDevicePath(std::int32_t port);

// The termios speed constant for a baud rate; false when the platform has none for it.
bool SerialSpeedFor(std::int32_t baud, unsigned& speed);

}  // namespace molvex
