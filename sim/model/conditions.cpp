#include "sim/model/conditions.h"

#include <cstring>

#include "link/status_map.h"

namespace molvex::sim {

const ConditionInfo kConditions[kConditionCount] = {
    {Condition::SyntaxError, "syntax-error", 0, true},
    {Condition::InvalidCommand, "invalid-command", 1, true},
    {Condition::ClockNotSet, "clock-not-set", 2, true},
    {Condition::MechanismError, "mechanism-error", 3, true},
    {Condition::GeneralError, "general-error", 27, true},
    {Condition::Overflow, "overflow", 4, true},
    {Condition::NotAllowed, "not-allowed", 5, true},
    {Condition::RamReset, "ram-reset", 6, true},
    {Condition::RefundReceiptOpen, "refund-receipt-open", 7, false},
    {Condition::RamCorrupt, "ram-corrupt", 8, true},
    {Condition::PaperNearEnd, "paper-near-end", 12, false},
    {Condition::PaperOut, "paper-out", 9, true},
    {Condition::FiscalReceiptOpen, "fiscal-receipt-open", 10, false},
    {Condition::NonFiscalReceiptOpen, "non-fiscal-receipt-open", 11, false},
    {Condition::FiscalMemoryWriteError, "fiscal-memory-write-error", 16, true},
    {Condition::FiscalMemoryFull, "fiscal-memory-full", 13, true},
    {Condition::FiscalMemoryNearlyFull, "fiscal-memory-nearly-full", 20, false},
    {Condition::FiscalMemoryAbsent, "fiscal-memory-absent", 17, true},
    {Condition::FiscalMemoryError, "fiscal-memory-error", 28, true},
    {Condition::JournalFull, "journal-full", 18, true},
    {Condition::SerialNumberSet, "serial-number-set", 21, false},
    {Condition::FiscalMemoryReadOnly, "fiscal-memory-read-only", 19, true},
    {Condition::TaxRatesSet, "tax-rates-set", 22, false},
    {Condition::Fiscalised, "fiscalised", 23, false},
    {Condition::FiscalMemoryFormatted, "fiscal-memory-formatted", 14, false},
};

void PlaceConditions(ConditionSet set, std::uint8_t status[6]) {
  for (int i = 0; i < 6; ++i) status[i] = 0x80;
  for (const ConditionInfo& info : kConditions) {
    if ((set & Bit(info.condition)) == 0) continue;
    StatusBit where{};
    if (FindStatusBit(info.error_bit, where)) status[where.byte] |= where.mask;
  }
}

Condition ConditionByName(const char* name) {
  for (const ConditionInfo& info : kConditions) {
    if (std::strcmp(info.name, name) == 0) return info.condition;
  }
  return Condition::Count;
}

}  // namespace molvex::sim
