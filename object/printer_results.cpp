#include "object/printer_results.h"

namespace molvex {

void TakeResult(ObjectState& state, const RetData& result) {
  state.LastResult = result;
  --state.BusyCount;
  state.FailureFlag = (result.ErrorWord & FailureMask) != 0 ? 1 : 0;
}

}  // namespace molvex

void PrinterResults(RetData& result) {
  molvex::TakeResult(molvex::SharedObjectState(), result);
}
