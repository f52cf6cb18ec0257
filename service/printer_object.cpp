#include "service/printer_object.h"

#include <cstdlib>
#include <string>

#include "link/link.h"

#if __has_include("object/printer_context.h")
#include "object/local_object.h"
#include "object/printer_context.h"
#else
// ecrfisc's in-process object, until the object's own header replaces it.
#include "tools/ecrfisc/local_object.h"
#endif

namespace molvex::service {
namespace {

#if __has_include("object/printer_context.h")
// The printer's context first, then the object on it; both go together.
struct OwnContext {
  PrinterContext context;
};
class ContextObject final : private OwnContext, public LocalObject {
 public:
  ContextObject() : LocalObject(context) {}
  PrinterContext& printer_context() { return context; }
};

std::unique_ptr<TTECRFiscImpl> MakeObject(const PrinterLine& line) {
  auto object = std::make_unique<ContextObject>();
  if (line.port != nullptr) object->printer_context().link.SetPortFactory(line.port);
  if (line.clock != nullptr) object->printer_context().link.SetClock(line.clock);
  return object;
}
#else
// Objects share the process's link: its port and clock are the process's.
std::unique_ptr<TTECRFiscImpl> MakeObject(const PrinterLine& line) {
  if (line.port != nullptr) LinkSetPortFactory(line.port);
  if (line.clock != nullptr) LinkSetClock(line.clock);
  return std::make_unique<ecrfisc::LocalObject>();
}
#endif

}  // namespace

std::unique_ptr<TTECRFiscImpl> MakePrinterObject(const PrinterSettings& printer,
                                                 const PrinterLine& line) {
#ifndef _WIN32
  // The device of the port number, as MOLVEXECR_COM<n> names it for every program of the driver.
  if (!printer.device.empty()) {
    const std::string name = "MOLVEXECR_COM" + std::to_string(printer.port);
    setenv(name.c_str(), printer.device.c_str(), 1);
  }
#endif
  return MakeObject(line);
}

}  // namespace molvex::service
