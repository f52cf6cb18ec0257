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
  return RunGuarded([&] { *Result = AsBool(RunFramed(PrnClearDisplay)); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::DisplayUP(BSTR TextDisp, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded([&] {
    *Result = VARIANT_FALSE;
    const std::string text = ClientText(TextDisp, "TextDisp");
    *Result = AsBool(RunFramed(PrnDisplayUpper, text.c_str()));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::DisplayDown(BSTR TextDisp, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded([&] {
    *Result = VARIANT_FALSE;
    const std::string text = ClientText(TextDisp, "TextDisp");
    *Result = AsBool(RunFramed(PrnDisplayLower, text.c_str()));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::OpenDrawer(LONG Num, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded([&] {
    *Result = VARIANT_FALSE;
    if (!PortTestAndPreRead()) return;
    // The pulse range is checked after the pre-read: a refused pulse still costs one status read.
    if (Num < 5 || Num > 150) {
      SaveRefusal();
      return;
    }
    *Result = AsBool(RunSaved(PrnOpenDrawer, static_cast<std::int32_t>(Num)));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::ReceiptCut(LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded([&] { *Result = AsOneOrZero(RunFramed(PrnCutReceipt)); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::DispDayTime(LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded([&] { *Result = AsOneOrZero(RunFramed(PrnShowDateTime)); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_DateTime(BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return RunGuarded([&] {
    if (RunFramed(PrnGetDateTime) != Outcome::Succeeded) {
      *Value = ToBstr("");
      return;
    }
    // The link split the reply at the blank between date and time; put it back.
    std::string text = ReplyField(1);
    text += ' ';
    text += ReplyField(2);
    *Value = ToBstr(text);
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::WriteDateTime(BSTR Date, BSTR Time, LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded([&] {
    *Result = -1;
    // "%s %s": a blank in the date would move the time.
    const std::string date = ClientText(Date, "Date", " ");
    const std::string time = ClientText(Time, "Time");
    *Result = RunFramed(PrnSetDateTime, date.c_str(), time.c_str()) == Outcome::Succeeded ? 0 : -1;
  });
}

}  // namespace molvex
