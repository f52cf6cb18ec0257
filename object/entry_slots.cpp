// The entries of TTECRFiscImpl, one per row of object/entries.def: each opens the protocol
// trace with its slot and parameters, then runs its body in TECRFiscEntries.
#include "object/TECRFiscImpl.h"
#include "object/entry_trace.h"

namespace molvex {

#define MOLVEX_ENTRY(slot, dispid, kind, name, params)                                            \
  HRESULT STDMETHODCALLTYPE TTECRFiscImpl::MOLVEX_MEMBER(kind, name) MOLVEX_PARAMS_DECL(params) { \
    const EntryTrace trace(ctx.state, slot, MOLVEX_PARAMS_PASS(params));                          \
    return TECRFiscEntries::MOLVEX_MEMBER(kind, name)(MOLVEX_PARAMS_PASS(params));                \
  }
#include "object/entries.def"

}  // namespace molvex
