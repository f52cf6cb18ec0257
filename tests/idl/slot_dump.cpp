// Prints the slots of ITECRFisc in the form of the type library dump (tests/wine/tlb_dump), for
// the end-to-end run to compare with the type library built into the server.
// Usage: slot_dump --idl PATH     the slots as the interface description text declares them
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/idl/idl_slots.h"

int main(int argc, char** argv) {
  if (argc != 3 || std::string(argv[1]) != "--idl") {
    std::cerr << "usage: slot_dump --idl PATH\n";
    return 2;
  }
  std::ifstream in(argv[2]);
  if (!in) {
    std::cerr << "slot_dump: cannot read " << argv[2] << "\n";
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  try {
    for (const auto& line : molvex::test::IdlSlots(text.str(), "ITECRFisc"))
      std::cout << line << "\n";
  } catch (const std::runtime_error& e) {
    std::cerr << "slot_dump: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
