// Display, drawer, cutter and clock entries: each one command in the common frame.
#include <string>

#include "link/commands.h"
#include "object/TECRFiscImpl.h"
#include "object/automation_text.h"
#include "object/call_pattern.h"
#include "object/object_error.h"

namespace molvex {
namespace {

LONG AsOneOrZero(Outcome outcome) {
  return outcome == Outcome::Succeeded ? 1 : 0;
}

}  // namespace

HRESULT STDMETHODCALLTYPE TECRFiscEntries::ClearRegDisplay(VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] { *Result = AsBool(RunFramed(ctx, PrnBuildClearDisplay)); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::DisplayUP(BSTR TextDisp, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string text = ClientText(ctx, TextDisp, "TextDisp");
    *Result = AsBool(RunFramed(ctx, PrnBuildDisplayUpper, text.c_str()));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::DisplayDown(BSTR TextDisp, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string text = ClientText(ctx, TextDisp, "TextDisp");
    *Result = AsBool(RunFramed(ctx, PrnBuildDisplayLower, text.c_str()));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::OpenDrawer(LONG Num, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    if (!PortTestAndPreRead(ctx)) return;
    // The pulse range is checked after the pre-read: a refused pulse still costs one status read.
    if (Num < 5 || Num > 150) {
      SaveRefusal(ctx);
      return;
    }
    *Result = AsBool(RunSaved(ctx, PrnBuildOpenDrawer, static_cast<std::int32_t>(Num)));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::ReceiptCut(LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] { *Result = AsOneOrZero(RunFramed(ctx, PrnBuildCutReceipt)); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::DispDayTime(LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] { *Result = AsOneOrZero(RunFramed(ctx, PrnBuildShowDateTime)); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_DateTime(BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return RunGuarded(ctx, [&] {
    if (RunFramed(ctx, PrnBuildGetDateTime) != Outcome::Succeeded) {
      *Value = ToBstr("");
      return;
    }
    // The link split the reply at the blank between date and time; put it back.
    std::string text = ReplyField(ctx, 1);
    text += ' ';
    text += ReplyField(ctx, 2);
    *Value = ToBstr(text);
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::WriteDateTime(BSTR Date, BSTR Time, LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = -1;
    // "%s %s": a blank in the date would move the time.
    const std::string date = ClientText(ctx, Date, "Date", " ");
    const std::string time = ClientText(ctx, Time, "Time");
    *Result = RunFramed(ctx, PrnBuildSetDateTime, date.c_str(), time.c_str()) == Outcome::Succeeded
                  ? 0
                  : -1;
  });
}

}  // namespace molvex
