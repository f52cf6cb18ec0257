// Serial devices by name: which device a port number opens, which serial devices the machine
// has, and an open of one device apart from the process's one port (for a search).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_channel.h"

namespace molvex {

// The device a port number opens, and the variable that named it (empty for the default name).
// POSIX: /dev/ttyS<n-1>, or $MOLVEXECR_COM<n> when that is set and not empty. Windows:
// \\.\COM<n>. Empty path for port numbers below 1.
struct PortDevice {
  std::string path;
  std::string mapping;
};
PortDevice SerialPortDevice(std::int32_t port);

// A serial device of the machine and the port numbers that open it (none: it has no number,
// a MOLVEXECR_COM<n> mapping would give it one).
struct SerialDeviceEntry {
  std::string path;
  std::vector<std::int32_t> ports;  // ascending
  std::string mapping;              // the variable of the first port, when a mapping names it
};

// Every serial device once. POSIX: the MOLVEXECR_COM<n> mappings and the ttyS*, ttyUSB* and
// ttyACM* devices in `dir` ("/dev" on a machine; a test passes a folder of its own), numbered
// ports first. Windows: the COM ports the system lists (`dir` is not used).
std::vector<SerialDeviceEntry> ListSerialDevices(const std::string& dir);

// Opens `device` at `baud` with the line settings and read time-out of SerialPortFactory(),
// exclusively, without touching the process's one port. nullptr and `error` filled when the
// device cannot be opened.
std::unique_ptr<ByteChannel> OpenSerialDevice(const std::string& device, std::int32_t baud,
                                              PortOpenError& error);

}  // namespace molvex
