// The interface and class identifiers of the native build are those of the type library.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "object/object_ids.h"

namespace molvex {
namespace {

// The uuid(...) attribute that precedes `declaration` in the interface description.
std::string UuidBefore(const std::string& idl, const std::string& declaration) {
  const auto at = idl.find(declaration);
  if (at == std::string::npos) return "<no " + declaration + ">";
  const auto uuid = idl.rfind("uuid(", at);
  if (uuid == std::string::npos) return "<no uuid>";
  return idl.substr(uuid + 5, 36);
}

std::string Text(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

TEST(ObjectIdsTest, MatchTheInterfaceDescription) {
  std::ifstream file(MOLVEX_IDL_PATH);
  ASSERT_TRUE(file) << MOLVEX_IDL_PATH;
  const std::string idl{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  EXPECT_EQ(Text(IID_ITECRFisc), UuidBefore(idl, "interface ITECRFisc : IDispatch"));
  EXPECT_EQ(Text(CLSID_TECRFisc), UuidBefore(idl, "coclass TECRFisc\n"));
  EXPECT_STREQ(kProgId, "MolvexECR.TECRFisc");
}

}  // namespace
}  // namespace molvex
