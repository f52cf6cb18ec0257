#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/idl/idl_slots.h"

namespace molvex::test {
namespace {

std::string ReadIdl() {
  std::ifstream in(MOLVEX_IDL_PATH);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// The frozen binary interface, tests/idl/dispids.txt: slot, dispatch id, kind (method, propget,
// propput) and name of every slot. Clients compiled against the interface depend on all four.
std::vector<std::vector<std::string>> FrozenSlots() {
  std::ifstream in(MOLVEX_DISPIDS_PATH);
  std::vector<std::vector<std::string>> slots;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.front() != '#') slots.push_back(Words(line));
  }
  return slots;
}

TEST(InterfaceDescription, SlotsKeepTheirOrderDispatchIdsAndKinds) {
  const auto slots = IdlSlots(ReadIdl(), "ITECRFisc");
  const auto frozen = FrozenSlots();
  ASSERT_FALSE(frozen.empty()) << "cannot read " << MOLVEX_DISPIDS_PATH;
  ASSERT_EQ(slots.size(), frozen.size());
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const auto w = Words(slots[i]);
    ASSERT_GE(w.size(), 5u) << slots[i];
    ASSERT_EQ(frozen[i].size(), 4u) << "line " << i + 1 << " of " << MOLVEX_DISPIDS_PATH;
    EXPECT_EQ(w[2], frozen[i][3]) << slots[i];
    EXPECT_EQ(w[4], frozen[i][1]) << slots[i];
    const std::string kind = w[3] == "propget" || w[3] == "propput" ? w[3] : "method";
    EXPECT_EQ(kind, frozen[i][2]) << slots[i];
    if (kind == "propput") {
      EXPECT_EQ(w.size(), 6u) << "a property write takes one value: " << slots[i];
      EXPECT_EQ(w.back().rfind("Value:", 0), 0u) << slots[i];
    } else if (w[2] != "ClearOperatorPassword") {  // its result is declared [in]: see below
      EXPECT_NE(w.back().find(":retval"), std::string::npos)
          << "the last parameter is the return value: " << slots[i];
    }
  }
}

TEST(InterfaceDescription, EntriesWithUnusualParameters) {
  const auto slots = IdlSlots(ReadIdl(), "ITECRFisc");
  const std::string expected[] = {
      "slot 41 ClearOperatorPassword method 40 AdministatorPassword:BSTR:in OperatorNum:I4:in "
      "Result:BOOL*:in",
      "slot 47 Status0 propget 46 Value:I1*:retval",
      "slot 63 GetSerNumber method 61 Number:BSTR*:out Result:I4*:retval",
      "slot 67 SellArticul method 65 NameArt:BSTR:in Price:R8:in Quantity:R8:in Tax:UI1:in "
      "Group:INT:in Password:BSTR:in Perc:R8:in dc:R8:in Result:I4*:retval",
      "slot 106 NewPayment method 96 KSEF:BOOL:in Summa:R8:in TypePmt:INT:in "
      "CodeTrasaction:BSTR:in Result:BOOL*:retval",
  };
  for (const auto& line : expected) {
    EXPECT_NE(std::find(slots.begin(), slots.end(), line), slots.end()) << line;
  }
}

TEST(InterfaceDescription, ReaderRefusesWhatItDoesNotKnow) {
  EXPECT_THROW(IdlSlots("interface ITECRFisc : IDispatch { [id(1)] HRESULT A([in] float x); };",
                        "ITECRFisc"),
               std::runtime_error);
  EXPECT_THROW(IdlSlots("interface Other : IDispatch { };", "ITECRFisc"), std::runtime_error);
}

}  // namespace
}  // namespace molvex::test
