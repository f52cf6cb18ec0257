// The automation object held in this process and called directly (ecrfisc, the print service):
// on the process's context, or on a PrinterContext of its own. On Windows the object's class is
// the generated interface, so IUnknown and IDispatch are added here (nothing asks this object for
// another interface or calls it by name); elsewhere it is the object itself.
#pragma once

#include "object/TECRFiscImpl.h"

namespace molvex {

#ifdef _WIN32
// COM interfaces are released through Release, never deleted through the interface, so their
// destructors are not virtual.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// Not final: the print service derives from it an object that owns its printer's context.
class LocalObject : public TTECRFiscImpl {
 public:
  LocalObject() = default;
  explicit LocalObject(PrinterContext& context) : TTECRFiscImpl(context) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(riid, IID_IUnknown) && !IsEqualGUID(riid, IID_IDispatch) &&
        !IsEqualGUID(riid, IID_ITECRFisc)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<ITECRFisc*>(this);
    AddRef();
    return S_OK;
  }
  // Owned by its holder: the count is kept, never acted on.
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs_); }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count != nullptr) *count = 0;
    return count != nullptr ? S_OK : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

 private:
  long refs_ = 1;
};
#pragma GCC diagnostic pop
#else
using LocalObject = TTECRFiscImpl;
#endif

}  // namespace molvex
