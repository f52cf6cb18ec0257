// The server's COM object created inside this process and called through ITECRFisc: the error
// information of an exception exactly as the object leaves it on the calling thread, with no
// proxy in between. The out-of-process clients see the same through their proxies.
// Then the end of a server started for automation, driven through its class object and its
// message filter.
// Usage: inproc_client registered|unregistered
//   registered    the class is registered: the source is its ProgID
//   unregistered  no ProgID can be found for the class: the source stays empty
#include <windows.h>

#include <oleauto.h>

#include <cwchar>

#include "server/MolvexECR_ATL.h"
#include "server/TECRFiscObject.h"
#include "server/call_filter.h"
#include "server/class_factory.h"
#include "tests/wine/check.h"
#include "tests/wine/exception_checks.h"

namespace {

enum class Pumped { Done, Quit, TimedOut };

// Runs the thread's messages (timers included) until `done()` holds after a message, WM_QUIT
// comes or `ms` have passed.
template <typename Done>
Pumped Pump(DWORD ms, Done done) {
  const ULONGLONG until = GetTickCount64() + ms;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return Pumped::Quit;
      DispatchMessageW(&msg);
      if (done()) return Pumped::Done;
    }
    if (GetTickCount64() >= until) return Pumped::TimedOut;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

// True when WM_QUIT came within `ms`.
bool PumpUntilQuit(DWORD ms) {
  return Pump(ms, [] { return false; }) == Pumped::Quit;
}

// A call from another process as the message filter sees it before it is dispatched.
bool IncomingCall(molvex::IncomingCallFilter& filter) {
  return filter.HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr) == SERVERCALL_ISHANDLED;
}

}  // namespace

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
  // The address is kept in the printer's code page (Windows-1251); the message names the same
  // character.
  c.Expect(CheckVtableException(fisc, L"10.\x0428.0.1", L"'\x0428' is not a valid decimal number",
                                source, true, c),
           "GetErrorInfo after a Cyrillic address part");
  CheckDispatchException(fisc, L"", L"'' is not a valid decimal number", source, c);

  fisc->Release();

  // A server started for automation ends once its last object has gone for a while; an object
  // made before then keeps it, and so does a call that arrives while the class object is
  // revoked for the end. Then the class object makes no more objects.
  molvex::ServerModule& module = molvex::Module();
  module.automation = true;
  module.mainThreadId = GetCurrentThreadId();
  c.Expect(SUCCEEDED(molvex::RegisterClassObject()) && module.classCookie != 0,
           "the class object is registered");
  const DWORD cookie = module.classCookie;
  molvex::IncomingCallFilter filter;
  molvex::TECRFiscFactory factory;
  auto make = [&factory]() -> ITECRFisc* {
    void* made = nullptr;
    return factory.CreateInstance(nullptr, IID_ITECRFisc, &made) == S_OK
               ? static_cast<ITECRFisc*>(made)
               : nullptr;
  };
  ITECRFisc* first = make();
  c.Expect(first != nullptr, "the class object makes an object");
  if (first != nullptr) first->Release();
  c.Expect(!PumpUntilQuit(200), "no quit at once after the last release");
  c.Expect(IncomingCall(filter) && module.classCookie == cookie,
           "a call before the revocation leaves the registration as it is");
  ITECRFisc* second = make();  // before the end: the server stays
  c.Expect(second != nullptr, "an object made while the end waits");
  c.Expect(!PumpUntilQuit(2500), "no quit while that object lives");
  if (second != nullptr) second->Release();
  const auto revoked = [&module] { return module.classCookie == 0; };
  c.Expect(Pump(5000, revoked) == Pumped::Done, "the class object is revoked without an object");
  c.Expect(IncomingCall(filter) && module.classCookie != 0,
           "a call that arrives while it is revoked registers the class object again");
  // The end starts over: revoked once more before the quit, not quit with the class registered.
  c.Expect(Pump(5000, revoked) == Pumped::Done, "revoked again after the call, before any quit");
  c.Expect(PumpUntilQuit(5000), "WM_QUIT once no object is left");
  void* late = nullptr;
  c.Expect(factory.CreateInstance(nullptr, IID_ITECRFisc, &late) == CO_E_SERVER_STOPPING &&
               late == nullptr,
           "a server asked to end makes no new object");
  molvex::ReleaseClassObject();
  CoUninitialize();
  return c.Finish();
}
