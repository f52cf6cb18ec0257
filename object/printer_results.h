// Private to object/.
// The result callback handed to every command wrapper. It runs inside the link's transaction,
// on the calling thread, before the wrapper returns. On Windows the server exports it by name.
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
