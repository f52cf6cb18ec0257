// Private to object/.
// Identities of the automation class: the interface and class GUIDs of the type library and the
// ProgID. On Windows the GUIDs come from the code generated from the interface description.
#pragma once

#include "platform/automation.h"

#ifdef _WIN32
#include "MolvexECR_TLB.h"
#else
extern const IID IID_ITECRFisc;
extern const CLSID CLSID_TECRFisc;
#endif

namespace molvex {

inline constexpr const char* kProgId = "MolvexECR.TECRFisc";

}  // namespace molvex
