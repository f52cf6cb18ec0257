// A native client that creates TECRFisc by its class identifier (no ProgID) and calls it through
// IDispatch only, as a late-bound client does after it found the class.
// Usage: dispatch_client [hold <flag file>]
//   plain: creates the object, reads GetVerDLL, releases it
//   hold:  after that keeps the object and prints "holding" until the flag file exists
//          (the end-to-end run kills it meanwhile: a client that dies holding its object)
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <cwchar>

#include "MolvexECR_TLB.h"
#include "tests/wine/check.h"

namespace {

// Calls the method of this name without arguments; its result lands in result.
HRESULT CallByName(IDispatch* object, const wchar_t* name, VARIANT* result) {
  DISPID id = DISPID_UNKNOWN;
  auto* names = const_cast<LPOLESTR>(name);
  HRESULT hr = object->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, result, nullptr,
                        nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool hold = argc >= 3 && std::wcscmp(argv[1], L"hold") == 0;
  CheckCount c;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 90;
  IDispatch* object = nullptr;
  const HRESULT hr = CoCreateInstance(CLSID_TECRFisc, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                      reinterpret_cast<void**>(&object));
  if (FAILED(hr)) std::printf("CoCreateInstance 0x%08lX\n", static_cast<unsigned long>(hr));
  c.Expect(SUCCEEDED(hr) && object != nullptr, "CoCreateInstance by class identifier");
  if (object != nullptr) {
    VARIANT text;
    VariantInit(&text);
    c.Expect(CallByName(object, L"GetVerDLL", &text) == S_OK && text.vt == VT_BSTR &&
                 text.bstrVal != nullptr &&
                 std::wcsncmp(text.bstrVal, L"MolvexECR OLE v5.20", 19) == 0,
             "GetVerDLL through IDispatch");
    VariantClear(&text);
    if (hold) {
      std::printf("holding\n");
      std::fflush(stdout);
      while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES) Sleep(100);
    }
    object->Release();
  }
  CoUninitialize();
  return c.Finish();
}
