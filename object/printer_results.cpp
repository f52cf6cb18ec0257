#include "object/printer_results.h"

#include "object/object_state.h"

void PrinterResults(RetData& result) {
  molvex::ObjectState& state = molvex::SharedObjectState();
  state.LastResult = result;
  --state.BusyCount;
  state.FailureFlag = (result.ErrorWord & FailureMask) != 0 ? 1 : 0;
}
