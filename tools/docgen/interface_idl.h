// The interface block of object/MolvexECR_TLB.idl, written from the interface table (and so from
// object/entries.def): one declaration per slot in slot order, with its dispatch identifier,
// kind and parameters. The rest of the IDL (library, GUIDs, coclass) is written by hand.
#pragma once

#include <string>
#include <vector>

namespace molvex::docs {

// The declarations of every slot, as they stand between the braces of ITECRFisc.
std::string IdlInterfaceBody();

struct RenderedIdl {
  std::string idl;                    // the IDL with a fresh interface block
  std::vector<std::string> problems;  // empty when the block was found
};

// `idl` with the body of "interface ITECRFisc : IDispatch" replaced by IdlInterfaceBody().
RenderedIdl RenderIdl(const std::string& idl);

}  // namespace molvex::docs
