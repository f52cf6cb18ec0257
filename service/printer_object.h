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

// Makes the object for one printer on a printer context of its own (its link and state), its
// port not opened yet, so that each printer's worker drives its own. Called on the program's
// main thread before any worker runs.
std::unique_ptr<TTECRFiscImpl> MakePrinterObject(const PrinterSettings& printer,
                                                 const PrinterLine& line);

}  // namespace molvex::service
