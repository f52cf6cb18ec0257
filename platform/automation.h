// Automation value types at the object's interface. On Windows these are the system's own
// (BSTR, VARIANT_BOOL, HRESULT and the Sys* string functions of oleaut32). Elsewhere a faithful
// stand-in with the same names and behaviour: BSTR points at UTF-16 text that is preceded by a
// 32-bit byte length and followed by a zero, VARIANT_TRUE is -1, LONG and HRESULT are 32 bits.
#pragma once

#ifdef _WIN32

#include <windows.h>
// oleauto.h needs the types of windows.h first.
#include <oleauto.h>

// The object overrides the entries of the generated interface on Windows.
#define MOLVEX_OVERRIDE override

#else

#include <cstdint>

#define MOLVEX_OVERRIDE
#define STDMETHODCALLTYPE

using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = unsigned int;
using HRESULT = std::int32_t;
using VARIANT_BOOL = short;
using OLECHAR = char16_t;
using BSTR = OLECHAR*;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);

constexpr bool SUCCEEDED(HRESULT hr) {
  return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
  return hr < 0;
}

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}

// A copy of `text` (zero-terminated), or nullptr for nullptr text or when memory runs out.
BSTR SysAllocString(const OLECHAR* text);
// `length` characters copied from `text` (uninitialised when `text` is nullptr) plus a zero.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
// Frees a string of the functions above; nullptr is ignored.
void SysFreeString(BSTR text);
// Length in characters and in bytes, from the prefix; 0 for nullptr.
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

#endif
