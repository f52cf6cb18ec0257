// The Windows serial port: \\.\COM<n>, 8N1 at the caller's baud rate without flow control,
// 100 ms one-byte reads, writes that fail after kPortWriteTimeoutMs.
// Also the COM ports the system lists and the reasons of a failed open.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/byte_channel.h"
#include "platform/serial_ports.h"
#include "platform/text_codec.h"
#include "platform/win32/serial_line.h"

namespace molvex {

namespace {

constexpr DWORD kDriverBufferSize = 1024;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;  // 15
constexpr DWORD kPurgeBuffers = PURGE_TXCLEAR | PURGE_RXCLEAR;                              // 12

// The system's words for an error code, in UTF-8 without the line end.
std::string SystemText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = n > 0 ? WideToUtf8(text, n) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!out.empty() &&
         (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.')) {
    out.pop_back();
  }
  return out.empty() ? "error " + std::to_string(code) : out;
}

PortFailure FailureFor(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return PortFailure::NoSuchDevice;
    // A COM port opened by another program answers "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return PortFailure::InUse;
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NOT_READY:
      return PortFailure::NoHardware;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
      return PortFailure::NotSerial;
    default:
      return PortFailure::Other;
  }
}

void Describe(const std::string& device, DWORD code, PortOpenError& error) {
  error.device = device;
  error.reason = FailureFor(code);
  error.system_code = static_cast<int>(code);
  error.system_text = SystemText(code);
}

std::string DeviceName(std::int32_t port) {
  return "\\\\.\\COM" + std::to_string(port);
}

class Win32SerialPort final : public ByteChannel {
 public:
  Win32SerialPort() = default;
  ~Win32SerialPort() override { Release(); }
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  // Taken by an open of the factory until Close hands it back (read by other threads' opens).
  bool TryTake() { return !held_.exchange(true); }
  void HandBack() { held_ = false; }

  bool Open(const std::string& device, std::int32_t baud, PortOpenError& error) {
    HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      Describe(device, GetLastError(), error);
      return false;
    }

    // A driver that refuses the buffer sizes keeps its own. The line settings and the time-outs
    // decide: a port that does not take them is no port the link can use.
    SetupComm(handle, kDriverBufferSize, kDriverBufferSize);
    DCB line{};
    line.DCBlength = sizeof line;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 100;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = kPortWriteTimeoutMs;
    bool ready = GetCommState(handle, &line) != FALSE;
    if (ready) {
      SetRawSerialLine(line, baud);
      ready = SetCommState(handle, &line) && SetCommTimeouts(handle, &timeouts);
    }
    if (!ready) {
      Describe(device, GetLastError(), error);
      CloseHandle(handle);  // not left holding the device when the open fails
      return false;
    }
    PurgeComm(handle, kPurgeAll);
    handle_ = handle;
    return true;
  }

  bool Write(const std::uint8_t* data, std::size_t size) override {
    if (handle_ == INVALID_HANDLE_VALUE || size > MAXDWORD) return false;
    DWORD written = 0;
    // Fewer bytes than asked: the write time-out passed with the line held up.
    return WriteFile(handle_, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
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

  void Close() override { Release(); }

  std::int32_t Handle() const override {
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(handle_));
  }

 private:
  void Release() {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    FlushFileBuffers(handle_);
    PurgeComm(handle_, kPurgeAll);
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    HandBack();
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::atomic<bool> held_{false};
};

// Each open gets a port of its own, so that one process can drive several printers, each link
// on its own device; a link closes its port before it opens another. A closed port is used
// again by a later open. Opens from several threads are serialised; why an open failed is kept
// for the thread that asked.
class Win32SerialPorts final : public PortFactory {
 public:
  ByteChannel* Open(std::int32_t port, std::int32_t baud) override {
    PortOpenError& error = LastError();
    error = PortOpenError{};
    const std::lock_guard<std::mutex> hold(mutex_);
    Win32SerialPort* free_port = nullptr;
    for (const auto& p : ports_) {
      if (p->TryTake()) {
        free_port = p.get();
        break;
      }
    }
    if (free_port == nullptr) {
      free_port = ports_.emplace_back(new Win32SerialPort).get();
      free_port->TryTake();
    }
    if (!free_port->Open(DeviceName(port), baud, error)) {
      free_port->HandBack();
      return nullptr;
    }
    return free_port;
  }

  PortOpenError LastOpenError() const override { return LastError(); }

 private:
  static PortOpenError& LastError() {
    thread_local PortOpenError error;
    return error;
  }

  std::mutex mutex_;
  std::vector<std::unique_ptr<Win32SerialPort>> ports_;
};

// "COM<n>" to n; 0 for any other name.
std::int32_t ComNumber(const std::wstring& name) {
  if (name.size() < 4 || name.size() > 12 || name.compare(0, 3, L"COM") != 0) return 0;
  std::int64_t n = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (name[i] < L'0' || name[i] > L'9') return 0;
    n = n * 10 + (name[i] - L'0');
  }
  return n >= 1 && n <= INT32_MAX ? static_cast<std::int32_t>(n) : 0;
}

// The COM ports under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (one value a port, its data "COM<n>").
std::vector<std::int32_t> RegistryComPorts() {
  std::vector<std::int32_t> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return ports;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD name_size = 256;
    wchar_t data[64] = {};
    DWORD data_size = sizeof data - sizeof(wchar_t);  // room for a terminating zero
    DWORD type = 0;
    const LONG got = RegEnumValueW(key, i, name, &name_size, nullptr, &type,
                                   reinterpret_cast<BYTE*>(data), &data_size);
    if (got == ERROR_NO_MORE_ITEMS) break;
    if (got != ERROR_SUCCESS || type != REG_SZ) continue;
    if (const std::int32_t n = ComNumber(data)) ports.push_back(n);
  }
  RegCloseKey(key);
  return ports;
}

// The COM device names the system knows (QueryDosDevice).
std::vector<std::int32_t> DosDeviceComPorts() {
  std::vector<std::int32_t> ports;
  std::vector<wchar_t> names(65536);
  const DWORD n = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
  for (DWORD i = 0; i < n && names[i] != L'\0';) {
    const std::wstring name(&names[i]);
    if (const std::int32_t number = ComNumber(name)) ports.push_back(number);
    i += static_cast<DWORD>(name.size()) + 1;
  }
  return ports;
}

}  // namespace

PortFactory& SerialPortFactory() {
  static Win32SerialPorts ports;
  return ports;
}

PortDevice SerialPortDevice(std::int32_t port) {
  if (port < 1) return {};
  return {DeviceName(port), {}};
}

std::vector<SerialDeviceEntry> ListSerialDevices(const std::string& /*dir*/) {
  // Either list may miss a port the other has (a driver that writes no registry value, a
  // device name made by hand): both together.
  std::vector<std::int32_t> ports = RegistryComPorts();
  const std::vector<std::int32_t> named = DosDeviceComPorts();
  ports.insert(ports.end(), named.begin(), named.end());
  std::sort(ports.begin(), ports.end());
  ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
  std::vector<SerialDeviceEntry> out;
  for (const std::int32_t n : ports) out.push_back({DeviceName(n), {n}, {}});
  return out;
}

std::unique_ptr<ByteChannel> OpenSerialDevice(const std::string& device, std::int32_t baud,
                                              PortOpenError& error) {
  error = PortOpenError{};
  auto port = std::make_unique<Win32SerialPort>();
  if (!port->Open(device, baud, error)) return nullptr;
  return port;
}

}  // namespace molvex
