// The printer port as the link sees it: a byte stream with a 100 ms read time-out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace molvex {

// A write that cannot go out within this fails (a line held up by the device or the driver).
constexpr int kPortWriteTimeoutMs = 5000;

// Outcome of a one-byte read.
enum class ReadStatus {
  Byte,     // one byte was delivered
  Timeout,  // nothing arrived within 100 ms
  Error,    // the read failed at once (closed or broken port)
};

class ByteChannel {
 public:
  virtual ~ByteChannel() = default;

  // Writes the whole block; false when the write failed.
  virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
  // Waits until the written bytes have left.
  virtual void Flush() = 0;
  // Drops pending input and output.
  virtual void Discard() = 0;
  // Reads one byte: returns as soon as one arrives, or Timeout after 100 ms.
  virtual ReadStatus ReadByte(std::uint8_t& byte) = 0;
  // Clears the error state after a failed read.
  virtual void ClearError() = 0;
  // Releases the device; the channel is not used again until reopened.
  virtual void Close() = 0;
  // A small positive number that identifies the open device (the port handle).
  virtual std::int32_t Handle() const = 0;
};

// Why a port could not be opened, in the system's terms. It travels beside the results of the
// entries (which only say -1) to the people who read them.
enum class PortFailure {
  None,          // opened, or the factory cannot tell
  NoSuchDevice,  // the device does not exist
  NoHardware,    // the device exists, but no serial port is behind it
  NoPermission,  // this user may not open it
  InUse,         // another program holds it
  NotSerial,     // it opens, but has no line settings (not a serial device)
  BadSpeed,      // the platform has no such line speed
  Other,         // any other failure of the system
};

struct PortOpenError {
  PortFailure reason = PortFailure::None;
  std::string device;       // the device tried: "/dev/ttyS4", "\\.\COM5"
  std::string mapping;      // the variable that named the device ("MOLVEXECR_COM5"), if one did
  int system_code = 0;      // errno, or GetLastError() on Windows
  std::string system_text;  // the system's own words for system_code, UTF-8
  std::string group;        // NoPermission: the group the device belongs to (POSIX)
  std::string holder;       // InUse: the program that holds it, when it can be found
};

// Opens a channel for a port number at a baud rate (8N1), or returns nullptr.
// The factory owns what it returns; ByteChannel::Close hands it back.
class PortFactory {
 public:
  virtual ~PortFactory() = default;
  virtual ByteChannel* Open(std::int32_t port, std::int32_t baud) = 0;
  // Why the last Open returned nullptr; reason None after one that succeeded, or when the
  // factory cannot tell.
  virtual PortOpenError LastOpenError() const { return {}; }
};

// The platform's serial ports: /dev/ttyS<n-1> (or $MOLVEXECR_COM<n>) on POSIX, \\.\COM<n> on
// Windows.
PortFactory& SerialPortFactory();

}  // namespace molvex
