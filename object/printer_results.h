// Private to object/.
// The result callback handed to every command wrapper. It runs inside the link's transaction,
// on the calling thread, before the wrapper returns. On Windows the server exports it by name.
#pragma once

#include "link/link.h"

// Copies the record into ObjectState::LastResult, counts the callback off BusyCount and sets
// FailureFlag from the error word.
void PrinterResults(RetData& result);
