// The interface table: slot order, dispatch identifiers, kinds and the unusual parameter lists.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "object/interface_table.h"

namespace molvex {
namespace {

TEST(InterfaceTable, SlotsCarryTheirDispatchIdsInVtableOrder) {
  // Dispatch identifiers of slots 1..110.
  constexpr int kDispIds[] = {
      1,  5,  6,  8,  9,  11, 15, 16, 10, 20, 21, 22, 23, 24, 25, 26, 27, 28, 3,  4,  7,  13,
      17, 17, 18, 18, 12, 19, 29, 30, 31, 32, 33, 34, 37, 38, 14, 35, 36, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 56, 57, 59, 60, 58, 61, 62, 63, 64,
      65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 78, 79, 80, 81, 82, 83, 84, 85, 86, 87,
      89, 77, 77, 88, 88, 90, 90, 91, 91, 92, 92, 93, 93, 94, 94, 95, 95, 96, 97, 98, 99, 100};
  const auto slots = InterfaceSlots();
  ASSERT_EQ(slots.size(), std::size(kDispIds));
  ASSERT_EQ(slots.size(), kInterfaceSlotCount);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    EXPECT_EQ(slots[i].slot, static_cast<int>(i) + 1);
    EXPECT_EQ(slots[i].dispid, kDispIds[i]) << slots[i].name;
  }
  EXPECT_EQ(slots.front().name, "GetVerDLL");
  EXPECT_EQ(slots.back().name, "MakeBarcode");
}

TEST(InterfaceTable, NamesKindsAndParameterShapesAreConsistent) {
  std::map<std::string, std::map<EntryKind, int>> byName;
  std::map<int, std::set<std::string>> namesOfId;
  for (const SlotInfo& s : InterfaceSlots()) {
    const std::string name(s.name);
    EXPECT_TRUE(byName[name].emplace(s.kind, s.dispid).second) << name << " twice";
    namesOfId[s.dispid].insert(name);
    ASSERT_FALSE(s.params.empty()) << name;
    switch (s.kind) {
      case EntryKind::PropPut:
        ASSERT_EQ(s.params.size(), 1u) << name;
        EXPECT_EQ(s.params[0].name, "Value");
        EXPECT_EQ(s.params[0].dir, ParamDir::In);
        break;
      case EntryKind::PropGet:
        ASSERT_EQ(s.params.size(), 1u) << name;
        EXPECT_EQ(s.params[0].dir, ParamDir::Retval);
        break;
      case EntryKind::Method:
        // The written value comes last; in-arguments come before it.
        EXPECT_NE(s.params.back().dir, ParamDir::In) << name;
        for (std::size_t i = 0; i + 1 < s.params.size(); ++i) {
          EXPECT_NE(s.params[i].dir, ParamDir::Retval) << name;
        }
        break;
    }
  }
  EXPECT_EQ(byName.size(), 99u);  // 110 slots; 11 properties are both read and written
  for (const auto& [id, names] : namesOfId) {
    EXPECT_EQ(names.size(), 1u) << "dispatch id " << id << " shared by different names";
  }
  for (const auto& [name, kinds] : byName) {
    if (kinds.count(EntryKind::Method) != 0) {
      EXPECT_EQ(kinds.size(), 1u) << name;
    }
    if (kinds.size() == 2) {
      EXPECT_EQ(kinds.at(EntryKind::PropGet), kinds.at(EntryKind::PropPut)) << name;
    }
  }
}

TEST(InterfaceTable, UnusualEntriesAsTheTypeLibraryDescribesThem) {
  const std::map<std::string, std::string> expected = {
      {"ClearOperatorPassword",
       "slot 41 ClearOperatorPassword method 40 AdministatorPassword:BSTR:in OperatorNum:I4:in "
       "Result:BOOL*:in"},
      {"GetSerNumber", "slot 63 GetSerNumber method 61 Number:BSTR*:out Result:I4*:retval"},
      {"SellArticul",
       "slot 67 SellArticul method 65 NameArt:BSTR:in Price:R8:in Quantity:R8:in Tax:UI1:in "
       "Group:INT:in Password:BSTR:in Perc:R8:in dc:R8:in Result:I4*:retval"},
      {"Status0", "slot 47 Status0 propget 46 Value:I1*:retval"},
      {"SetComPort", "slot 2 SetComPort method 5 NumPort:INT:in Speed:INT:in Result:INT*:retval"},
      {"NumbRec", "slot 7 NumbRec propget 15 Value:INT*:retval"},
      {"TotalIdx", "slot 66 TotalIdx propput 64 Value:I4:in"},
      {"NewPayment",
       "slot 106 NewPayment method 96 KSEF:BOOL:in Summa:R8:in TypePmt:INT:in "
       "CodeTrasaction:BSTR:in Result:BOOL*:retval"},
  };
  for (const auto& [name, line] : expected) {
    const SlotInfo* s = FindSlot(name, name == "Status0" || name == "NumbRec" ? EntryKind::PropGet
                                       : name == "TotalIdx"                   ? EntryKind::PropPut
                                                                              : EntryKind::Method);
    ASSERT_NE(s, nullptr) << name;
    EXPECT_EQ(SlotLine(*s), line);
  }
  EXPECT_EQ(FindSlot("TotalIdx", EntryKind::PropGet), nullptr);
  EXPECT_EQ(FindSlot("getverdll", EntryKind::Method), nullptr);  // exact spelling only
}

}  // namespace
}  // namespace molvex
