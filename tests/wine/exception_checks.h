// The exception path as a client sees it: an address part that is no decimal number makes
// WriteNetParams raise an exception, which the object reports as DISP_E_EXCEPTION with error
// information (description, source, interface).
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <cwchar>

#include "MolvexECR_TLB.h"
#include "tests/wine/check.h"

namespace exception_checks {

inline bool SameText(BSTR text, const wchar_t* expected) {
  return std::wcscmp(text != nullptr ? text : L"", expected) == 0;
}

// Stores `address` as the static address, the first one WriteNetParams converts; the call then
// fails while building its text.
inline bool ArmBadAddress(ITECRFisc* fisc, const wchar_t* address) {
  BSTR text = SysAllocString(address);
  const HRESULT hr = fisc->put_StatIPPr(text);
  SysFreeString(text);
  return hr == S_OK;
}

// Checks the thread's error information against what the object leaves. Returns false
// without a check when there is none (the caller decides whether that is a failure).
inline bool CheckErrorInfo(const wchar_t* description, const wchar_t* source, CheckCount& c) {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return false;
  BSTR text = nullptr;
  c.Expect(info->GetDescription(&text) == S_OK && SameText(text, description),
           "error information: the exception's message as description");
  SysFreeString(text);
  text = nullptr;
  c.Expect(info->GetSource(&text) == S_OK && SameText(text, source),
           "error information: the ProgID as source");
  SysFreeString(text);
  text = nullptr;
  GUID guid{};
  c.Expect(info->GetGUID(&guid) == S_OK && IsEqualGUID(guid, IID_ITECRFisc),
           "error information: the interface ITECRFisc");
  DWORD context = 1;
  c.Expect(info->GetHelpFile(&text) == S_OK && SameText(text, L"") &&
               info->GetHelpContext(&context) == S_OK && context == 0,
           "error information: no help file, no help context");
  SysFreeString(text);
  info->Release();
  info = nullptr;
  c.Expect(GetErrorInfo(0, &info) == S_FALSE, "error information is taken once");
  if (info != nullptr) info->Release();
  return true;
}

// The call through the vtable: DISP_E_EXCEPTION, and in process the out value left alone (a
// proxy hands back whatever the stub marshalled). Returns whether error information came
// with it (checked when it did).
inline bool CheckVtableException(ITECRFisc* fisc, const wchar_t* address,
                                 const wchar_t* description, const wchar_t* source, bool in_process,
                                 CheckCount& c) {
  c.Expect(ArmBadAddress(fisc, address), "put_StatIPPr");
  SetErrorInfo(0, nullptr);
  LONG result = 77;
  const HRESULT hr = fisc->WriteNetParams(&result);
  c.Expect(hr == DISP_E_EXCEPTION, "WriteNetParams with a bad address gives DISP_E_EXCEPTION");
  if (in_process) c.Expect(result == 77, "the out value of the failed call is not set");
  return CheckErrorInfo(description, source, c);
}

// One call through IDispatch::Invoke without arguments, kept for the exception it raises: its
// HRESULT and EXCEPINFO (whose texts go with it); the result value is dropped.
struct InvokeForException {
  InvokeForException(IDispatch* dispatch, DISPID id, WORD flags) {
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    UINT arg_error = 0;
    hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &none, &result, &excep,
                          &arg_error);
    VariantClear(&result);
  }
  ~InvokeForException() {
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
  }
  InvokeForException(const InvokeForException&) = delete;
  InvokeForException& operator=(const InvokeForException&) = delete;

  HRESULT hr = E_FAIL;
  EXCEPINFO excep{};
};

// The same call through IDispatch::Invoke: the exception arrives in EXCEPINFO.
inline void CheckDispatchException(ITECRFisc* fisc, const wchar_t* address,
                                   const wchar_t* description, const wchar_t* source,
                                   CheckCount& c) {
  c.Expect(ArmBadAddress(fisc, address), "put_StatIPPr");
  IDispatch* dispatch = nullptr;
  if (fisc->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)) != S_OK) {
    c.Expect(false, "QueryInterface for IDispatch");
    return;
  }
  wchar_t name[] = L"WriteNetParams";
  LPOLESTR names[] = {name};
  DISPID id = DISPID_UNKNOWN;
  c.Expect(
      dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id) == S_OK && id == 0x48,
      "GetIDsOfNames(WriteNetParams) is 0x48");
  const InvokeForException call(dispatch, id, DISPATCH_METHOD);
  const EXCEPINFO& excep = call.excep;
  c.Expect(call.hr == DISP_E_EXCEPTION, "Invoke(WriteNetParams) gives DISP_E_EXCEPTION");
  c.Expect(SameText(excep.bstrDescription, description), "EXCEPINFO description");
  c.Expect(SameText(excep.bstrSource, source), "EXCEPINFO source");
  c.Expect(excep.scode == DISP_E_EXCEPTION || excep.wCode != 0, "EXCEPINFO carries a code");
  if (call.hr != DISP_E_EXCEPTION || !SameText(excep.bstrDescription, description)) {
    std::printf("  Invoke: hr=0x%08lX scode=0x%08lX description=\"%ls\" source=\"%ls\"\n",
                static_cast<unsigned long>(call.hr), static_cast<unsigned long>(excep.scode),
                excep.bstrDescription != nullptr ? excep.bstrDescription : L"(null)",
                excep.bstrSource != nullptr ? excep.bstrSource : L"(null)");
  }
  dispatch->Release();
}

}  // namespace exception_checks
