#include "server/TECRFiscObject.h"

#include <oleauto.h>

#include "MolvexECR_TLB.h"
#include "server/MolvexECR_ATL.h"
#include "server/type_info.h"

namespace molvex {

TECRFiscObject::TECRFiscObject() {
  ModuleLock();
}

TECRFiscObject::~TECRFiscObject() {
  ModuleUnlock();
}

HRESULT STDMETHODCALLTYPE TECRFiscObject::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID_ITECRFisc)) {
    *out = static_cast<ITECRFisc*>(this);
  } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
    *out = static_cast<ISupportErrorInfo*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TECRFiscObject::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE TECRFiscObject::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE TECRFiscObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = DispatchTypeInfo() != nullptr ? 1 : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TECRFiscObject::GetTypeInfo(UINT index, LCID /*lcid*/, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  ITypeInfo* dispatch = DispatchTypeInfo();
  if (dispatch == nullptr) return TYPE_E_CANTLOADLIBRARY;
  dispatch->AddRef();
  *info = dispatch;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TECRFiscObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count,
                                                        LCID /*lcid*/, DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* vtable = VtableTypeInfo();
  if (vtable == nullptr) return TYPE_E_CANTLOADLIBRARY;
  return DispGetIDsOfNames(vtable, names, count, ids);
}

HRESULT STDMETHODCALLTYPE TECRFiscObject::Invoke(DISPID id, REFIID riid, LCID /*lcid*/, WORD flags,
                                                 DISPPARAMS* params, VARIANT* result,
                                                 EXCEPINFO* excep, UINT* argErr) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* vtable = VtableTypeInfo();
  if (vtable == nullptr) return TYPE_E_CANTLOADLIBRARY;
  return DispInvoke(static_cast<ITECRFisc*>(this), vtable, id, flags, params, result, excep,
                    argErr);
}

HRESULT STDMETHODCALLTYPE TECRFiscObject::InterfaceSupportsErrorInfo(REFIID riid) {
  return IsEqualIID(riid, IID_ITECRFisc) ? S_OK : S_FALSE;
}

}  // namespace molvex
