// Private to server/.
// The type information of ITECRFisc, loaded once from the type library in the executable.
#pragma once

#include <windows.h>

namespace molvex {

// The dispatch view (what GetTypeInfo hands to clients) and the vtable view (what DispInvoke
// calls through). nullptr when the type library cannot be loaded.
ITypeInfo* DispatchTypeInfo();
ITypeInfo* VtableTypeInfo();

}  // namespace molvex
