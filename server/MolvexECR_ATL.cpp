#include "server/MolvexECR_ATL.h"

#include <oleauto.h>

#include "MolvexECR_TLB.h"
#include "server/class_factory.h"
#include "server/command_line.h"
#include "server/registry.h"

namespace molvex {
namespace {

TECRFiscFactory factory;

}  // namespace

ServerModule& Module() {
  static ServerModule module;
  return module;
}

std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::wstring();
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
}

void InitModule(const std::vector<std::wstring>& args) {
  ServerModule& m = Module();
  m.mainThreadId = GetCurrentThreadId();
  m.automation = HasSwitch(args, L"AUTOMATION");
  switch (ChooseAction(args)) {
    case ServerAction::Register:
      m.exitCode = SUCCEEDED(RegisterServer()) ? 0 : 1;
      m.running = false;
      break;
    case ServerAction::Unregister:
      m.exitCode = SUCCEEDED(UnregisterServer()) ? 0 : 1;
      m.running = false;
      break;
    case ServerAction::Serve:
      break;
    case ServerAction::RegisterAndServe:
      RegisterServer();
      break;
  }
}

LONG ModuleLock() {
  return InterlockedIncrement(&Module().lockCount);
}

LONG ModuleUnlock() {
  ServerModule& m = Module();
  const LONG left = InterlockedDecrement(&m.lockCount);
  if (left == 0 && m.automation) {
    m.stopping = true;
    PostThreadMessageA(m.mainThreadId, WM_QUIT, 0, 0);
  }
  return left;
}

HRESULT RegisterServer() {
  const std::wstring path = ExecutablePath();
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  return RegisterEntries(path);
}

HRESULT UnregisterServer() {
  return UnregisterEntries();
}

HRESULT RegisterClassObject() {
  return CoRegisterClassObject(CLSID_TECRFisc, static_cast<IClassFactory*>(&factory),
                               CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &Module().classCookie);
}

void RevokeClassObject() {
  if (Module().classCookie != 0) {
    CoRevokeClassObject(Module().classCookie);
    Module().classCookie = 0;
  }
}

}  // namespace molvex
