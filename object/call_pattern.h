// Private to object/.
// The call pattern by which an entry runs one printer command on its context, and the steps of the
// common frame that every printer entry shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/commands.h"
#include "link/link.h"
#include "object/object_state.h"
#include "object/printer_context.h"
#include "platform/automation.h"

namespace molvex {

// Runs one request on the context's link and takes its result into the context's state, as
// PrinterResults does for the process's (LastResult, FailureFlag). A request the link refuses
// (busy or never opened link, data too long, argument refused) sends nothing.
// Returns true when the transaction ran: LastResult and FailureFlag describe it. After a status
// pre-read that got no reply nothing is sent: the command fails at once with that reply.
bool RunRequest(PrinterContext& ctx, const PrnRequest& request);

// RunRequest with the request of a command builder (link/commands.h) and its arguments.
template <class Builder, class... Args>
bool RunCommand(PrinterContext& ctx, Builder build, Args... args) {
  return RunRequest(ctx, build(args...));
}

// True when a port is open (PortOpen set and PortNumber not -1).
bool PortIsOpen(const PrinterContext& ctx);

// The refusal of the common frame: SavedErrorWord -1 and CallStatus -1.
void SaveRefusal(PrinterContext& ctx);

// The pre-read of the common frame: command 74 with "W", outcome ignored, FailureFlag cleared.
// When it gets no reply at all (silence, or SYN past the busy limit), PrinterSilent is set: the
// entry's commands then fail at once as unanswered, and nothing that could print is sent.
void PreRead(PrinterContext& ctx);

// Outcome of the deciding reply: its error word and status bytes saved, CallStatus 0 or -2.
// Returns true on success (FailureFlag 0).
bool SaveOutcome(PrinterContext& ctx);

}  // namespace molvex

namespace molvex {

// The GetError code of a saved error word: 1 for a refusal, else the code of its first failure
// bit in the order of the code table, 0 for none.
LONG ErrorCode(std::int32_t saved_error_word);

// Reply field `number` (from 1) of LastResult; empty text when the reply has fewer fields.
const char* ReplyField(const PrinterContext& ctx, int number);

// How a framed entry ended.
enum class Outcome { Refused, Failed, Succeeded };

inline VARIANT_BOOL AsBool(bool value) {
  return value ? VARIANT_TRUE : VARIANT_FALSE;
}
inline VARIANT_BOOL AsBool(Outcome outcome) {
  return AsBool(outcome == Outcome::Succeeded);
}

// Steps 1 and 2 of the common frame: false, with the refusal saved, when no port is open;
// otherwise the pre-read has run.
bool PortTestAndPreRead(PrinterContext& ctx);

// One command of an entry's sequence, its outcome saved: a command the link refuses (nothing
// sent) saves the refusal; any reply saves its error word and status bytes and the call status.
// A sequence goes on only while this gives Succeeded, so the first failing reply decides.
Outcome RunSavedRequest(PrinterContext& ctx, const PrnRequest& request);

template <class Builder, class... Args>
Outcome RunSaved(PrinterContext& ctx, Builder build, Args... args) {
  return RunSavedRequest(ctx, build(args...));
}

// The common frame around one command: port test, pre-read, the command, outcome capture.
// A command the link refuses (nothing sent, no callback) ends as a refusal.
template <class Builder, class... Args>
Outcome RunFramed(PrinterContext& ctx, Builder build, Args... args) {
  if (!PortTestAndPreRead(ctx)) return Outcome::Refused;
  return RunSaved(ctx, build, args...);
}

// A status read whose failure decides the call (its error word and status bytes saved, call
// status -2); a passing one saves nothing.
Outcome StatusCheck(PrinterContext& ctx);

}  // namespace molvex

namespace molvex {

// PortTestAndPreRead for a request whose data text carries client texts: false, with the refusal
// saved and nothing sent (the status pre-read included), when the port is not open or the built
// text does not fit one request (kPrnMaxData bytes), so that such a client text refuses the call
// whole: nothing is cut and no call is left half sent. A request refused for one of its other
// arguments is refused by the link after the pre-read, like any command.
bool PortTestFitsAndPreRead(PrinterContext& ctx, const PrnRequest& request);

// RunFramed for a request whose data text carries client texts: refused whole, before anything
// is sent, when it does not fit one request.
Outcome RunFramedText(PrinterContext& ctx, const PrnRequest& request);

// Client texts. Every text a client gives for the printer passes here before anything is sent,
// beside the length check: it is converted to the printer's code page, one byte a character, and
// refused when a character has no place there (never replaced by "?"), when a byte is a control
// byte (below 0x20, or 0x7F: the protocol's own bytes among them, so a text can never carry a
// frame of its own), or when it is one of `separators`, the characters that separate the field
// the text goes into from the next in the command's data text.
//
// ClientTextFault gives the printer's bytes in `bytes` and an empty text, or the description of
// the fault naming the parameter and the character's position (from 1).
std::string ClientTextFault(BSTR text, std::string_view parameter, std::string_view separators,
                            std::string& bytes);

// ClientTextFault for an entry: the bytes, or the call refused (StatusBytes -1, GetError 1) and
// ObjectError thrown with the description, so that the call ends with DISP_E_EXCEPTION and that
// error information. The entry's refusal value must be in place before.
std::string ClientText(PrinterContext& ctx, BSTR text, std::string_view parameter,
                       std::string_view separators = {});

// The separator of most fields: the comma.
inline constexpr std::string_view kComma = ",";

// A number in the data-text formats "%-#.2lf" / "%-#.3lf": always ".", never the locale's.
std::string FixedText(double value, int decimals);

// An amount the printer gives in hundredths, in currency units: the double nearest to its
// decimal text (30240 gives the double of 302.40), which one correctly rounded division by 100
// yields for any amount up to 2^53 hundredths; hundredths * 0.01 does not (302.40000000000003).
inline double CurrencyUnits(std::int64_t hundredths) {
  return static_cast<double>(hundredths) / 100.0;
}

// Reply field `number` of LastResult read as a decimal integer: an optional minus sign and
// digits, nothing else. False when the field is missing or empty, holds anything else, or does
// not fit 64 bits.
bool ReplyInteger(const PrinterContext& ctx, int number, std::int64_t& value);

}  // namespace molvex
