#include "server/call_filter.h"

#include "server/MolvexECR_ATL.h"

namespace molvex {
namespace {

IncomingCallFilter filter;
IMessageFilter* previous = nullptr;
bool installed = false;

}  // namespace

HRESULT STDMETHODCALLTYPE IncomingCallFilter::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMessageFilter)) {
    *out = static_cast<IMessageFilter*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

// The filter lives as long as the process: it is a static.
ULONG STDMETHODCALLTYPE IncomingCallFilter::AddRef() {
  return 2;
}
ULONG STDMETHODCALLTYPE IncomingCallFilter::Release() {
  return 1;
}

DWORD STDMETHODCALLTYPE IncomingCallFilter::HandleInComingCall(DWORD /*callType*/, HTASK /*caller*/,
                                                               DWORD /*tickCount*/,
                                                               LPINTERFACEINFO /*info*/) {
  OnIncomingCall();
  return SERVERCALL_ISHANDLED;
}

DWORD STDMETHODCALLTYPE IncomingCallFilter::RetryRejectedCall(HTASK /*callee*/, DWORD /*tickCount*/,
                                                              DWORD /*rejectType*/) {
  return static_cast<DWORD>(-1);  // cancel: the call fails with its rejection
}

DWORD STDMETHODCALLTYPE IncomingCallFilter::MessagePending(HTASK /*callee*/, DWORD /*tickCount*/,
                                                           DWORD /*pendingType*/) {
  return PENDINGMSG_WAITDEFPROCESS;
}

HRESULT InstallCallFilter() {
  if (installed) return S_OK;
  const HRESULT hr = CoRegisterMessageFilter(&filter, &previous);
  installed = SUCCEEDED(hr);
  return hr;
}

void RemoveCallFilter() {
  if (!installed) return;
  CoRegisterMessageFilter(previous, nullptr);
  if (previous != nullptr) previous->Release();
  previous = nullptr;
  installed = false;
}

}  // namespace molvex
