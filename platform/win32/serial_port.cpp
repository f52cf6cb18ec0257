// The Windows serial port: \\.\COM<n>, 8N1 at the caller's baud rate, 100 ms one-byte reads.
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "link/link.h"
#include "platform/byte_channel.h"

namespace molvex {

namespace {

constexpr DWORD kDriverBufferSize = 1024;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;  // 15
constexpr DWORD kPurgeBuffers = PURGE_TXCLEAR | PURGE_RXCLEAR;                              // 12
constexpr SIZE_T kReceiverLockSize = 8192;

class Win32SerialPort final : public ByteChannel {
 public:
  bool Open(std::int32_t port, std::int32_t baud) {
    // Keep the reply receiver's code resident, so that reading a byte never waits for paging.
    VirtualLock(reinterpret_cast<LPVOID>(reinterpret_cast<std::uintptr_t>(&PrnReceiveByte)),
                kReceiverLockSize);

    char device[32];
    std::snprintf(device, sizeof device, "\\\\.\\COM%d", static_cast<int>(port));
    HANDLE handle =
        CreateFileA(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;

    // A driver that refuses the buffer sizes or the line settings keeps its own; only the
    // time-outs decide, since every read of the link depends on them.
    SetupComm(handle, kDriverBufferSize, kDriverBufferSize);
    DCB line{};
    line.DCBlength = sizeof line;
    if (GetCommState(handle, &line)) {
      line.BaudRate = static_cast<DWORD>(baud);
      line.ByteSize = 8;
      line.Parity = NOPARITY;
      line.StopBits = ONESTOPBIT;
      SetCommState(handle, &line);
    }
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 100;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(handle, &timeouts)) {
      CloseHandle(handle);  // not left holding the device when the open fails
      return false;
    }
    PurgeComm(handle, kPurgeAll);
    handle_ = handle;
    return true;
  }

  bool Write(const std::uint8_t* data, std::size_t size) override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    std::size_t done = 0;
    while (done < size) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(size - done);
      if (!WriteFile(handle_, data + done, chunk, &written, nullptr) || written == 0) return false;
      done += written;
    }
    return true;
  }

  void Flush() override {
    if (handle_ != INVALID_HANDLE_VALUE) FlushFileBuffers(handle_);
  }

  void Discard() override {
    if (handle_ != INVALID_HANDLE_VALUE) PurgeComm(handle_, kPurgeBuffers);
  }

  ReadStatus ReadByte(std::uint8_t& byte) override {
    if (handle_ == INVALID_HANDLE_VALUE) return ReadStatus::Error;
    DWORD got = 0;
    if (!ReadFile(handle_, &byte, 1, &got, nullptr)) return ReadStatus::Error;
    return got == 1 ? ReadStatus::Byte : ReadStatus::Timeout;
  }

  void ClearError() override {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    if (GetLastError() != 0) {
      DWORD errors = 0;
      COMSTAT state{};
      ClearCommError(handle_, &errors, &state);
    }
  }

  void Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    FlushFileBuffers(handle_);
    PurgeComm(handle_, kPurgeAll);
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

  std::int32_t Handle() const override {
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(handle_));
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

class Win32SerialPorts final : public PortFactory {
 public:
  ByteChannel* Open(std::int32_t port, std::int32_t baud) override {
    port_.Close();  // one port per process: the old handle is released first
    if (!port_.Open(port, baud)) return nullptr;
    return &port_;
  }

 private:
  Win32SerialPort port_;
};

}  // namespace

PortFactory& SerialPortFactory() {
  static Win32SerialPorts ports;
  return ports;
}

}  // namespace molvex
