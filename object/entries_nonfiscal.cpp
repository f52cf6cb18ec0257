// Non-fiscal receipt entries: open, print text lines, close, and whether one is open.
#include <cstdint>
#include <string>

#include "link/commands.h"
#include "object/TECRFiscImpl.h"
#include "object/automation_text.h"
#include "object/call_pattern.h"
#include "object/object_error.h"

namespace molvex {
namespace {

constexpr std::size_t kNonFiscalTextLength = 35;  // longest line of a non-fiscal receipt
constexpr int kNonFiscalOpenBit = 11;             // error-word bit: a non-fiscal receipt is open

}  // namespace

HRESULT STDMETHODCALLTYPE TECRFiscEntries::OpenNonFiscReceipt(VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] { *Result = AsBool(RunFramed(ctx, PrnBuildOpenNonFiscal)); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::CloseNonFiscReceipt(VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] { *Result = AsBool(RunFramed(ctx, PrnBuildCloseNonFiscal)); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::PrntNonFiscal(BSTR Str1, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string text = ClientText(ctx, Str1, "Str1");
    if (!PortTestAndPreRead(ctx)) return;
    // The text is judged after the pre-read.
    const PrnRequest line = PrnBuildPrintNonFiscal(text.c_str());
    if (text.size() > kNonFiscalTextLength || text == "0" || !line.FitsWhole()) {
      SaveRefusal(ctx);
      return;
    }
    if (text.empty()) {  // nothing to print; the saved outcome stays as it was
      *Result = VARIANT_TRUE;
      return;
    }
    *Result = AsBool(RunSavedRequest(ctx, line));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_NonFiscal(LONG* Value) {
  if (Value == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    // Reads only: no pre-read, and the saved outcome stays as it was.
    *Value = -1;
    if (!PortIsOpen(ctx) || !RunCommand(ctx, PrnBuildReadStatus, 1)) return;
    const ObjectState& state = ctx.state;
    if (state.FailureFlag != 0) return;
    *Value = (state.LastResult.ErrorWord >> kNonFiscalOpenBit) & 1u;
  });
}

}  // namespace molvex
