#include "object/interface_table.h"

#include <array>

#include "object/entry_macros.h"

namespace molvex {
namespace {

using T = AutoType;
using D = ParamDir;
using K = EntryKind;

// One parameter tuple of entries.def as a ParamInfo.
#define MOLVEX_PARAM_INFO(dir, type, name) MOLVEX_PARAM_INFO_##dir(type, name)
#define MOLVEX_PARAM_INFO_In(type, name) \
  ParamInfo {                            \
#name, T::type, D::In, false         \
  }
#define MOLVEX_PARAM_INFO_Secret(type, name) \
  ParamInfo {                                \
#name, T::type, D::In, true              \
  }
#define MOLVEX_PARAM_INFO_Out(type, name) \
  ParamInfo {                             \
#name, T::type, D::Out, false         \
  }
#define MOLVEX_PARAM_INFO_Ret(type, name) \
  ParamInfo {                             \
#name, T::type, D::Retval, false      \
  }
#define MOLVEX_PARAM_INFO_InRef(type, name) \
  ParamInfo {                               \
#name, T::type, D::InRef, false         \
  }

// The parameters of each slot: kParams1, kParams2, ...
#define MOLVEX_ENTRY(slot, dispid, kind, name, params) \
  constexpr ParamInfo kParams##slot[] = {MOLVEX_EACH_PARAM(MOLVEX_PARAM_INFO, params)};
#include "object/entries.def"

constexpr SlotInfo kSlots[] = {
#define MOLVEX_ENTRY(slot, dispid, kind, name, params) \
  {slot, #name, K::kind, dispid, kParams##slot},
#include "object/entries.def"
};
static_assert(std::size(kSlots) == kInterfaceSlotCount);

constexpr bool SlotsNumberedInOrder() {
  for (std::size_t i = 0; i < std::size(kSlots); ++i) {
    if (kSlots[i].slot != static_cast<int>(i) + 1) return false;
  }
  return true;
}
static_assert(SlotsNumberedInOrder());

}  // namespace

std::span<const SlotInfo> InterfaceSlots() {
  return kSlots;
}

const SlotInfo* FindSlot(std::string_view name, EntryKind kind) {
  for (const SlotInfo& s : kSlots) {
    if (s.kind == kind && s.name == name) return &s;
  }
  return nullptr;
}

std::string_view AutoTypeName(AutoType type) {
  switch (type) {
    case T::Int:
      return "INT";
    case T::I4:
      return "I4";
    case T::I1:
      return "I1";
    case T::UI1:
      return "UI1";
    case T::R8:
      return "R8";
    case T::Bool:
      return "BOOL";
    case T::Bstr:
      return "BSTR";
  }
  return "?";
}

std::string_view EntryKindName(EntryKind kind) {
  switch (kind) {
    case K::Method:
      return "method";
    case K::PropGet:
      return "propget";
    case K::PropPut:
      return "propput";
  }
  return "?";
}

std::string SlotLine(const SlotInfo& slot) {
  std::string line = "slot ";
  line += std::to_string(slot.slot);
  line += ' ';
  line += slot.name;
  line += ' ';
  line += EntryKindName(slot.kind);
  line += ' ';
  line += std::to_string(slot.dispid);
  for (const ParamInfo& p : slot.params) {
    line += ' ';
    line += p.name;
    line += ':';
    line += AutoTypeName(p.type);
    if (p.dir != D::In) line += "*";
    line += p.dir == D::Retval ? ":retval" : p.dir == D::Out ? ":out" : ":in";
  }
  return line;
}

}  // namespace molvex
