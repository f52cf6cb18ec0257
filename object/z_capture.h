// Private to object/.
// The Z report's capture seen from the entries: what SetComPort and ZReport do for a Z report
// that a process sent but could not keep the data of (it was killed in between).
#pragma once

#include "object/printer_context.h"

namespace molvex {

// When a Z report is marked as sent but its data not kept (MarkZReportSent), reads the data back
// from the printer (command 167) and keeps it under the archive name the mark gives, unless the
// printer has no data or an archive, the spool or this process holds the same data already; the
// mark is then removed. A read that fails is logged and leaves the mark for the next try. Needs
// an open port on the context, whose settings it reads.
void RecoverUnkeptZReport(PrinterContext& ctx);

}  // namespace molvex
