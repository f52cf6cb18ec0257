#include "server/registry.h"

#include <oleauto.h>

#include <string>

#include "MolvexECR_TLB.h"
#include "server/command_line.h"

namespace molvex {
namespace {

constexpr wchar_t kProgId[] = L"MolvexECR.TECRFisc";
constexpr wchar_t kInterfaceName[] = L"ITECRFisc";
// The proxy and stub of a dual interface: the type library marshaler of OLE Automation.
constexpr wchar_t kAutomationMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";
constexpr WORD kLibMajor = 1;
constexpr WORD kLibMinor = 0;
constexpr LCID kLibLcid = 0x409;

// The two views of the registry on 64-bit Windows. Class and interface keys differ between
// them; ProgID and type library keys are shared, and writing them through both views writes
// the same key twice. On 32-bit Windows both flags are ignored and name the one registry.
constexpr REGSAM kViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

constexpr bool kIs64Bit = sizeof(void*) == 8;

struct Root {
  HKEY hive;
  const wchar_t* classes;
};

Root RootOf(RegistrationScope scope) {
  return scope == RegistrationScope::User ? Root{HKEY_CURRENT_USER, L"Software\\Classes"}
                                          : Root{HKEY_LOCAL_MACHINE, L"Software\\Classes"};
}

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring Path(const Root& root, const std::wstring& key) {
  return key.empty() ? std::wstring(root.classes) : std::wstring(root.classes) + L"\\" + key;
}

// Sets the value (default value when name is nullptr) of classes\key in one view.
HRESULT SetText(const Root& root, REGSAM view, const std::wstring& key, const wchar_t* name,
                const std::wstring& data) {
  HKEY handle = nullptr;
  LONG rc = RegCreateKeyExW(root.hive, Path(root, key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE | view, nullptr, &handle, nullptr);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  rc = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes);
  RegCloseKey(handle);
  return HRESULT_FROM_WIN32(rc);
}

// Deletes classes\key with everything below it in one view; a key already gone is no error.
HRESULT DeleteTree(const Root& root, REGSAM view, const std::wstring& key) {
  const auto cut = key.rfind(L'\\');
  const std::wstring parent = cut == std::wstring::npos ? std::wstring() : key.substr(0, cut);
  const std::wstring leaf = cut == std::wstring::npos ? key : key.substr(cut + 1);
  HKEY handle = nullptr;
  LONG rc = RegOpenKeyExW(root.hive, Path(root, parent).c_str(), 0, KEY_ALL_ACCESS | view, &handle);
  if (rc == ERROR_FILE_NOT_FOUND) return S_OK;
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  rc = RegDeleteTreeW(handle, leaf.c_str());
  if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) {
    rc = RegDeleteKeyExW(handle, leaf.c_str(), view, 0);  // some runtimes leave the key itself
    if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
  }
  RegCloseKey(handle);
  return HRESULT_FROM_WIN32(rc);
}

// Deletes classes\key in one view when nothing is left below it.
void DeleteIfEmpty(const Root& root, REGSAM view, const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root.hive, Path(root, key).c_str(), 0, KEY_READ | view, &handle) !=
      ERROR_SUCCESS) {
    return;
  }
  DWORD subkeys = 0;
  DWORD values = 0;
  const LONG rc = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                   &values, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(handle);
  if (rc == ERROR_SUCCESS && subkeys == 0 && values == 0) DeleteTree(root, view, key);
}

std::wstring ShortPath(const std::wstring& path) {
  const DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (n == 0) return std::wstring();
  std::wstring shortPath(n, L'\0');
  const DWORD got = GetShortPathNameW(path.c_str(), shortPath.data(), n);
  if (got == 0 || got >= n) return std::wstring();
  shortPath.resize(got);
  return shortPath;
}

std::wstring VersionText() {
  wchar_t version[16] = {};
  wsprintfW(version, L"%d.%d", kLibMajor, kLibMinor);
  return version;
}

std::wstring TypeLibVersionKey() {
  return L"TypeLib\\" + GuidText(LIBID_MolvexECR) + L"\\" + VersionText();
}

using RegisterTypeLibFn = HRESULT(WINAPI*)(ITypeLib*, LPOLESTR, LPOLESTR);
using UnRegisterTypeLibFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

template <typename Fn>
Fn OleAutFunction(const char* name) {
  HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
  if (oleaut == nullptr) oleaut = LoadLibraryW(L"oleaut32.dll");
  if (oleaut == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(oleaut, name)));
}

