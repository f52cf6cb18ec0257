// The automation object served to clients: IUnknown, IDispatch (through the type library
// carried by the executable) and ISupportErrorInfo around the interface entries of
// TTECRFiscImpl.
#pragma once

#include <windows.h>

#include "object/TECRFiscImpl.h"

namespace molvex {

// COM interfaces are released through Release, never deleted through the interface, so
// their destructors are not virtual.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TECRFiscObject final : public TTECRFiscImpl, public ISupportErrorInfo {
 public:
  TECRFiscObject();   // takes a module lock and holds one reference
  ~TECRFiscObject();  // gives the lock back

  TECRFiscObject(const TECRFiscObject&) = delete;
  TECRFiscObject& operator=(const TECRFiscObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                   UINT* argErr) override;

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

 private:
  LONG refs_ = 1;
};
#pragma GCC diagnostic pop

}  // namespace molvex
