// The server module: lock count, class object, self-registration and the start-up switches.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace molvex {

struct ServerModule {
  DWORD mainThreadId = 0;
  LONG lockCount = 0;       // live objects plus explicit server locks
  bool running = true;      // false once a register/unregister switch has been handled
  bool automation = false;  // started with "AUTOMATION": end when the last lock goes
  bool stopping = false;    // the end is under way: the class object creates no more objects
  DWORD classCookie = 0;
  int exitCode = 0;
};

ServerModule& Module();

// Initialises the module for the current thread and handles the switches; afterwards
// Module().running tells whether to serve.
void InitModule(const std::vector<std::wstring>& args);

LONG ModuleLock();
// Posts WM_QUIT to the main thread at 0 in an "AUTOMATION" server, which then stops.
LONG ModuleUnlock();

HRESULT RegisterServer();
HRESULT UnregisterServer();

HRESULT RegisterClassObject();
void RevokeClassObject();

std::wstring ExecutablePath();

}  // namespace molvex
