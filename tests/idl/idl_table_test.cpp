// The interface description and the interface table of the code must not drift apart.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "object/interface_table.h"
#include "tests/idl/idl_slots.h"

namespace molvex::test {
namespace {

TEST(InterfaceDescription, MatchesTheInterfaceTableSlotBySlot) {
  std::ifstream in(MOLVEX_IDL_PATH);
  std::stringstream text;
  text << in.rdbuf();
  const auto idl = IdlSlots(text.str(), "ITECRFisc");
  const auto table = InterfaceSlots();
  ASSERT_EQ(idl.size(), table.size());
  for (std::size_t i = 0; i < idl.size(); ++i) {
    EXPECT_EQ(idl[i], SlotLine(table[i]));
  }
}

}  // namespace
}  // namespace molvex::test
