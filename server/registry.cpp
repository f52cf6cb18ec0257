#include "server/registry.h"

#include <oleauto.h>

#include "MolvexECR_TLB.h"
#include "server/command_line.h"

namespace molvex {
namespace {

constexpr wchar_t kProgId[] = L"MolvexECR.TECRFisc";
constexpr WORD kLibMajor = 1;
constexpr WORD kLibMinor = 0;
constexpr LCID kLibLcid = 0x409;

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

// Sets the value (default value when name is nullptr) of HKCR\key, creating the key.
HRESULT SetText(const std::wstring& key, const wchar_t* name, const std::wstring& data) {
  HKEY handle = nullptr;
  LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, &handle, nullptr);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  rc = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes);
  RegCloseKey(handle);
  return HRESULT_FROM_WIN32(rc);
}

HRESULT DeleteTree(HKEY root, const std::wstring& key) {
  const LONG rc = RegDeleteTreeW(root, key.c_str());
  if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) {
    RegDeleteKeyW(root, key.c_str());  // RegDeleteTree leaves the key itself
    return S_OK;
  }
  return HRESULT_FROM_WIN32(rc);
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

std::wstring TypeLibVersionKey() {
  wchar_t version[16] = {};
  wsprintfW(version, L"%d.%d", kLibMajor, kLibMinor);
  return L"TypeLib\\" + GuidText(LIBID_MolvexECR) + L"\\" + version;
}

using RegisterTypeLibFn = HRESULT(WINAPI*)(ITypeLib*, LPCOLESTR, LPCOLESTR);
using UnRegisterTypeLibFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

template <typename Fn>
Fn OleAutFunction(const char* name) {
  HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
  if (oleaut == nullptr) oleaut = LoadLibraryW(L"oleaut32.dll");
  if (oleaut == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(oleaut, name)));
}

HRESULT RegisterLibrary(const std::wstring& exePath) {
  auto registerTypeLib = OleAutFunction<RegisterTypeLibFn>("RegisterTypeLib");
  if (registerTypeLib == nullptr) return E_NOTIMPL;
  ITypeLib* lib = nullptr;
  HRESULT hr = LoadTypeLibEx(exePath.c_str(), REGKIND_NONE, &lib);
  if (FAILED(hr)) return hr;
  hr = registerTypeLib(lib, exePath.c_str(), nullptr);
  lib->Release();
  if (FAILED(hr)) return hr;
  // The typelib marshaler of some runtimes looks for the library under the neutral locale
  // only; the library's own locale is 0x409, so the same path goes under "0" as well.
  return SetText(TypeLibVersionKey() + L"\\0\\win64", nullptr, exePath);
}

void UnregisterLibrary() {
  DeleteTree(HKEY_CLASSES_ROOT, TypeLibVersionKey() + L"\\0");
  auto unRegisterTypeLib = OleAutFunction<UnRegisterTypeLibFn>("UnRegisterTypeLib");
  if (unRegisterTypeLib != nullptr) {
    unRegisterTypeLib(LIBID_MolvexECR, kLibMajor, kLibMinor, kLibLcid, SYS_WIN64);
  }
}

}  // namespace

HRESULT RegisterEntries(const std::wstring& exePath) {
  const std::wstring clsid = GuidText(CLSID_TECRFisc);
  const std::wstring classKey = L"CLSID\\" + clsid;
  wchar_t version[16] = {};
  wsprintfW(version, L"%d.%d", kLibMajor, kLibMinor);

  const HRESULT steps[] = {
      SetText(classKey, nullptr, L""),
      SetText(classKey + L"\\LocalServer32", nullptr,
              LocalServerCommand(exePath, ShortPath(exePath))),
      SetText(classKey + L"\\LocalServer32", L"ThreadingModel", L"Apartment"),
      SetText(kProgId, nullptr, L""),
      SetText(std::wstring(kProgId) + L"\\CLSID", nullptr, clsid),
      SetText(classKey + L"\\ProgID", nullptr, kProgId),
      SetText(classKey + L"\\Version", nullptr, version),
      SetText(classKey + L"\\Typelib", nullptr, GuidText(LIBID_MolvexECR)),
      RegisterLibrary(exePath),
  };
  for (HRESULT hr : steps) {
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT UnregisterEntries() {
  const HRESULT classHr = DeleteTree(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(CLSID_TECRFisc));
  const HRESULT progHr = DeleteTree(HKEY_CLASSES_ROOT, kProgId);
  UnregisterLibrary();
  return FAILED(classHr) ? classHr : progHr;
}

}  // namespace molvex
