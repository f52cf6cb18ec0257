// Entries that read or judge the saved outcome, and the two presence checks.
#include <cstdint>

#include "link/commands.h"
#include "object/TECRFiscImpl.h"
#include "object/call_pattern.h"
#include "object/object_error.h"

namespace molvex {
namespace {

// GetError: the code of the first error-word bit found in this order; 0 for none.
struct BitCode {
  int bit;
  LONG code;
};
constexpr BitCode kErrorCodes[] = {{0, 2},   {1, 3},   {2, 4},   {3, 5},   {4, 6},
                                   {5, 7},   {6, 8},   {8, 10},  {9, 11},  {13, 12},
                                   {16, 14}, {17, 15}, {18, 16}, {24, 17}, {25, 18},
                                   {26, 19}, {27, 20}, {28, 20}, {29, 21}};

}  // namespace

LONG ErrorCode(std::int32_t saved) {
  if (saved == kRefusedErrorWord) return 1;
  const auto word = static_cast<std::uint32_t>(saved);
  for (const BitCode& row : kErrorCodes) {
    if ((word >> row.bit) & 1u) return row.code;
  }
  return 0;
}

namespace {

HRESULT SavedStatusByte(const PrinterContext& ctx, int index, char* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = static_cast<char>(ctx.state.SavedStatus[index]);
  return S_OK;
}

// GetStatusFP and IsPresent: two status reads, the second decides.
HRESULT PresenceCheck(PrinterContext& ctx, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    if (!PortTestAndPreRead(ctx)) return;
    *Result = AsBool(RunSaved(ctx, PrnBuildReadStatus, 0));
  });
}

}  // namespace

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_StatusBytes(LONG* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = ctx.state.CallStatus;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::GetError(LONG* Error) {
  if (Error == nullptr) return E_POINTER;
  *Error = ErrorCode(ctx.state.SavedErrorWord);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_Status0(char* Value) {
  return SavedStatusByte(ctx, 0, Value);
}
HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_Status1(char* Value) {
  return SavedStatusByte(ctx, 1, Value);
}
HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_Status2(char* Value) {
  return SavedStatusByte(ctx, 2, Value);
}
HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_Status3(char* Value) {
  return SavedStatusByte(ctx, 3, Value);
}
HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_Status4(char* Value) {
  return SavedStatusByte(ctx, 4, Value);
}
HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_Status5(char* Value) {
  return SavedStatusByte(ctx, 5, Value);
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_FPIndexStatus(LONG* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = ctx.state.StatusIndex;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::put_FPIndexStatus(LONG Value) {
  ctx.state.StatusIndex = Value >= 0 && Value <= 5 ? Value : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_FPStatus(LONG* Value) {
  if (Value == nullptr) return E_POINTER;
  const ObjectState& state = ctx.state;
  const std::int32_t index =
      state.StatusIndex >= 0 && state.StatusIndex <= 5 ? state.StatusIndex : 0;
  *Value = static_cast<LONG>(state.LastResult.Status[index]);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_TimeOutFP(VARIANT_BOOL* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = VARIANT_FALSE;
  if (ctx.state.CallStatus != kCallFailed) return S_OK;
  HRESULT(STDMETHODCALLTYPE TECRFiscEntries::*const readers[])
  (char*) = {&TECRFiscEntries::get_Status0, &TECRFiscEntries::get_Status1,
             &TECRFiscEntries::get_Status2, &TECRFiscEntries::get_Status3,
             &TECRFiscEntries::get_Status4, &TECRFiscEntries::get_Status5};
  for (auto reader : readers) {
    char status = 0;
    (this->*reader)(&status);
    if (status != 0) return S_OK;
  }
  *Value = VARIANT_TRUE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::GetStatusFP([[maybe_unused]] VARIANT_BOOL NoWait,
                                                       VARIANT_BOOL* Result) {
  // NoWait is accepted and has no effect: both reads wait.
  return PresenceCheck(ctx, Result);
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::IsPresent(VARIANT_BOOL* Result) {
  return PresenceCheck(ctx, Result);
}

}  // namespace molvex
