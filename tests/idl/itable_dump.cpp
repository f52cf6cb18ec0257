// Prints the interface table, one line per slot, in the form of the type library dump
// (tests/wine/tlb_dump), for the end-to-end run to compare with the built type library.
#include <iostream>

#include "object/interface_table.h"

int main() {
  for (const auto& slot : molvex::InterfaceSlots()) std::cout << molvex::SlotLine(slot) << "\n";
  return 0;
}
