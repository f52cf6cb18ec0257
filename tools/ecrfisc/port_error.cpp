#include "tools/ecrfisc/port_error.h"

#include "link/link.h"
#include "object/line_speeds.h"
#include "platform/serial_ports.h"

namespace molvex::ecrfisc {
namespace {

std::string ComList(const std::vector<std::int32_t>& ports) {
  std::string text;
  for (std::size_t i = 0; i < ports.size(); ++i) {
    if (i > 0) text += i + 1 == ports.size() ? " and " : ", ";
    text += "COM" + std::to_string(ports[i]);
  }
  return text;
}

std::string SystemWords(const PortOpenError& error, PortStyle style) {
  if (error.system_text.empty()) return {};
  if (style == PortStyle::Windows) {
    return " (" + error.system_text + "; error " + std::to_string(error.system_code) + ")";
  }
  return " (" + error.system_text + ")";
}

// How to reach the printer on another device.
std::string OtherDevice(std::int32_t port, PortStyle style,
                        const std::vector<std::int32_t>& listed) {
  if (style == PortStyle::Windows) {
    std::string text;
    if (listed.empty()) {
      text = "This computer lists no COM ports";
    } else {
      text = "This computer lists " + ComList(listed) + ": give one of them with --port";
    }
    return text + ", or look for the printer with: ecrfisc --find";
  }
  const std::string n = std::to_string(port >= 1 ? port : 1);
  return "Name another device for port " + n + " with MOLVEXECR_COM" + n +
         "=/dev/ttyUSB0 (the printer's device), or look for the printer with: ecrfisc --find";
}

}  // namespace

std::string SpeedList(const std::vector<std::int32_t>& speeds, const char* last_joint) {
  std::string text;
  for (std::size_t i = 0; i < speeds.size(); ++i) {
    if (i > 0) text += i + 1 == speeds.size() ? last_joint : ", ";
    text += std::to_string(speeds[i]);
  }
  return text;
}

const std::vector<std::int32_t>& AcceptedSpeeds() {
  static const std::vector<std::int32_t> speeds(kAcceptedSpeeds.begin(), kAcceptedSpeeds.end());
  return speeds;
}

std::string_view ReasonKey(PortFailure reason) {
  switch (reason) {
    case PortFailure::None:
      return "unknown";
    case PortFailure::NoSuchDevice:
      return "no-such-device";
    case PortFailure::NoHardware:
      return "no-hardware";
    case PortFailure::NoPermission:
      return "no-permission";
    case PortFailure::InUse:
      return "in-use";
    case PortFailure::NotSerial:
      return "not-serial";
    case PortFailure::BadSpeed:
      return "bad-speed";
    case PortFailure::Other:
      return "other";
  }
  return "unknown";
}

std::string ReasonText(const PortOpenError& error, PortStyle style) {
  const std::string words = SystemWords(error, style);
  switch (error.reason) {
    case PortFailure::None:
      return "it could not be opened";
    case PortFailure::NoSuchDevice:
      return "no such device" + words;
    case PortFailure::NoHardware:
      return "no serial port is behind this device" + words;
    case PortFailure::NoPermission: {
      std::string text = "permission denied" + words;
      if (style == PortStyle::Posix && !error.group.empty() && error.group != "root") {
        text += "; the device belongs to group " + error.group +
                ": join it with sudo usermod -aG " + error.group + " $USER and log in again";
      } else {
        text += "; run ecrfisc as a user who may open it";
      }
      return text;
    }
    case PortFailure::InUse: {
      std::string text = "in use by another program";
      if (!error.holder.empty()) text += " (" + error.holder + ")";
      return text + words + "; end that program first, or use another port";
    }
    case PortFailure::NotSerial:
      return "not a serial device" + words;
    case PortFailure::BadSpeed:
      return "no such line speed" + words;
    case PortFailure::Other:
      return "the system refused it" + words;
  }
  return "it could not be opened";
}

PortErrorReport ExplainSetComPort(std::int32_t port, std::int32_t speed, PortOpenError error,
                                  PortStyle style, const std::vector<std::int32_t>& listed) {
  PortErrorReport report;
  report.port = port;
  if (!SpeedAccepted(speed)) {
    // Refused before any device was tried.
    report.error = PortOpenError{};
    report.error.reason = PortFailure::BadSpeed;
    report.text = "line speed " + std::to_string(speed) + " is not accepted: SetComPort takes " +
                  SpeedList(AcceptedSpeeds(), " or ");
    return report;
  }
  if (port < 1) {
    report.error = PortOpenError{};
    report.error.reason = PortFailure::NoSuchDevice;
    report.text = "port numbers start at 1. " + OtherDevice(port, style, listed);
    return report;
  }
  report.error = std::move(error);
  const PortOpenError& e = report.error;
  std::string text = "port " + std::to_string(port);
  if (!e.device.empty()) {
    text += " is " + e.device;
    if (!e.mapping.empty()) text += " (" + e.mapping + ")";
  }
  report.text = text + ": " + ReasonText(e, style) + ". " + OtherDevice(port, style, listed);
  return report;
}

PortErrorReport ExplainSetComPort(std::int32_t port, std::int32_t speed) {
  std::vector<std::int32_t> listed;
  if (kNativePortStyle == PortStyle::Windows) {
    for (const SerialDeviceEntry& entry : ListSerialDevices({})) {
      listed.insert(listed.end(), entry.ports.begin(), entry.ports.end());
    }
  }
  return ExplainSetComPort(port, speed, LinkPortFactory().LastOpenError(), kNativePortStyle,
                           listed);
}

}  // namespace molvex::ecrfisc
