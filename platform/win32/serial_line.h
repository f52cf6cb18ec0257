// Windows only: the line settings a raw 8N1 serial link needs, for both ends of it (the driver's
// port and the virtual printer's, ecr-sim.exe).
#pragma once

#include <windows.h>

#include <cstdint>

namespace molvex {

// Every field of the line a raw link relies on, whatever the program before left in the port: 8N1
// at `baud`, binary, no parity check, no flow control of either kind (neither RTS/CTS nor
// DSR/DTR nor XON/XOFF, so a low CTS or a stray XOFF cannot stop a write), DTR and RTS on, no
// byte dropped or replaced, and no error that stops the reads until it is cleared.
void SetRawSerialLine(DCB& line, std::int32_t baud);

}  // namespace molvex
