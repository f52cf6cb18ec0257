#include "server/class_factory.h"

#include <new>

#include "server/MolvexECR_ATL.h"
#include "server/TECRFiscObject.h"

namespace molvex {

HRESULT STDMETHODCALLTYPE TECRFiscFactory::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

// The class object lives as long as the process: it is a static, registered once.
ULONG STDMETHODCALLTYPE TECRFiscFactory::AddRef() {
  return 2;
}
ULONG STDMETHODCALLTYPE TECRFiscFactory::Release() {
  return 1;
}

HRESULT STDMETHODCALLTYPE TECRFiscFactory::CreateInstance(IUnknown* outer, REFIID riid,
                                                          void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  // Once the message loop has been asked to end, an object made now would die with the
  // process under its client; a server per object makes no second one.
  if (!MayCreateObject()) return CO_E_SERVER_STOPPING;
  auto* object = new (std::nothrow) TECRFiscObject();
  if (object == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = object->QueryInterface(riid, out);
  object->Release();  // drops the creation reference; the object ends here when QI failed
  if (SUCCEEDED(hr)) ObjectCreated();
  return hr;
}

HRESULT STDMETHODCALLTYPE TECRFiscFactory::LockServer(BOOL lock) {
  if (lock) {
    ModuleLock();
  } else {
    ModuleUnlock();
  }
  return S_OK;
}

}  // namespace molvex
