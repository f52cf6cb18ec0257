// TTECRFiscImpl: the automation object. One public method per slot of ITECRFisc, in slot
// order, with the names, parameters and automation types of the type library, all produced from
// the rows of object/entries.def; property reads are get_<Name>, property writes put_<Name>.
// Every method returns an HRESULT (0 in all ordinary cases) and gives its functional result
// through its last pointer parameter.
//
// Each method traces the call (object/entry_slots.cpp) and runs the body of the same name in
// TECRFiscEntries; the entries_*.cpp files define those bodies.
//
// On Windows the class derives from the generated ITECRFisc and the server's COM class adds
// IUnknown and IDispatch. Elsewhere it is a plain native object with the same methods.
// The object keeps no data of its own: every instance works on a PrinterContext, by default the
// process's (object/printer_context.h).
#pragma once

#include "object/entry_macros.h"
#include "object/printer_context.h"
#include "platform/automation.h"

#ifdef _WIN32
#include "MolvexECR_TLB.h"
#endif

namespace molvex {

#ifdef _WIN32
using TTECRFiscBase = ::ITECRFisc;
#else
class TTECRFiscBase {
 public:
  virtual ~TTECRFiscBase() = default;
};
#endif

#ifdef _WIN32
// COM interfaces are released through Release, never deleted through the interface, so their
// destructors are not virtual; this class's own destructor is.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
// The bodies of the entries, one per slot, with the members' names and parameters.
class TECRFiscEntries {
 public:
  explicit TECRFiscEntries(PrinterContext& context) : ctx(context) {}

#define MOLVEX_ENTRY(slot, dispid, kind, name, params) \
  HRESULT STDMETHODCALLTYPE MOLVEX_MEMBER(kind, name) MOLVEX_PARAMS_DECL(params);
#include "object/entries.def"

 protected:
  PrinterContext& ctx;  // the printer the entries run against
};

class TTECRFiscImpl : public TTECRFiscBase, private TECRFiscEntries {
 public:
  // An object on the process's context: every such object of a process shares its port and state.
  TTECRFiscImpl() : TECRFiscEntries(PrinterContext::Process()) {}
  // An object on `context`: its own printer, link, state and settings.
  explicit TTECRFiscImpl(PrinterContext& context) : TECRFiscEntries(context) {}
  virtual ~TTECRFiscImpl() = default;
  TTECRFiscImpl(const TTECRFiscImpl&) = delete;
  TTECRFiscImpl& operator=(const TTECRFiscImpl&) = delete;

#define MOLVEX_ENTRY(slot, dispid, kind, name, params) \
  HRESULT STDMETHODCALLTYPE MOLVEX_MEMBER(kind, name) MOLVEX_PARAMS_DECL(params) MOLVEX_OVERRIDE;
#include "object/entries.def"
};
#ifdef _WIN32
#pragma GCC diagnostic pop
#endif

}  // namespace molvex
