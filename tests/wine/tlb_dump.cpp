// Prints the type library carried by an executable (or a .tlb): the library, the interface
// and the class with their flags and help texts, then one line per vtable slot of the
// interface: "slot <n> <name> <method|propget|propput> <dispid>
// [<param>:<type>:<in|out|retval>]..." Usage: tlb_dump <path>
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <string>

namespace {

std::string Narrow(const wchar_t* text) {
  if (text == nullptr) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

const char* TypeName(VARTYPE vt) {
  switch (vt) {
    case VT_INT:
      return "INT";
    case VT_I4:
      return "I4";
    case VT_I1:
      return "I1";
    case VT_UI1:
      return "UI1";
    case VT_R8:
      return "R8";
    case VT_BOOL:
      return "BOOL";
    case VT_BSTR:
      return "BSTR";
    case VT_HRESULT:
      return "HRESULT";
    default:
      return "OTHER";
  }
}

std::string ParamType(const TYPEDESC& desc) {
  if (desc.vt == VT_PTR && desc.lptdesc != nullptr)
    return std::string(TypeName(desc.lptdesc->vt)) + "*";
  return TypeName(desc.vt);
}

const char* Direction(USHORT flags) {
  if (flags & PARAMFLAG_FRETVAL) return "retval";
  if (flags & PARAMFLAG_FOUT) return "out";
  return "in";
}

const char* Kind(INVOKEKIND kind) {
  switch (kind) {
    case INVOKE_FUNC:
      return "method";
    case INVOKE_PROPERTYGET:
      return "propget";
    case INVOKE_PROPERTYPUT:
      return "propput";
    default:
      return "propputref";
  }
}

std::string Flags(WORD flags) {
  std::string out;
  const struct {
    WORD bit;
    const char* name;
  } known[] = {{TYPEFLAG_FDUAL, "dual"},
               {TYPEFLAG_FOLEAUTOMATION, "oleautomation"},
               {TYPEFLAG_FDISPATCHABLE, "dispatchable"},
               {TYPEFLAG_FCANCREATE, "creatable"}};
  for (const auto& k : known) {
    if (flags & k.bit) out += (out.empty() ? "" : ",") + std::string(k.name);
  }
  return out.empty() ? "none" : out;
}

std::string Help(ITypeLib* lib, int index) {
  BSTR name = nullptr;
  BSTR help = nullptr;
  lib->GetDocumentation(index, &name, &help, nullptr, nullptr);
  std::string out = Narrow(name) + " help=\"" + Narrow(help) + "\"";
  SysFreeString(name);
  SysFreeString(help);
  return out;
}

void PrintSlots(ITypeInfo* info, const TYPEATTR& attr) {
  for (UINT i = 0; i < attr.cFuncs; ++i) {
    FUNCDESC* func = nullptr;
    if (FAILED(info->GetFuncDesc(i, &func))) continue;
    BSTR names[32] = {};
    UINT count = 0;
    info->GetNames(func->memid, names, 32, &count);
    std::printf("slot %d %s %s %ld", func->oVft / static_cast<int>(sizeof(void*)) - 6,
                Narrow(names[0]).c_str(), Kind(func->invkind), static_cast<long>(func->memid));
    for (SHORT p = 0; p < func->cParams; ++p) {
      const ELEMDESC& elem = func->lprgelemdescParam[p];
      const std::string name = (p + 1 < static_cast<SHORT>(count)) ? Narrow(names[p + 1]) : "?";
      std::printf(" %s:%s:%s", name.c_str(), ParamType(elem.tdesc).c_str(),
                  Direction(elem.paramdesc.wParamFlags));
    }
    std::printf("\n");
    for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
    info->ReleaseFuncDesc(func);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::printf("usage: tlb_dump <path>\n");
    return 2;
  }
  ITypeLib* lib = nullptr;
  if (FAILED(LoadTypeLibEx(argv[1], REGKIND_NONE, &lib))) {
    std::printf("cannot load a type library from the path\n");
    return 1;
  }
  TLIBATTR* libAttr = nullptr;
  lib->GetLibAttr(&libAttr);
  std::printf("library %s version=%d.%d lcid=0x%lx\n", Help(lib, -1).c_str(), libAttr->wMajorVerNum,
              libAttr->wMinorVerNum, static_cast<unsigned long>(libAttr->lcid));
  lib->ReleaseTLibAttr(libAttr);

  for (UINT t = 0; t < lib->GetTypeInfoCount(); ++t) {
    ITypeInfo* info = nullptr;
    if (FAILED(lib->GetTypeInfo(t, &info))) continue;
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    const char* kind = attr->typekind == TKIND_COCLASS     ? "coclass"
                       : attr->typekind == TKIND_DISPATCH  ? "dispinterface"
                       : attr->typekind == TKIND_INTERFACE ? "interface"
                                                           : "other";
    std::printf("%s %s flags=%s\n", kind, Help(lib, static_cast<int>(t)).c_str(),
                Flags(attr->wTypeFlags).c_str());
    if (attr->typekind == TKIND_DISPATCH) {
      // A dual interface: its vtable description is implemented type -1.
      HREFTYPE ref = 0;
      ITypeInfo* vtable = nullptr;
      if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
          SUCCEEDED(info->GetRefTypeInfo(ref, &vtable))) {
        TYPEATTR* vattr = nullptr;
        vtable->GetTypeAttr(&vattr);
        std::printf("vtable functions=%d flags=%s\n", vattr->cFuncs,
                    Flags(vattr->wTypeFlags).c_str());
        PrintSlots(vtable, *vattr);
        vtable->ReleaseTypeAttr(vattr);
        vtable->Release();
      }
    }
    info->ReleaseTypeAttr(attr);
    info->Release();
  }
  lib->Release();
  return 0;
}
