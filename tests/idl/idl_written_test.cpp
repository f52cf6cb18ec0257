// The interface block of the IDL is written from the interface table (interface_idl --update),
// never by hand: the checked-in IDL must be what the table gives.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tools/docgen/interface_idl.h"

namespace molvex::test {
namespace {

std::string ReadIdl() {
  std::ifstream in(MOLVEX_IDL_PATH, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(WrittenInterfaceBlock, TheCheckedInIdlIsWhatTheTableGives) {
  const std::string idl = ReadIdl();
  const docs::RenderedIdl rendered = docs::RenderIdl(idl);
  EXPECT_TRUE(rendered.problems.empty());
  EXPECT_EQ(rendered.idl, idl) << "run build/native/tools/docgen/interface_idl --update "
                               << MOLVEX_IDL_PATH;
}

TEST(WrittenInterfaceBlock, AHandEditIsReplacedAndTheRestIsKept) {
  const std::string idl = ReadIdl();
  std::string edited = idl;
  const std::size_t at = edited.find("HRESULT SetComPort(");
  ASSERT_NE(at, std::string::npos);
  edited.replace(at, 19, "HRESULT SetPort(");
  edited.insert(0, "// a note above the library\n");
  const docs::RenderedIdl rendered = docs::RenderIdl(edited);
  EXPECT_EQ(rendered.idl, "// a note above the library\n" + idl);
}

TEST(WrittenInterfaceBlock, AnIdlWithoutTheInterfaceIsAProblem) {
  const docs::RenderedIdl rendered = docs::RenderIdl("library MolvexECR { };\n");
  EXPECT_EQ(rendered.problems.size(), 1u);
  EXPECT_EQ(rendered.idl, "library MolvexECR { };\n");
}

}  // namespace
}  // namespace molvex::test
