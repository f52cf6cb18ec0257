// The server's message filter: it sees every call from another process before the call is
// dispatched on the main thread.
#pragma once

#include <windows.h>

#include <objbase.h>

namespace molvex {

// COM interfaces are released through Release, never deleted through the interface, so
// their destructors are not virtual.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// Tells the module of each incoming call (OnIncomingCall) and accepts it. For calls the server
// makes itself it answers as COM does without a filter: a rejected call is not retried, and
// messages that arrive while a call waits are dispatched.
class IncomingCallFilter final : public IMessageFilter {
 public:
  IncomingCallFilter() = default;
  virtual ~IncomingCallFilter() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount,
                                             LPINTERFACEINFO info) override;
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK callee, DWORD tickCount,
                                            DWORD rejectType) override;
  DWORD STDMETHODCALLTYPE MessagePending(HTASK callee, DWORD tickCount, DWORD pendingType) override;
};
#pragma GCC diagnostic pop

// Registers the filter for the calling thread (the main thread, a single-threaded apartment).
HRESULT InstallCallFilter();
// Puts back the filter that was there before.
void RemoveCallFilter();

}  // namespace molvex
