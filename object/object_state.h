// The state of the automation object on one printer: one record per PrinterContext. The process's
// (SharedObjectState()) is shared by every TECRFisc object of the process, from start to end.
#pragma once

#include <cstdint>
#include <string>

#include "link/link.h"
#include "link/status_map.h"

namespace molvex {

// Call status values (StatusBytes).
constexpr std::int32_t kCallSucceeded = 0;
constexpr std::int32_t kCallRefused = -1;
constexpr std::int32_t kCallFailed = -2;

// Saved error word of a refused call.
constexpr std::int32_t kRefusedErrorWord = -1;

// The printer's network settings and its last modem report as the client sees them: zero or
// empty until the network entries fill them. Texts are 8-bit (the ANSI code page).
struct NetworkValues {
  std::string DataDocPr, TimeDocPr, DatePersPr, TimePersPr;  // modem report fields 2..5
  std::int32_t PersReportPr = 0;                             // -1 after a modem report
  std::uint8_t ModemCondition = 0;                           // bits 0..7: the eight flags
  bool DHCPworkPr = false;
  std::string StatIPPr, SubnetMaskPr, BridgeAddrPr, TargetAddrPr;  // dotted decimal
  std::int32_t TargetPortPr = 0;
  std::int32_t RepeatPeriodPr = 0;
  std::int32_t RepeatByErrorPr = 0;
  bool PrintReportModem = false;
};

struct ObjectState {
  std::int32_t PortNumber = -1;  // the open COM port, -1 when none
  bool PortOpen = false;
  RetData LastResult{};             // copy of the most recent transaction's result record
  std::int32_t BusyCount = 0;       // result callbacks the running method still waits for
  std::int32_t FailureFlag = 0;     // 1 when the last transaction's error word hit FailureMask
  std::int32_t SavedErrorWord = 0;  // -1 after a refusal, else the deciding reply's error word
  std::int32_t CallStatus = 0;      // 0 success, -1 refused, -2 printer failure
  std::uint8_t SavedStatus[6] = {};
  std::int32_t StatusIndex = 0;  // 0..5, the byte FPStatus reads
  std::int32_t TotalIndex = 0;
  // The running entry's status pre-read got no reply (silence or a printer busy past the limit):
  // the entry sends nothing more, each further command fails at once with that reply. Cleared
  // when an entry begins.
  bool PrinterSilent = false;
  NetworkValues Net;
};

// The record of the process's context (object/printer_context.h).
ObjectState& SharedObjectState();

// Back to the state of a fresh process (tests).
void ResetObjectState();

}  // namespace molvex
