// The object's own exceptions and their reporting to the automation client.
#pragma once

#include <stdexcept>
#include <string>

#include "object/entry_trace.h"
#include "object/object_state.h"
#include "platform/automation.h"
#include "platform/error_info.h"

namespace molvex {

// A failure inside an interface entry that ends the call with error information.
class ObjectError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Leaves error information with `message` (8-bit text) as description, the ProgID as source and
// the interface's GUID, and returns DISP_E_EXCEPTION. Never throws.
HRESULT ReportException(const char* message) noexcept;

// Runs an entry's body: S_OK when it returns, the ReportException result for anything thrown
// (the message of a std::exception, empty text for anything else). Nothing escapes. Each entry
// begins with the printer taken as answering (a silent pre-read of an earlier call is forgotten).
template <class Body>
HRESULT RunGuarded(Body&& body) noexcept {
  SharedObjectState().PrinterSilent = false;
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

// RunGuarded for an entry that answers with an HRESULT of its own: `body` returns it. Anything
// thrown is reported as RunGuarded does. An HRESULT of the entry's own goes without error
// information, and without any that an earlier call left on the thread: a client must not take
// that for the description of this failure.
template <class Body>
HRESULT RunGuardedHresult(Body&& body) noexcept {
  HRESULT own = S_OK;
  const HRESULT guarded = RunGuarded([&] { own = body(); });
  if (guarded != S_OK) return guarded;
  if (own != S_OK) {
    ClearErrorInfo();
    EntryTraceNote(own);
  }
  return own;
}

}  // namespace molvex
