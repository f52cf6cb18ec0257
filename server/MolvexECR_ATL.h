// The server module: lock count, class object, self-registration and the start-up switches.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "server/command_line.h"
#include "server/registry.h"

namespace molvex {

struct ServerModule {
  DWORD mainThreadId = 0;
  LONG lockCount = 0;               // live objects plus explicit server locks
  bool running = true;              // false once a register/unregister switch has been handled
  bool automation = false;          // started with "AUTOMATION": end when the last lock goes
  bool stopping = false;            // WM_QUIT is posted: the class object creates no more objects
  ClassUse use = ClassUse::Shared;  // "PERCLIENT": this process serves one object only
  bool objectMade = false;          // a server per object has made its object
  DWORD classCookie = 0;
  bool classObjectHeld = false;  // an external lock keeps the class object connected
  int exitCode = 0;
};

ServerModule& Module();

// Initialises the module for the current thread and handles the switches; afterwards
// Module().running tells whether to serve.
void InitModule(const std::vector<std::wstring>& args);

LONG ModuleLock();
// At 0 in an "AUTOMATION" server: starts the end (the main thread's timer revokes the class
// object after a second without objects, then posts WM_QUIT to the main thread). A lock taken
// before the end keeps the server.
LONG ModuleUnlock();

// Before every call from another process is dispatched (the message filter): while the class
// object is revoked for the end, it is registered again and the end starts over.
void OnIncomingCall();

HRESULT RegisterServer(RegistrationScope scope, ClassUse use);
HRESULT UnregisterServer(RegistrationScope scope);

// Whether the class object makes an object now: not once the end has begun, nor a second one in
// a server per object.
bool MayCreateObject();
// After the class object made an object. A server per object takes its class object out of view
// for good, so that the runtime starts a new server for the next object (the single-use
// registration asks the runtime for that; revoking makes it hold whatever the runtime does).
void ObjectCreated();

// Offers the class object to the runtime: for multiple use, or for single use in a server per
// object, which offers it only until its object is made.
HRESULT RegisterClassObject();
void RevokeClassObject();   // no new requests reach the class object
void ReleaseClassObject();  // on the way out: revoked and disconnected

std::wstring ExecutablePath();

}  // namespace molvex
