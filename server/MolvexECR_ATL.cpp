#include "server/MolvexECR_ATL.h"

#include <oleauto.h>

#include "MolvexECR_TLB.h"
#include "server/class_factory.h"
#include "server/command_line.h"
#include "server/registry.h"

namespace molvex {
namespace {

TECRFiscFactory factory;

// The end of an automation server once its last object has gone, in two steps on a timer of
// the main thread. After kIdleMs without an object the class object is revoked, so that a new
// request starts a fresh server instead of reaching this one while it ends. After kDrainMs
// more, requests that were already on their way have arrived; with still no object the message
// loop is asked to end. An object made in between keeps the server serving (the class object
// is registered again).
//
// A request on its way may also be a client that found the class object registered just before
// the revocation and only now asks this server for it: a COM runtime that looks the class up
// first and then asks the server it found (Wine's does) gets no class object from a server that
// has revoked it, and starts no other server either. Any call from another process that arrives
// while the class object is revoked (OnIncomingCall, before the call is dispatched) therefore
// registers it again and starts the end over.
constexpr UINT kIdleMs = 1000;
constexpr UINT kDrainMs = 300;

enum class EndStep { None, Idle, Draining };
EndStep end_step = EndStep::None;
UINT_PTR end_timer = 0;
bool revoked_for_end = false;

void StopEndTimer() {
  if (end_timer != 0) KillTimer(nullptr, end_timer);
  end_timer = 0;
}

void CALLBACK OnEndTimer(HWND, UINT, UINT_PTR, DWORD);

void StartEndTimer(UINT ms) {
  StopEndTimer();
  end_timer = SetTimer(nullptr, 0, ms, OnEndTimer);
}

void CALLBACK OnEndTimer(HWND, UINT, UINT_PTR, DWORD) {
  ServerModule& m = Module();
  StopEndTimer();
  if (m.lockCount > 0 || end_step == EndStep::None) {
    end_step = EndStep::None;
    return;
  }
  if (end_step == EndStep::Idle) {
    revoked_for_end = m.classCookie != 0;
    RevokeClassObject();
    end_step = EndStep::Draining;
    StartEndTimer(kDrainMs);
    return;
  }
  end_step = EndStep::None;
  m.stopping = true;
  PostThreadMessageA(m.mainThreadId, WM_QUIT, 0, 0);
}

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
  m.use = ChooseClassUse(args);
  switch (ChooseAction(args)) {
    case ServerAction::Register:
      m.exitCode = SUCCEEDED(RegisterServer(RegistrationScope::Machine, m.use)) ? 0 : 1;
      m.running = false;
      break;
    case ServerAction::Unregister:
      m.exitCode = SUCCEEDED(UnregisterServer(RegistrationScope::Machine)) ? 0 : 1;
      m.running = false;
      break;
    case ServerAction::RegisterUser:
      m.exitCode = SUCCEEDED(RegisterServer(RegistrationScope::User, m.use)) ? 0 : 1;
      m.running = false;
      break;
    case ServerAction::UnregisterUser:
      m.exitCode = SUCCEEDED(UnregisterServer(RegistrationScope::User)) ? 0 : 1;
      m.running = false;
      break;
    case ServerAction::Serve:
      break;
    case ServerAction::RegisterAndServe:
      RegisterServer(RegistrationScope::Machine, m.use);
      break;
  }
}

LONG ModuleLock() {
  const LONG count = InterlockedIncrement(&Module().lockCount);
  if (end_step != EndStep::None) {
    // An object came while the server was about to end: it goes on serving.
    StopEndTimer();
    if (end_step == EndStep::Draining && revoked_for_end) RegisterClassObject();
    end_step = EndStep::None;
    revoked_for_end = false;
  }
  return count;
}

void OnIncomingCall() {
  if (end_step != EndStep::Draining) return;
  if (revoked_for_end) RegisterClassObject();
  revoked_for_end = false;
  end_step = EndStep::Idle;
  StartEndTimer(kIdleMs);
}

LONG ModuleUnlock() {
  ServerModule& m = Module();
  const LONG left = InterlockedDecrement(&m.lockCount);
  if (left == 0 && m.automation && !m.stopping) {
    end_step = EndStep::Idle;
    StartEndTimer(kIdleMs);
  }
  return left;
}

HRESULT RegisterServer(RegistrationScope scope, ClassUse use) {
  const std::wstring path = ExecutablePath();
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  return RegisterEntries(path, scope, use);
}

HRESULT UnregisterServer(RegistrationScope scope) {
  return UnregisterEntries(scope);
}

bool MayCreateObject() {
  const ServerModule& m = Module();
  return !m.stopping && !(m.use == ClassUse::PerClient && m.objectMade);
}

void ObjectCreated() {
  ServerModule& m = Module();
  if (m.use != ClassUse::PerClient) return;
  m.objectMade = true;
  RevokeClassObject();
}

HRESULT RegisterClassObject() {
  ServerModule& m = Module();
  const bool perClient = m.use == ClassUse::PerClient;
  // The end of a server per object never offers its class object again: the next object is
  // another server's.
  if (perClient && m.objectMade) return S_OK;
  const HRESULT hr = CoRegisterClassObject(
      CLSID_TECRFisc, static_cast<IClassFactory*>(&factory), CLSCTX_LOCAL_SERVER,
      perClient ? REGCLS_SINGLEUSE : REGCLS_MULTIPLEUSE, &m.classCookie);
  // The class object stays reachable after a revocation until the server ends: a client that
  // was handed it just before can still make its object (which keeps the server).
  if (SUCCEEDED(hr) && !m.classObjectHeld) {
    m.classObjectHeld = SUCCEEDED(CoLockObjectExternal(&factory, TRUE, FALSE));
  }
  return hr;
}

void RevokeClassObject() {
  ServerModule& m = Module();
  if (m.classCookie != 0) {
    CoRevokeClassObject(m.classCookie);
    m.classCookie = 0;
  }
}

void ReleaseClassObject() {
  RevokeClassObject();
  ServerModule& m = Module();
  if (m.classObjectHeld) {
    CoLockObjectExternal(&factory, FALSE, TRUE);
    m.classObjectHeld = false;
  }
}

}  // namespace molvex
