// The one place where the print service makes the automation object that drives a printer.
#pragma once

#include <memory>

#include "object/TECRFiscImpl.h"
#include "platform/byte_channel.h"
#include "platform/clock.h"
#include "service/settings.h"

namespace molvex::service {

// What the printer's object talks through: nullptr for the serial port of its settings and the
// system clock; tests hand the virtual printer and a fake clock.
struct PrinterLine {
  PortFactory* port = nullptr;
  Clock* clock = nullptr;
};

// Whether each printer's object has a link and state of its own (a printer context), so that
// one process drives several printers at once. Without it the service serves one printer.
#if __has_include("object/printer_context.h")
inline constexpr bool kObjectPerPrinter = true;
#else
inline constexpr bool kObjectPerPrinter = false;
#endif

// Makes the object for one printer, its port not opened yet. Called on the program's main
// thread before any worker runs.
std::unique_ptr<TTECRFiscImpl> MakePrinterObject(const PrinterSettings& printer,
                                                 const PrinterLine& line);

}  // namespace molvex::service
