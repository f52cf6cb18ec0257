#include "server/type_info.h"

#include <oleauto.h>

#include "MolvexECR_TLB.h"
#include "server/MolvexECR_ATL.h"

namespace molvex {
namespace {

struct TypeInfos {
  ITypeInfo* dispatch = nullptr;
  ITypeInfo* vtable = nullptr;
};

TypeInfos Load() {
  TypeInfos infos;
  ITypeLib* lib = nullptr;
  if (FAILED(LoadTypeLibEx(ExecutablePath().c_str(), REGKIND_NONE, &lib))) return infos;
  if (SUCCEEDED(lib->GetTypeInfoOfGuid(IID_ITECRFisc, &infos.dispatch))) {
    // For a dual interface the library holds a dispatch description; the vtable description
    // is the one it refers to as implemented type -1.
    HREFTYPE ref = 0;
    if (SUCCEEDED(infos.dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref))) {
      infos.dispatch->GetRefTypeInfo(ref, &infos.vtable);
    }
  }
  lib->Release();
  return infos;
}

const TypeInfos& Infos() {
  static const TypeInfos infos = Load();  // held for the life of the process
  return infos;
}

}  // namespace

ITypeInfo* DispatchTypeInfo() {
  return Infos().dispatch;
}
ITypeInfo* VtableTypeInfo() {
  return Infos().vtable;
}

}  // namespace molvex
