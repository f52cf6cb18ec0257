// The class object of TECRFisc: creates one automation object per request.
#pragma once

#include <windows.h>

namespace molvex {

// COM interfaces are released through Release, never deleted through the interface, so
// their destructors are not virtual.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TECRFiscFactory final : public IClassFactory {
 public:
  TECRFiscFactory() = default;
  virtual ~TECRFiscFactory() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;
};
#pragma GCC diagnostic pop

}  // namespace molvex
