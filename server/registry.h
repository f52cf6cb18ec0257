// Private to server/.
// The registry entries of the server, its class and its type library.
#pragma once

#include <windows.h>

#include <string>

namespace molvex {

// Where the entries go: the machine's classes (HKLM\Software\Classes, what HKEY_CLASSES_ROOT
// shows every user) or the current user's (HKCU\Software\Classes, no administrator needed).
enum class RegistrationScope { Machine, User };

// Writes the class, ProgID, interface and type library entries for the executable at exePath,
// in both registry views of 64-bit Windows, so that 32-bit and 64-bit clients find them.
HRESULT RegisterEntries(const std::wstring& exePath,
                        RegistrationScope scope = RegistrationScope::Machine);
// Removes them again from both views; entries already gone are no error.
HRESULT UnregisterEntries(RegistrationScope scope = RegistrationScope::Machine);

}  // namespace molvex
