// The server's COM object created inside this process and called through ITECRFisc: the error
// information of an exception exactly as the object leaves it on the calling thread, with no
// proxy in between. The out-of-process clients see the same through their proxies.
// Then the end of a server started for automation, driven through its class object.
// Usage: inproc_client registered|unregistered
//   registered    the class is registered: the source is its ProgID
//   unregistered  no ProgID can be found for the class: the source stays empty
#include <windows.h>

#include <oleauto.h>

#include <cwchar>

#include "server/MolvexECR_ATL.h"
#include "server/TECRFiscObject.h"
#include "server/class_factory.h"
#include "tests/wine/check.h"
#include "tests/wine/exception_checks.h"

int wmain(int argc, wchar_t** argv) {
  const bool registered = argc < 2 || std::wcscmp(argv[1], L"unregistered") != 0;
  const wchar_t* const source = registered ? L"MolvexECR.TECRFisc" : L"";
  CheckCount c;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 90;
  auto* object = new molvex::TECRFiscObject();
  ITECRFisc* fisc = object;

  using exception_checks::CheckDispatchException;
  using exception_checks::CheckVtableException;
  c.Expect(CheckVtableException(fisc, L"10.0.x.1", L"'x' is not a valid decimal number", source,
                                true, c),
           "GetErrorInfo after the vtable call has error information");
  // The message passes the ANSI code page (Windows-1251 here) both ways.
  c.Expect(CheckVtableException(fisc, L"10.\x0428.0.1", L"'\x0428' is not a valid decimal number",
                                source, true, c),
           "GetErrorInfo after a Cyrillic address part");
  CheckDispatchException(fisc, L"", L"'' is not a valid decimal number", source, c);

  fisc->Release();

  // A server started for automation stops when its last object goes: the class object then
  // refuses new objects, which would die with the process.
  molvex::ServerModule& module = molvex::Module();
  module.automation = true;
  module.mainThreadId = GetCurrentThreadId();
  molvex::TECRFiscFactory factory;
  void* made = nullptr;
  c.Expect(factory.CreateInstance(nullptr, IID_ITECRFisc, &made) == S_OK && made != nullptr,
           "the class object makes an object");
  MSG msg;
  c.Expect(!PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE), "no quit while one lives");
  if (made != nullptr) static_cast<ITECRFisc*>(made)->Release();
  c.Expect(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0,
           "the last release posts WM_QUIT");
  made = nullptr;
  c.Expect(factory.CreateInstance(nullptr, IID_ITECRFisc, &made) == CO_E_SERVER_STOPPING &&
               made == nullptr,
           "a stopping server makes no new object");
  CoUninitialize();
  return c.Finish();
}