std::wstring Directory(const std::wstring& path) {
  const auto cut = path.rfind(L'\\');
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

// The machine's type library registration through the runtime (RegisterTypeLib), which writes
// the keys of the executable's own kind of Windows; WriteView adds the rest.
HRESULT RegisterLibrary(const std::wstring& exePath) {
  auto registerTypeLib = OleAutFunction<RegisterTypeLibFn>("RegisterTypeLib");
  if (registerTypeLib == nullptr) return E_NOTIMPL;
  ITypeLib* lib = nullptr;
  HRESULT hr = LoadTypeLibEx(exePath.c_str(), REGKIND_NONE, &lib);
  if (FAILED(hr)) return hr;
  std::wstring path = exePath;
  hr = registerTypeLib(lib, path.data(), nullptr);
  lib->Release();
  return hr;
}

// The user's type library registration, written here rather than by RegisterTypeLibForUser:
// some runtimes implement that one machine-wide (and its counterpart then removes the machine's
// interface keys). These are the values it writes besides the ones WriteView writes: the
// library's help text, flags and help directory.
HRESULT RegisterUserLibrary(const Root& root, REGSAM view, const std::wstring& exePath) {
  ITypeLib* lib = nullptr;
  HRESULT hr = LoadTypeLibEx(exePath.c_str(), REGKIND_NONE, &lib);
  if (FAILED(hr)) return hr;
  BSTR help = nullptr;
  TLIBATTR* attr = nullptr;
  hr = lib->GetDocumentation(-1, nullptr, &help, nullptr, nullptr);
  if (SUCCEEDED(hr)) hr = lib->GetLibAttr(&attr);
  if (SUCCEEDED(hr)) {
    const std::wstring libKey = TypeLibVersionKey();
    const HRESULT steps[] = {
        SetText(root, view, libKey, nullptr, help != nullptr ? help : L""),
        SetText(root, view, libKey + L"\\FLAGS", nullptr, std::to_wstring(attr->wLibFlags)),
        SetText(root, view, libKey + L"\\HELPDIR", nullptr, Directory(exePath)),
    };
    for (HRESULT step : steps) {
      if (FAILED(step) && SUCCEEDED(hr)) hr = step;
    }
    lib->ReleaseTLibAttr(attr);
  }
  SysFreeString(help);
  lib->Release();
  return hr;
}

void UnregisterLibrary() {
  auto unRegisterTypeLib = OleAutFunction<UnRegisterTypeLibFn>("UnRegisterTypeLib");
  if (unRegisterTypeLib == nullptr) return;
  unRegisterTypeLib(LIBID_MolvexECR, kLibMajor, kLibMinor, kLibLcid,
                    kIs64Bit ? SYS_WIN64 : SYS_WIN32);
}

// The entries of one view. The executable carries the type library for its own kind of
// Windows as resource 1 (the executable's path names it) and the other kind's as resource 2.
HRESULT WriteView(const Root& root, REGSAM view, const std::wstring& exePath, ClassUse use) {
  const std::wstring clsid = GuidText(CLSID_TECRFisc);
  const std::wstring libid = GuidText(LIBID_MolvexECR);
  const std::wstring classKey = L"CLSID\\" + clsid;
  const std::wstring interfaceKey = L"Interface\\" + GuidText(IID_ITECRFisc);
  const std::wstring libKey = TypeLibVersionKey();
  const std::wstring win64Path = kIs64Bit ? exePath : exePath + L"\\2";
  const std::wstring win32Path = kIs64Bit ? exePath + L"\\2" : exePath;
  const std::wstring lcid = L"\\409";

  const HRESULT steps[] = {
      SetText(root, view, classKey, nullptr, L""),
      SetText(root, view, classKey + L"\\LocalServer32", nullptr,
              LocalServerCommand(exePath, ShortPath(exePath), use)),
      SetText(root, view, classKey + L"\\LocalServer32", L"ThreadingModel", L"Apartment"),
      SetText(root, view, kProgId, nullptr, L""),
      SetText(root, view, std::wstring(kProgId) + L"\\CLSID", nullptr, clsid),
      SetText(root, view, classKey + L"\\ProgID", nullptr, kProgId),
      SetText(root, view, classKey + L"\\Version", nullptr, VersionText()),
      SetText(root, view, classKey + L"\\Typelib", nullptr, libid),
      // The interface as the runtime registers it with the type library, for the other view.
      SetText(root, view, interfaceKey, nullptr, kInterfaceName),
      SetText(root, view, interfaceKey + L"\\ProxyStubClsid", nullptr, kAutomationMarshaler),
      SetText(root, view, interfaceKey + L"\\ProxyStubClsid32", nullptr, kAutomationMarshaler),
      SetText(root, view, interfaceKey + L"\\TypeLib", nullptr, libid),
      SetText(root, view, interfaceKey + L"\\TypeLib", L"Version", VersionText()),
      // Each kind of client loads the type library made for it. The typelib marshaler of some
      // runtimes looks under the neutral locale only; the library's own locale is 0x409, so
      // the same paths go under "0" as well.
      SetText(root, view, libKey + lcid + L"\\win64", nullptr, win64Path),
      SetText(root, view, libKey + lcid + L"\\win32", nullptr, win32Path),
      SetText(root, view, libKey + L"\\0\\win64", nullptr, win64Path),
      SetText(root, view, libKey + L"\\0\\win32", nullptr, win32Path),
  };
  for (HRESULT hr : steps) {
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT DeleteView(const Root& root, REGSAM view) {
  const std::wstring libRoot = L"TypeLib\\" + GuidText(LIBID_MolvexECR);
  const HRESULT steps[] = {
      DeleteTree(root, view, L"CLSID\\" + GuidText(CLSID_TECRFisc)),
      DeleteTree(root, view, kProgId),
      DeleteTree(root, view, L"Interface\\" + GuidText(IID_ITECRFisc)),
      DeleteTree(root, view, TypeLibVersionKey()),
  };
  DeleteIfEmpty(root, view, libRoot);  // other versions of the library stay
  for (HRESULT hr : steps) {
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace

HRESULT RegisterEntries(const std::wstring& exePath, RegistrationScope scope, ClassUse use) {
  const bool user = scope == RegistrationScope::User;
  HRESULT hr = user ? S_OK : RegisterLibrary(exePath);
  if (FAILED(hr)) return hr;
  const Root root = RootOf(scope);
  for (REGSAM view : kViews) {
    hr = WriteView(root, view, exePath, use);
    if (SUCCEEDED(hr) && user) hr = RegisterUserLibrary(root, view, exePath);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT UnregisterEntries(RegistrationScope scope) {
  if (scope == RegistrationScope::Machine) UnregisterLibrary();
  const Root root = RootOf(scope);
  HRESULT result = S_OK;
  for (REGSAM view : kViews) {
    const HRESULT hr = DeleteView(root, view);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  return result;
}

}  // namespace molvex
