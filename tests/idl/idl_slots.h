// Reads the interface description text and lists the slots of ITECRFisc, one line each, in
// the form the type library dump under Wine prints:
//   "slot <n> <name> <method|propget|propput> <dispid> <param>:<type>:<in|out|retval> ..."
// with the automation type names INT, I4, I1, UI1, R8, BOOL, BSTR and "*" for a pointer.
#pragma once

#include <string>
#include <vector>

namespace molvex::test {

// Throws std::runtime_error naming the place when the text is not understood.
std::vector<std::string> IdlSlots(const std::string& idlText, const std::string& interfaceName);

}  // namespace molvex::test
