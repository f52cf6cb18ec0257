// Port numbers to device names and baud rates to termios speeds.
#include "platform/posix/serial_device.h"

#include <termios.h>

#include <cstdlib>

namespace molvex {

std::string SerialDevicePath(std::int32_t port) {
  if (port < 1) return {};
  const std::string variable = "MOLVEXECR_COM" + std::to_string(port);
  const char* chosen = std::getenv(variable.c_str());
  if (chosen != nullptr && chosen[0] != '\0') return chosen;
  return "/dev/ttyS" + std::to_string(static_cast<std::int64_t>(port) - 1);
}

bool SerialSpeedFor(std::int32_t baud, unsigned& speed) {
  struct Rate {
    std::int32_t baud;
    speed_t speed;
  };
  static constexpr Rate kRates[] = {
      {50, B50},         {75, B75},     {110, B110},   {134, B134},     {150, B150},
      {200, B200},       {300, B300},   {600, B600},   {1200, B1200},   {1800, B1800},
      {2400, B2400},     {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400},
#ifdef B57600
      {57600, B57600},
#endif
#ifdef B115200
      {115200, B115200},
#endif
#ifdef B230400
      {230400, B230400},
#endif
#ifdef B460800
      {460800, B460800},
#endif
#ifdef B921600
      {921600, B921600},
#endif
  };
  for (const Rate& rate : kRates) {
    if (rate.baud == baud) {
      speed = static_cast<unsigned>(rate.speed);
      return true;
    }
  }
  return false;
}

}  // namespace molvex
