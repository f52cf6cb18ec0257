// The named conditions of the virtual printer and where they show in the six status bytes.
#pragma once

#include <cstdint>

namespace molvex::sim {

// Every condition the printer can report. Informational states only ever use status bits whose
// error-word bits do not make a command fail; errors only use bits that do.
enum class Condition : int {
  SyntaxError,           // the data text cannot be parsed
  InvalidCommand,        // unknown command code
  ClockNotSet,           // the clock has not been set
  MechanismError,        // printing mechanism fault
  GeneralError,          // set together with every error
  Overflow,              // an amount or counter would overflow
  NotAllowed,            // the command is not allowed in the current state
  RamReset,              // working memory was cleared
  RefundReceiptOpen,     // a refund receipt is open (with FiscalReceiptOpen)
  RamCorrupt,            // working memory corrupted
  PaperNearEnd,          // paper roll nearly used up
  PaperOut,              // no paper: printing commands are refused
  FiscalReceiptOpen,     // a fiscal (sale or refund) receipt is open
  NonFiscalReceiptOpen,  // a non-fiscal receipt is open
  FiscalMemoryWriteError,
  FiscalMemoryFull,  // no room for another Z report
  FiscalMemoryNearlyFull,
  FiscalMemoryAbsent,
  FiscalMemoryError,
  JournalFull,  // the electronic journal has no room
  SerialNumberSet,
  FiscalMemoryReadOnly,
  TaxRatesSet,
  Fiscalised,
  FiscalMemoryFormatted,
  Count
};

using ConditionSet = std::uint32_t;  // one bit per Condition

constexpr ConditionSet Bit(Condition c) {
  return ConditionSet{1} << static_cast<int>(c);
}

struct ConditionInfo {
  Condition condition;
  const char* name;  // the name used in the control interface and the documentation
  int error_bit;     // bit of the error word that the host derives from the status bit
  bool error;        // true: the condition makes a command fail
};

constexpr int kConditionCount = static_cast<int>(Condition::Count);
extern const ConditionInfo kConditions[kConditionCount];

// The six status bytes for a set of conditions, each with its top bit 0x80 set.
void PlaceConditions(ConditionSet set, std::uint8_t status[6]);

// The condition with this name (as in kConditions), or Condition::Count.
Condition ConditionByName(const char* name);

}  // namespace molvex::sim
