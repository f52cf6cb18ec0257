// ecr-sim on Windows: the virtual printer on a COM port (a null-modem pair or a port mapped by
// Wine), 8N1 at the --baud speed.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/serial_line.h"
#include "sim/host/host.h"
#include "sim/wire/virtual_printer.h"

namespace molvex::sim {
namespace {

std::atomic<bool> stop_requested{false};

BOOL WINAPI OnConsoleEvent(DWORD) {
  stop_requested = true;
  return TRUE;
}

// A read returns what has arrived at once, or waits up to `ms` for the first byte.
bool SetReadWait(HANDLE port, DWORD ms) {
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = ms;
  timeouts.WriteTotalTimeoutConstant = 1000;
  return SetCommTimeouts(port, &timeouts) != 0;
}

HANDLE OpenComPort(const std::string& name, int baud) {
  const std::string path = "\\\\.\\" + name;
  HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (port == INVALID_HANDLE_VALUE) return port;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port, &dcb)) {
    CloseHandle(port);
    return INVALID_HANDLE_VALUE;
  }
  SetRawSerialLine(dcb, baud > 0 ? baud : CBR_115200);
  if (!SetCommState(port, &dcb) || !SetReadWait(port, 50)) {
    CloseHandle(port);
    return INVALID_HANDLE_VALUE;
  }
  PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
  return port;
}

}  // namespace

int RunHost(const HostOptions& options) {
  if (!options.link.empty() || options.device.empty()) {
    std::fprintf(stderr, "ecr-sim: on Windows give --device COMn\n");
    return 2;
  }
  VirtualPrinter printer(SystemClock(), PrinterOptions{options.busy_scale, options.baud});
  if (!PreparePrinter(printer, options)) return 1;

  HANDLE port = OpenComPort(options.device, options.baud);
  if (port == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "ecr-sim: cannot open %s (error %lu)\n", options.device.c_str(),
                 static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);

  ControlFile control(options.control);
  AnnounceListening(options.device, options);

  std::uint8_t buffer[512];
  std::vector<std::uint8_t> out;
  DWORD wait_set = 50;
  while (!stop_requested) {
    // 0 would make the read wait for ever with these time-outs.
    const DWORD wait_ms = static_cast<DWORD>(std::max(1, WaitMs(printer, HostNowNs())));
    if (wait_ms != wait_set && SetReadWait(port, wait_ms)) wait_set = wait_ms;
    DWORD got = 0;
    const BOOL read = ReadFile(port, buffer, sizeof buffer, &got, nullptr);
    const std::int64_t now = HostNowNs();
    control.Poll(printer, now, read && got > 0);
    if (read && got > 0) printer.Receive(buffer, got, now);
    TakeDue(printer, now, out);
    DWORD sent = 0;
    while (sent < out.size() && !stop_requested) {
      DWORD w = 0;
      if (!WriteFile(port, out.data() + sent, static_cast<DWORD>(out.size() - sent), &w, nullptr)) {
        break;
      }
      sent += w;
    }
    if (!read) Sleep(10);  // a port in error: do not spin
  }
  CloseHandle(port);
  AnnounceStopped(printer);
  return 0;
}

}  // namespace molvex::sim
