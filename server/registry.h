// The registry entries of the server, its class and its type library.
#pragma once

#include <windows.h>

#include <string>

namespace molvex {

// Writes the class, ProgID and type library entries for the executable at exePath.
HRESULT RegisterEntries(const std::wstring& exePath);
// Removes them again; entries already gone are no error.
HRESULT UnregisterEntries();

}  // namespace molvex
