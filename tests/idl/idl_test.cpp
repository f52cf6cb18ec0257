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

// Published vtable order: dispatch id and kind (m method, g property read, p property write)
// of every slot. Clients compiled against the interface depend on both.
constexpr int kDispIds[] = {
    1,  5,  6,  8,  9,  11, 15, 16, 10, 20, 21, 22, 23, 24, 25, 26, 27, 28, 3,  4,  7,  13,
    17, 17, 18, 18, 12, 19, 29, 30, 31, 32, 33, 34, 37, 38, 14, 35, 36, 39, 40, 41, 42, 43,
    44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 56, 57, 59, 60, 58, 61, 62, 63, 64,
    65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 78, 79, 80, 81, 82, 83, 84, 85, 86, 87,
    89, 77, 77, 88, 88, 90, 90, 91, 91, 92, 92, 93, 93, 94, 94, 95, 95, 96, 97, 98, 99, 100};
constexpr char kKinds[] =
    "mmmmmmgmmmmmmmmmmmmmmmgpgpmmgmmmmmggmmmmmmmmmgggggggmgmmgpgmgmmggpmggmggmmmpggggggggggggggpg"
    "pgpgpgpgpgpgpmmmmm";

TEST(InterfaceDescription, SlotsKeepTheirOrderDispatchIdsAndKinds) {
  const auto slots = IdlSlots(ReadIdl(), "ITECRFisc");
  ASSERT_EQ(slots.size(), std::size(kDispIds));
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const auto w = Words(slots[i]);
    ASSERT_GE(w.size(), 5u) << slots[i];
    EXPECT_EQ(w[4], std::to_string(kDispIds[i])) << slots[i];
    const char kind = w[3] == "propget" ? 'g' : w[3] == "propput" ? 'p' : 'm';
    EXPECT_EQ(kind, kKinds[i]) << slots[i];
    if (kind == 'p') {
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
