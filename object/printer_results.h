// Private to object/.
// How a transaction's result reaches the object state. The entries take it from their context's
// link after each request (TakeResult); PrinterResults is the result callback of the process's
// state for the wrappers, which the server exports by name on Windows.
#pragma once

#include "link/link.h"
#include "object/object_state.h"

namespace molvex {

// Takes one transaction's result into `state`: LastResult, the callback counted off BusyCount,
// FailureFlag from the error word.
void TakeResult(ObjectState& state, const RetData& result);

}  // namespace molvex

// TakeResult into the process context's state (SharedObjectState()).
void PrinterResults(RetData& result);
