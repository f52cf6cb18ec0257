// Each slot of the interface table bound to its member function of TTECRFiscImpl. The parameter
// types of a binding are deduced from the member-function pointer, so a binding cannot drift
// from the C++ signature; BindingMismatches compares them with the table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "object/TECRFiscImpl.h"
#include "object/interface_table.h"
#include "tools/ecrfisc/call_parser.h"

namespace molvex::ecrfisc {

// One C++ parameter: the automation types whose C++ type it is (a bit per AutoType; off Windows
// INT and I4 share `int`) and whether it is a pointer the entry writes through.
struct CppParam {
  unsigned types;
  bool written;
};

// Calls the member with `args` (one per parameter, in-values filled) and stores what the entry
// wrote into `outs` (same size); BSTRs are converted from and to UTF-8 here.
using EntryThunk = HRESULT (*)(TTECRFiscImpl& object, const std::vector<ArgValue>& args,
                               std::vector<ArgValue>& outs);

struct EntryBinding {
  int slot;
  std::string_view name;
  EntryKind kind;
  std::span<const CppParam> params;
  EntryThunk thunk;
};

constexpr unsigned TypeBit(AutoType type) {
  return 1u << static_cast<unsigned>(type);
}

// All bindings, slot 1 first.
std::span<const EntryBinding> EntryBindings();

// Every way in which the bindings disagree with the interface table; empty when they agree.
std::vector<std::string> BindingMismatches();

// Runs the slot's entry on `object`. `args` has one element per parameter of the slot.
HRESULT InvokeSlot(TTECRFiscImpl& object, const SlotInfo& slot, const std::vector<ArgValue>& args,
                   std::vector<ArgValue>& outs);

}  // namespace molvex::ecrfisc
