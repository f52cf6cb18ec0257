#include "platform/error_info.h"

#include <objbase.h>
#include <oleauto.h>

#include "platform/text_codec.h"

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

namespace {

std::string Utf8Of(BSTR text) {
  return text == nullptr ? std::string() : WideToUtf8(text, SysStringLen(text));
}

}  // namespace

bool TakeErrorInfo(ErrorInfoRecord& out) {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return false;
  BSTR description = nullptr;
  BSTR source = nullptr;
  info->GetDescription(&description);
  info->GetSource(&source);
  info->GetGUID(&out.guid);
  out.description = Utf8Of(description);
  out.source = Utf8Of(source);
  SysFreeString(description);
  SysFreeString(source);
  info->Release();
  return true;
}

void ClearErrorInfo() noexcept {
  SetErrorInfo(0, nullptr);
}

}  // namespace molvex
