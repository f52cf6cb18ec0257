// The process-wide state of the automation object: one record shared by every TECRFisc object
// of the process, from start to end.
#pragma once

#include <cstdint>

#include "link/link.h"

namespace molvex {

// Error-word bits that make a reply a failure: 0..6, 8, 9, 13, 16..19 and 24..28. The others
// (7, 10..12, 14, 15, 20..23) are reported but do not fail a command.
constexpr std::uint32_t FailureMask = 0x1F0F237Fu;

// Call status values (StatusBytes).
constexpr std::int32_t kCallSucceeded = 0;
constexpr std::int32_t kCallRefused = -1;
constexpr std::int32_t kCallFailed = -2;

// Saved error word of a refused call.
constexpr std::int32_t kRefusedErrorWord = -1;

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
};

// The one instance of the process.
ObjectState& SharedObjectState();

// Back to the state of a fresh process (tests).
void ResetObjectState();

}  // namespace molvex
