// Private to object/.
// The object's own exceptions and their reporting to the automation client.
#pragma once

#include <stdexcept>
#include <string>

#include "object/entry_trace.h"
#include "object/printer_context.h"
#include "platform/automation.h"
#include "platform/error_info.h"

namespace molvex {

// A failure inside an interface entry that ends the call with error information.
class ObjectError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Leaves error information with `message` (UTF-8) as description, the ProgID as source and
// the interface's GUID, and returns DISP_E_EXCEPTION. Never throws.
HRESULT ReportException(const char* message) noexcept;

// Leaves the same error information for a call that still succeeds, so that a client that
// asks after the call learns what was passed over (SetComPort's refused settings). Never throws.
void NoteErrorInfo(const char* message) noexcept;

// Runs an entry's body: S_OK when it returns, the ReportException result for anything thrown
// (the message of a std::exception, empty text for anything else). Nothing escapes. Each entry
// begins with the printer taken as answering (a silent pre-read of an earlier call is forgotten).
template <class Body>
HRESULT RunGuarded(PrinterContext& ctx, Body&& body) noexcept {
  ctx.state.PrinterSilent = false;
  try {
    body();
    return S_OK;
  } catch (const std::exception& e) {
    EntryTraceNote(DISP_E_EXCEPTION, e.what());
    return ReportException(e.what());
  } catch (...) {
    EntryTraceNote(DISP_E_EXCEPTION);
    return ReportException("");
  }
}

// RunGuarded for an entry that answers with an HRESULT of its own: `body` returns it, and
// `describe(hr)` gives the description of an HRESULT other than S_OK: what happened and what to
// do. That failure leaves error information with the description like an exception (so that a
// script's error object says more than the number, and no earlier call's information is taken
// for it), and the call returns the entry's own HRESULT. Anything thrown is reported as
// RunGuarded does.
template <class Body, class Describe>
HRESULT RunGuardedHresult(PrinterContext& ctx, Body&& body, Describe&& describe) noexcept {
  HRESULT own = S_OK;
  const HRESULT guarded = RunGuarded(ctx, [&] { own = body(); });
  if (guarded != S_OK) return guarded;
  if (own != S_OK) {
    try {
      const std::string description = describe(own);
      EntryTraceNote(own, description.c_str());
      ReportException(description.c_str());
    } catch (...) {
      ClearErrorInfo();  // no memory for the description: at least none of another call
      EntryTraceNote(own);
    }
  }
  return own;
}

}  // namespace molvex
