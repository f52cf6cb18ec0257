// The call pattern by which an entry runs one printer command, and the steps of the common
// frame that every printer entry shares.
#pragma once

#include <cstdint>

#include "link/link.h"
#include "object/object_state.h"
#include "object/printer_results.h"
#include "platform/automation.h"

namespace molvex {

// Runs one command wrapper with no window, PrinterResults as callback and tag 0, then waits for
// its callback. The link runs the transaction synchronously, so the callback has come when the
// wrapper returns; a wrapper that refused (busy or never opened link, data too long, argument
// refused) sends nothing and never calls back, and then there is nothing to wait for.
// Returns true when the transaction ran: LastResult and FailureFlag describe it.
template <class Wrapper, class... Args>
bool RunCommand(Wrapper wrapper, Args... args) {
  ObjectState& state = SharedObjectState();
  state.BusyCount = 1;
  state.FailureFlag = 0;
  const std::int32_t rc = wrapper(PrnWindow{0}, &PrinterResults, 0, args...);
  const bool ran = state.BusyCount <= 0;
  state.BusyCount = 0;
  return rc >= 0 && ran;
}

// True when a port is open (PortOpen set and PortNumber not -1).
bool PortIsOpen();

// The refusal of the common frame: SavedErrorWord -1 and CallStatus -1.
void SaveRefusal();

// The pre-read of the common frame: command 74 with "W", outcome ignored, FailureFlag cleared.
void PreRead();

// Outcome of the deciding reply: its error word and status bytes saved, CallStatus 0 or -2.
// Returns true on success (FailureFlag 0).
bool SaveOutcome();

}  // namespace molvex

namespace molvex {

// The GetError code of a saved error word: 1 for a refusal, else the code of its first failure
// bit in the order of the code table, 0 for none.
LONG ErrorCode(std::int32_t saved_error_word);

// Reply field `number` (from 1) of LastResult; empty text when the reply has fewer fields.
const char* ReplyField(int number);

// How a framed entry ended.
enum class Outcome { Refused, Failed, Succeeded };

// The common frame around one command: port test, pre-read, the command, outcome capture.
// A command the link refuses (nothing sent, no callback) ends as a refusal.
template <class Wrapper, class... Args>
Outcome RunFramed(Wrapper wrapper, Args... args) {
  if (!PortIsOpen()) {
    SaveRefusal();
    return Outcome::Refused;
  }
  PreRead();
  if (!RunCommand(wrapper, args...)) {
    SaveRefusal();
    return Outcome::Refused;
  }
  return SaveOutcome() ? Outcome::Succeeded : Outcome::Failed;
}

}  // namespace molvex
