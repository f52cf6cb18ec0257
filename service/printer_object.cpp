#include "service/printer_object.h"

#include <cstdlib>
#include <string>

#include "link/link.h"
#include "object/local_object.h"
#include "object/printer_context.h"

namespace molvex::service {
namespace {

// The printer's context, then the object on it, which go together. Each printer opens its port
// through the platform's serial ports, which give every open a device of its own.
struct OwnContext {
  PrinterContext context;
};
class ContextObject final : private OwnContext, public LocalObject {
 public:
  ContextObject() : LocalObject(context) {}
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
