#include "platform/error_info.h"

#include <objbase.h>
#include <oleauto.h>

namespace molvex {

void PublishErrorInfo(const OLECHAR* description, const GUID& iid, const GUID& clsid,
                      const char* /*progid*/) noexcept {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create)) || create == nullptr) return;
  create->SetGUID(iid);
  LPOLESTR progid = nullptr;
  if (SUCCEEDED(ProgIDFromCLSID(clsid, &progid)) && progid != nullptr) {
    create->SetSource(progid);
    CoTaskMemFree(progid);
  }
  create->SetDescription(const_cast<LPOLESTR>(description));
  create->SetHelpFile(nullptr);
  create->SetHelpContext(0);
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}

void ClearErrorInfo() noexcept {
  SetErrorInfo(0, nullptr);
}

}  // namespace molvex
