// Which device a port number names on POSIX systems, which line speed a baud rate is, and why
// a device could not be opened.
#pragma once

#include <cstdint>
#include <string>

#include "platform/byte_channel.h"

namespace molvex {

// "/dev/ttyS<n-1>" (the way Wine maps COMn), or the value of $MOLVEXECR_COM<n> when that is set
// and not empty. Empty for port numbers below 1.
std::string SerialDevicePath(std::int32_t port);

// The termios speed constant for a baud rate; false when the platform has none for it.
bool SerialSpeedFor(std::int32_t baud, unsigned& speed);

// Fills `error` for the failed open of `device` with errno value `err`: the reason, the
// system's words, the device's group when permission was denied (if its members may read and
// write it), and the program that holds it when it is in use (Linux: the holder of its lock,
// or else a process that has it open).
void DescribeOpenFailure(const std::string& device, int err, PortOpenError& error);

}  // namespace molvex
