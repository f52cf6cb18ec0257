#include "tools/docgen/interface_idl.h"

#include <cstdio>
#include <string_view>

#include "object/interface_table.h"

namespace molvex::docs {
namespace {

constexpr std::string_view kOpen = "  interface ITECRFisc : IDispatch\n  {\n";
constexpr std::string_view kClose = "\n  };\n";
constexpr std::string_view kNotice =
    "    // Written from object/entries.def by interface_idl --update: edit the rows there.\n";

std::string_view IdlType(AutoType type) {
  switch (type) {
    case AutoType::Int:
      return "int";
    case AutoType::I4:
      return "long";
    case AutoType::I1:
      return "char";
    case AutoType::UI1:
      return "unsigned char";
    case AutoType::R8:
      return "double";
    case AutoType::Bool:
      return "VARIANT_BOOL";
    case AutoType::Bstr:
      return "BSTR";
  }
  return "?";
}

std::string_view IdlDirection(ParamDir dir) {
  switch (dir) {
    case ParamDir::In:
    case ParamDir::InRef:
      return "[in]";
    case ParamDir::Out:
      return "[out]";
    case ParamDir::Retval:
      return "[out, retval]";
  }
  return "?";
}

std::string IdAttribute(const SlotInfo& slot) {
  char id[32];
  std::snprintf(id, sizeof id, "0x%08X", static_cast<unsigned>(slot.dispid));
  std::string text = "    [id(" + std::string(id) + ")";
  if (slot.kind == EntryKind::PropGet) text += ", propget";
  if (slot.kind == EntryKind::PropPut) text += ", propput";
  return text + "]\n";
}

}  // namespace

std::string IdlInterfaceBody() {
  std::string body(kNotice);
  for (const SlotInfo& slot : InterfaceSlots()) {
    body += IdAttribute(slot);
    body += "    HRESULT " + std::string(slot.name) + "(";
    for (std::size_t i = 0; i < slot.params.size(); ++i) {
      const ParamInfo& p = slot.params[i];
      body += "\n        " + std::string(IdlDirection(p.dir)) + " " + std::string(IdlType(p.type));
      if (p.dir != ParamDir::In) body += "*";
      body += " " + std::string(p.name) + (i + 1 < slot.params.size() ? "," : ");");
    }
    if (slot.params.empty()) body += ");";
    body += "\n";
  }
  return body;
}

RenderedIdl RenderIdl(const std::string& idl) {
  const std::size_t open = idl.find(kOpen);
  const std::size_t begin = open == std::string::npos ? open : open + kOpen.size();
  const std::size_t close = begin == std::string::npos ? begin : idl.find(kClose, begin);
  if (close == std::string::npos) {
    return {idl, {"no block \"interface ITECRFisc : IDispatch { ... };\" found"}};
  }
  // The body ends with the newline before the closing brace.
  return {idl.substr(0, begin) + IdlInterfaceBody() + idl.substr(close + 1), {}};
}

}  // namespace molvex::docs
