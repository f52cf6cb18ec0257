// Service cash in and out, the cash in the drawer and the day's service sums (command 70), and
// the day's running totals and the last Z report as raw text (commands 65 and 64).
#include <cstdint>
#include <string>

#include "link/commands.h"
#include "object/TECRFiscImpl.h"
#include "object/automation_text.h"
#include "object/call_pattern.h"
#include "object/object_error.h"

namespace molvex {
namespace {

// What the read entries give when they have no amount.
constexpr double kNoAmount = -1.0;

// HRESULT of CurrentTotals and LastZReport for a failed reply.
constexpr HRESULT kFailedReply = static_cast<HRESULT>(0xFFFFFFFFu);

// The leading decimal integer of a reply field, in hundredths: an optional minus sign, then
// digits up to the first character that is not one. "12345" gives 12345, "123.45" gives 123, ""
// gives 0. False for more than 15 digits: no amount of a drawer, and not exact in a double.
bool LeadingHundredths(const char* field, std::int64_t& hundredths) {
  constexpr int kMostDigits = 15;
  const bool negative = field[0] == '-';
  std::int64_t value = 0;
  int digits = 0;
  for (const char* p = negative ? field + 1 : field; *p >= '0' && *p <= '9'; ++p) {
    if (++digits > kMostDigits) return false;
    value = value * 10 + (*p - '0');
  }
  hundredths = negative ? -value : value;
  return true;
}

// Reads field `field` of the cash reply (1 cash in the drawer, 2 service in, 3 service out)
// as an amount in currency units; -1.0 on refusal or failure, and for a field too long to be an
// amount (a failed reply: call status -2).
double ReadCash(PrinterContext& ctx, int field) {
  if (!PortTestAndPreRead(ctx) || StatusCheck(ctx) != Outcome::Succeeded) return kNoAmount;
  // Amount 0: the wrapper sends empty data, a query.
  if (RunSaved(ctx, PrnBuildCashInOut, 0.0) != Outcome::Succeeded) return kNoAmount;
  std::int64_t hundredths = 0;
  if (!LeadingHundredths(ReplyField(ctx, field), hundredths)) {
    ctx.state.CallStatus = kCallFailed;
    return kNoAmount;
  }
  return CurrencyUnits(hundredths);
}

// Puts `amount` into the drawer (service in) or takes it out (`out`: service out). The outcome
// shows only in the saved state.
void MoveCash(PrinterContext& ctx, double amount, bool out) {
  if (!PortTestAndPreRead(ctx)) return;
  // Zero, negative and not-a-number amounts are refused; command 74 has gone already.
  if (!(amount > 0)) {
    SaveRefusal(ctx);
    return;
  }
  if (StatusCheck(ctx) != Outcome::Succeeded) return;
  // A withdrawal travels as a negative amount.
  RunSaved(ctx, PrnBuildCashInOut, out ? -amount : amount);
}

// What a failed totals read tells its caller: the saved state stays as it was, so the description
// says why the reply failed.
std::string TotalsFailure(const PrinterContext& ctx, const char* entry) {
  const std::uint32_t word = ctx.state.LastResult.ErrorWord;
  std::string text = std::string(entry) + ": the printer's totals could not be read: ";
  if ((word & kErrNoReply) != 0) {
    text += "the printer did not answer. Check that it is on and connected, then read again";
  } else {
    const LONG code = ErrorCode(static_cast<std::int32_t>(word));
    text += "the printer refused the query";
    if (code > 1) text += " with error code " + std::to_string(code) + " of GetError's table";
    text += ". A TotalIdx the printer does not know is refused so";
  }
  return text + "; the outcome of the last call (StatusBytes, GetError) is unchanged";
}

// CurrentTotals and LastZReport: the command of `build` with the totals index. A failed reply gives
// HRESULT -1 with error information that says why and leaves the saved state as it was; success
// gives the whole reply data text and leaves the saved state alone as well.
HRESULT ReadTotals(PrinterContext& ctx, PrnRequest (*build)(std::int32_t), const char* entry,
                   BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return RunGuardedHresult(
      ctx,
      [&]() -> HRESULT {
        if (!PortTestAndPreRead(ctx) || !RunCommand(ctx, build, ctx.state.TotalIndex)) {
          SaveRefusal(ctx);
          *Value = ToBstr("");
          return S_OK;
        }
        const ObjectState& state = ctx.state;
        if (state.FailureFlag != 0) return kFailedReply;
        *Value = ToBstr(state.LastResult.ReplyData != nullptr ? state.LastResult.ReplyData : "");
        return S_OK;
      },
      [&ctx, entry](HRESULT) { return TotalsFailure(ctx, entry); });
}

}  // namespace

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_CashInfo(double* Value) {
  if (Value == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] { *Value = ReadCash(ctx, 1); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_ServiceIn(double* Value) {
  if (Value == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] { *Value = ReadCash(ctx, 2); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_ServiceOut(double* Value) {
  if (Value == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] { *Value = ReadCash(ctx, 3); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::put_ServiceIn(double Value) {
  return RunGuarded(ctx, [&] { MoveCash(ctx, Value, false); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::put_ServiceOut(double Value) {
  return RunGuarded(ctx, [&] { MoveCash(ctx, Value, true); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_CurrentTotals(BSTR* Value) {
  return ReadTotals(ctx, PrnBuildDayTotals, "CurrentTotals", Value);
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_LastZReport(BSTR* Value) {
  return ReadTotals(ctx, PrnBuildLastZReport, "LastZReport", Value);
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::put_TotalIdx(LONG Value) {
  ctx.state.TotalIndex = Value;
  return S_OK;
}

}  // namespace molvex
