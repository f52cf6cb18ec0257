#include "platform/win32/serial_line.h"

namespace molvex {

void SetRawSerialLine(DCB& line, std::int32_t baud) {
  line.BaudRate = static_cast<DWORD>(baud);
  line.ByteSize = 8;
  line.Parity = NOPARITY;
  line.StopBits = ONESTOPBIT;
  line.fBinary = TRUE;
  line.fParity = FALSE;
  line.fOutxCtsFlow = FALSE;
  line.fOutxDsrFlow = FALSE;
  line.fDtrControl = DTR_CONTROL_ENABLE;
  line.fDsrSensitivity = FALSE;
  line.fTXContinueOnXoff = TRUE;
  line.fOutX = FALSE;
  line.fInX = FALSE;
  line.fErrorChar = FALSE;
  line.fNull = FALSE;
  line.fRtsControl = RTS_CONTROL_ENABLE;
  line.fAbortOnError = FALSE;
  line.XonChar = 0x11;  // unused, but the driver refuses equal XON and XOFF characters
  line.XoffChar = 0x13;
}

}  // namespace molvex
