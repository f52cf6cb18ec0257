// What ecrfisc says beside a SetComPort that gave -1: the texts for every reason in both port
// styles. (The session's lines: session_test.cpp.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/ecrfisc/port_error.h"

namespace molvex::ecrfisc {
namespace {

PortOpenError Failure(PortFailure reason, std::string device, std::string mapping, int code,
                      std::string words) {
  PortOpenError e;
  e.reason = reason;
  e.device = std::move(device);
  e.mapping = std::move(mapping);
  e.system_code = code;
  e.system_text = std::move(words);
  return e;
}

TEST(PortErrorText, NamesTheDeviceTheReasonAndAnotherDevice) {
  PortOpenError denied =
      Failure(PortFailure::NoPermission, "/dev/ttyS0", "", 13, "Permission denied");
  denied.group = "dialout";
  PortOpenError denied_root = denied;
  denied_root.group = "root";
  PortOpenError held = Failure(PortFailure::InUse, "/dev/ttyUSB0", "MOLVEXECR_COM2", 11,
                               "Resource temporarily unavailable");
  held.holder = "ecr-sim, process 4242";
  const std::vector<std::int32_t> listed = {1, 3, 4};
  struct Case {
    std::int32_t port;
    std::int32_t speed;
    PortOpenError error;
    PortStyle style;
    std::string text;
  };
  const std::string posix_other =
      "Name another device for port 5 with MOLVEXECR_COM5=/dev/ttyUSB0 (the printer's device), "
      "or look for the printer with: ecrfisc --find";
  const std::string windows_other =
      "This computer lists COM1, COM3 and COM4: give one of them with --port, or look for the "
      "printer with: ecrfisc --find";
  const Case cases[] = {
      {5, 9600,
       Failure(PortFailure::NoSuchDevice, "/dev/ttyS4", "", 2, "No such file or directory"),
       PortStyle::Posix,
       "port 5 is /dev/ttyS4: no such device (No such file or directory). " + posix_other},
      {5, 9600,
       Failure(PortFailure::NoSuchDevice, "/tmp/gone", "MOLVEXECR_COM5", 2,
               "No such file or directory"),
       PortStyle::Posix,
       "port 5 is /tmp/gone (MOLVEXECR_COM5): no such device (No such file or directory). " +
           posix_other},
      {5, 115200, denied, PortStyle::Posix,
       "port 5 is /dev/ttyS0: permission denied (Permission denied); the device belongs to group "
       "dialout: join it with sudo usermod -aG dialout $USER and log in again. " +
           posix_other},
      {5, 115200, denied_root, PortStyle::Posix,
       "port 5 is /dev/ttyS0: permission denied (Permission denied); run ecrfisc as a user who "
       "may open it. " +
           posix_other},
      {2, 19200, held, PortStyle::Posix,
       "port 2 is /dev/ttyUSB0 (MOLVEXECR_COM2): in use by another program (ecr-sim, process "
       "4242) (Resource temporarily unavailable); end that program first, or use another port. "
       "Name another device for port 2 with MOLVEXECR_COM2=/dev/ttyUSB0 (the printer's device), "
       "or look for the printer with: ecrfisc --find"},
      {5, 9600, Failure(PortFailure::NoHardware, "/dev/ttyS4", "", 5, "Input/output error"),
       PortStyle::Posix,
       "port 5 is /dev/ttyS4: no serial port is behind this device (Input/output error). " +
           posix_other},
      {5, 9600, Failure(PortFailure::NotSerial, "/dev/null", "MOLVEXECR_COM5", 25, "Not a tty"),
       PortStyle::Posix,
       "port 5 is /dev/null (MOLVEXECR_COM5): not a serial device (Not a tty). " + posix_other},
      {5, 9600, PortOpenError{}, PortStyle::Posix,
       "port 5: it could not be opened. " + posix_other},
      {9, 9600, Failure(PortFailure::NoSuchDevice, "\\\\.\\COM9", "", 2, "File not found"),
       PortStyle::Windows,
       "port 9 is \\\\.\\COM9: no such device (File not found; error 2). " + windows_other},
      {3, 9600, Failure(PortFailure::InUse, "\\\\.\\COM3", "", 5, "Access denied"),
       PortStyle::Windows,
       "port 3 is \\\\.\\COM3: in use by another program (Access denied; error 5); end that "
       "program first, or use another port. " +
           windows_other},
      // Refused before any device was tried.
      {1, 38400, Failure(PortFailure::NoSuchDevice, "/dev/ttyS0", "", 2, "stale"), PortStyle::Posix,
       "line speed 38400 is not accepted: SetComPort takes 9600, 19200, 57600 or 115200"},
      {0, 9600, Failure(PortFailure::NoSuchDevice, "/dev/ttyS0", "", 2, "stale"), PortStyle::Posix,
       "port numbers start at 1. Name another device for port 1 with MOLVEXECR_COM1=/dev/ttyUSB0 "
       "(the printer's device), or look for the printer with: ecrfisc --find"},
  };
  for (const Case& c : cases) {
    const PortErrorReport r = ExplainSetComPort(c.port, c.speed, c.error, c.style, listed);
    EXPECT_EQ(r.text, c.text);
  }
  EXPECT_EQ(ExplainSetComPort(4, 9600, PortOpenError{}, PortStyle::Windows, {}).text,
            "port 4: it could not be opened. This computer lists no COM ports, or look for the "
            "printer with: ecrfisc --find");
}

}  // namespace
}  // namespace molvex::ecrfisc
