#include "service/printer_object.h"

#include <cstdlib>
#include <string>

#include "link/link.h"
#include "tools/ecrfisc/local_object.h"

namespace molvex::service {

std::unique_ptr<TTECRFiscImpl> MakePrinterObject(const PrinterSettings& printer,
                                                 const PrinterLine& line) {
  // Until objects keep a link each, the link's port and clock are the process's.
  if (line.port != nullptr) LinkSetPortFactory(line.port);
  if (line.clock != nullptr) LinkSetClock(line.clock);
#ifndef _WIN32
  // The device of the port number, as MOLVEXECR_COM<n> names it for every program of the driver.
  if (!printer.device.empty()) {
    const std::string name = "MOLVEXECR_COM" + std::to_string(printer.port);
    setenv(name.c_str(), printer.device.c_str(), 1);
  }
#endif
  return std::make_unique<ecrfisc::LocalObject>();
}

}  // namespace molvex::service
