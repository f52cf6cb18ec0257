// The binary interface is frozen: the slots of the interface table, their order and dispatch
// identifiers, against the snapshot tests/idl/dispids.txt.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "object/interface_table.h"

namespace molvex::test {
namespace {

std::string DispidLine(const SlotInfo& slot) {
  return std::to_string(slot.slot) + " " + std::to_string(slot.dispid) + " " +
         std::string(EntryKindName(slot.kind)) + " " + std::string(slot.name);
}

std::vector<std::string> SnapshotLines() {
  std::ifstream in(MOLVEX_DISPIDS_PATH);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.front() != '#') lines.push_back(line);
  }
  return lines;
}

TEST(FrozenDispatchIdentifiers, EverySlotKeepsItsPlaceKindNameAndDispid) {
  const auto snapshot = SnapshotLines();
  const auto table = InterfaceSlots();
  ASSERT_FALSE(snapshot.empty()) << "cannot read " << MOLVEX_DISPIDS_PATH;
  for (std::size_t i = 0; i < snapshot.size() && i < table.size(); ++i) {
    EXPECT_EQ(DispidLine(table[i]), snapshot[i])
        << "slot " << i + 1 << " differs from the frozen interface";
  }
  EXPECT_EQ(table.size(), snapshot.size())
      << "slots are only appended, to object/entries.def and to the snapshot together";
}

TEST(FrozenDispatchIdentifiers, AKindAndNameHaveOneDispidAndADispidOneName) {
  const auto table = InterfaceSlots();
  for (std::size_t i = 0; i < table.size(); ++i) {
    for (std::size_t k = i + 1; k < table.size(); ++k) {
      const SlotInfo& a = table[i];
      const SlotInfo& b = table[k];
      EXPECT_FALSE(a.name == b.name && a.kind == b.kind)
          << "slot " << b.slot << " repeats " << a.slot;
      EXPECT_EQ(a.name == b.name, a.dispid == b.dispid)
          << "slots " << a.slot << " and " << b.slot << ": a property's read and write share its "
          << "dispid, no other two slots do";
    }
  }
}

}  // namespace
}  // namespace molvex::test
