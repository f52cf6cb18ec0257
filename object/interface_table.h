// The slots of ITECRFisc in vtable order: entry name, kind, dispatch identifier and parameters
// with their automation types, as object/entries.def writes them. The description of the
// interface that code can read at run time: the protocol trace names entries and masks their
// secrets through it, the command-line client calls entries through it, and tests check the IDL
// and the frozen dispatch identifiers against it.
#pragma once

#include <cstddef>
#include <iterator>
#include <span>
#include <string>
#include <string_view>

namespace molvex {

enum class AutoType { Int, I4, I1, UI1, R8, Bool, Bstr };

enum class EntryKind { Method, PropGet, PropPut };

// Retval is the out-value the type library marks [out, retval]; Out a plain [out];
// InRef is an [in] pointer that the entry writes all the same (ClearOperatorPassword).
enum class ParamDir { In, Out, Retval, InRef };

struct ParamInfo {
  std::string_view name;
  AutoType type;
  ParamDir dir;
  bool secret = false;  // a password: the protocol trace shows *** in its place
};

struct SlotInfo {
  int slot;  // 1-based, after the seven slots of IDispatch
  std::string_view name;
  EntryKind kind;
  int dispid;
  std::span<const ParamInfo> params;
};

// The slot numbers, one per row of object/entries.def (110; tests/idl/dispids.txt freezes them).
inline constexpr int kInterfaceSlotNumbers[] = {
#define MOLVEX_ENTRY(slot, dispid, kind, name, params) slot,
#include "object/entries.def"
};
inline constexpr std::size_t kInterfaceSlotCount = std::size(kInterfaceSlotNumbers);

// All slots, slot 1 first.
std::span<const SlotInfo> InterfaceSlots();

// The slot with this name and kind, or nullptr. Names compare exactly.
const SlotInfo* FindSlot(std::string_view name, EntryKind kind);

// "INT", "I4", "I1", "UI1", "R8", "BOOL", "BSTR".
std::string_view AutoTypeName(AutoType type);
// "method", "propget", "propput".
std::string_view EntryKindName(EntryKind kind);

// True for the parameters the caller receives (Out, Retval, InRef).
constexpr bool IsOutput(ParamDir dir) {
  return dir != ParamDir::In;
}

// One line per slot: "slot <n> <name> <kind> <dispid> <param>:<type>[*]:<in|out|retval> ...",
// pointer parameters marked with "*". The same form the type-library checks print.
std::string SlotLine(const SlotInfo& slot);

}  // namespace molvex
