#include "service/printer_object.h"

#include <cstdlib>
#include <string>

#include "link/link.h"
#include "object/local_object.h"
#include "object/printer_context.h"
#include "platform/serial_ports.h"

namespace molvex::service {
namespace {

// The printer's own serial port. The platform's factory keeps one port for the whole process and
// releases it when another one opens; each printer opens its device by name instead, so that
// the ports of several printers stay open side by side.
class OwnSerialPort final : public PortFactory {
 public:
  ByteChannel* Open(std::int32_t port, std::int32_t baud) override {
    channel_.reset();  // the old device is released first
    error_ = PortOpenError{};
    const PortDevice device = SerialPortDevice(port);
    if (device.path.empty()) {
      error_.reason = PortFailure::NoSuchDevice;
      error_.system_text = "port numbers start at 1";
      return nullptr;
    }
    channel_ = OpenSerialDevice(device.path, baud, error_);
    error_.mapping = device.mapping;
    return channel_.get();
  }
  PortOpenError LastOpenError() const override { return error_; }

 private:
  std::unique_ptr<ByteChannel> channel_;
  PortOpenError error_;
};

// The port, then the printer's context, then the object on it; all go together, the port last
// (the link closes its channel when it goes).
struct OwnContext {
  OwnSerialPort serial;
  PrinterContext context;
};
class ContextObject final : private OwnContext, public LocalObject {
 public:
  ContextObject() : LocalObject(context) { context.link.SetPortFactory(&serial); }
  PrinterContext& printer_context() { return context; }
};

}  // namespace

std::unique_ptr<TTECRFiscImpl> MakePrinterObject([[maybe_unused]] const PrinterSettings& printer,
                                                 const PrinterLine& line) {
#ifndef _WIN32
  // The device of the port number, as MOLVEXECR_COM<n> names it for every program of the driver.
  if (!printer.device.empty()) {
    const std::string name = "MOLVEXECR_COM" + std::to_string(printer.port);
    setenv(name.c_str(), printer.device.c_str(), 1);
  }
#endif
  auto object = std::make_unique<ContextObject>();
  if (line.port != nullptr) object->printer_context().link.SetPortFactory(line.port);
  if (line.clock != nullptr) object->printer_context().link.SetClock(line.clock);
  return object;
}

}  // namespace molvex::service
