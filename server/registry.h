// Private to server/.
// The registry entries of the server, its class and its type library.
#pragma once

#include <windows.h>

#include <string>

#include "server/command_line.h"

namespace molvex {

// Where the entries go: the machine's classes (HKLM\Software\Classes, what HKEY_CLASSES_ROOT
// shows every user) or the current user's (HKCU\Software\Classes, no administrator needed).
enum class RegistrationScope { Machine, User };

// Writes the class, ProgID, interface and type library entries for the executable at exePath,
// in both registry views of 64-bit Windows, so that 32-bit and 64-bit clients find them. The
// class's command (LocalServer32) tells how objects are served; registering again replaces it.
HRESULT RegisterEntries(const std::wstring& exePath,
                        RegistrationScope scope = RegistrationScope::Machine,
                        ClassUse use = ClassUse::Shared);
// Removes them again from both views, whichever way objects were served; entries already gone
// are no error.
HRESULT UnregisterEntries(RegistrationScope scope = RegistrationScope::Machine);

}  // namespace molvex
