// The printer port as the link sees it: a byte stream with a 100 ms read time-out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace molvex {

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

// Opens a channel for a port number at a baud rate (8N1), or returns nullptr.
// The factory owns what it returns; ByteChannel::Close hands it back.
class PortFactory {
 public:
  virtual ~PortFactory() = default;
  virtual ByteChannel* Open(std::int32_t port, std::int32_t baud) = 0;
};

// The platform's serial ports: /dev/ttyS<n-1> (or $MOLVEXECR_COM<n>) on POSIX, \\.\COM<n> on
// Windows.
PortFactory& SerialPortFactory();

}  // namespace molvex
