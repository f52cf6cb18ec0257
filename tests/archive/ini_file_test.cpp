// The INI reading beneath the settings: the semantics of the Windows profile functions.
#include <cstring>

#include "platform/ini_file.h"
#include "tests/archive/settings_dir_fixture.h"

namespace molvex::testing {
namespace {

class IniFileTest : public SettingsDirTest {
 protected:
  std::string Read(const char* section, const char* key, const char* fallback,
                   std::uint32_t size = 64) {
    std::string buffer(size + 8, '#');
    const std::uint32_t n =
        ReadIniString(section, key, fallback, buffer.data(), size, File().c_str());
    EXPECT_EQ(buffer[n], '\0');
    EXPECT_EQ(buffer[size], '#') << "written past the buffer";
    EXPECT_EQ(std::strlen(buffer.c_str()), n);
    return buffer.substr(0, n);
  }
};

TEST_F(IniFileTest, LooksUpLikeTheProfileFunctions) {
  Write(
      "[Main]\n"
      "Key=value\n"
      "\n"
      "; Comment=not a key\n"
      "   \n"
      "Empty=\n"
      "Spaced =  inner blanks  \n"
      "Quoted=\"with quotes\"\n"
      "key=second occurrence\n"
      "  Indented = found\n"
      "Path=C:\\ECR ;not a comment\n"
      "a:b=colon in the name\n"
      "[Other]\n"
      "Key=other value\n");
  EXPECT_EQ(Read("Main", "Key", "d"), "value");
  EXPECT_EQ(Read("MAIN", "kEY", "d"), "value");  // names without regard to case; first wins
  EXPECT_EQ(Read("Main", "Empty", "d"), "");
  EXPECT_EQ(Read("Main", "Spaced", "d"), "inner blanks");
  EXPECT_EQ(Read("Main", "Quoted", "d"), "with quotes");
  EXPECT_EQ(Read("Other", "Key", "d"), "other value");
  EXPECT_EQ(Read("Main", "Indented", "d"), "found");
  EXPECT_EQ(Read("Main", "Path", "d"), "C:\\ECR ;not a comment");
  EXPECT_EQ(Read("Main", "a:b", "d"), "colon in the name");
  EXPECT_EQ(Read("Main", "Missing", "d"), "d");
  EXPECT_EQ(Read("Main", "; Comment", "d"), "d");
  EXPECT_EQ(Read("Nowhere", "Key", "fallback"), "fallback");
  EXPECT_EQ(Read("Main", "Missing", nullptr), "");
}

TEST_F(IniFileTest, CutsToTheBuffer) {
  Write("[S]\nK=0123456789\nLong=" + std::string(300, 'L') + "\n");
  EXPECT_EQ(Read("S", "Long", "", 500), std::string(300, 'L'));
  EXPECT_EQ(Read("S", "Long", "", 251), std::string(250, 'L'));
  EXPECT_EQ(Read("S", "K", "", 10), "012345678");
  EXPECT_EQ(Read("S", "K", "", 11), "0123456789");
  EXPECT_EQ(Read("S", "K", "", 1), "");
  EXPECT_EQ(Read("S", "Missing", "abcdef", 4), "abc");
  char untouched = 'x';
  EXPECT_EQ(ReadIniString("S", "K", "", &untouched, 0, File().c_str()), 0u);
  EXPECT_EQ(untouched, 'x');
}

TEST_F(IniFileTest, HostileFilesGiveDefaultsOrValuesNeverOverruns) {
  const std::string cases[] = {
      "",                                         // empty file
      std::string("\0\0\0[S]\nK", 8),             // zeros and a line without "="
      "[S\nK=broken section\n",                   // unterminated section header
      std::string(5000, 'x') + "\n[S]\nK=ok\n",   // a line far beyond any line buffer
      "[S]\nK=" + std::string(5000, 'v') + "\n",  // a value far beyond the buffer
      "\xEF\xBB\xBF[S]\r\nK=crlf\r\n",            // byte order mark and CR LF
  };
  for (const std::string& text : cases) {
    Write(text);
    const std::string value = Read("S", "K", "d", 32);
    EXPECT_LE(value.size(), 31u);
  }
  Write("\xEF\xBB\xBF[S]\r\nK=crlf\r\n");
  EXPECT_EQ(Read("S", "K", "d"), "crlf");
  std::filesystem::remove(File());
  EXPECT_EQ(Read("S", "K", "no file"), "no file");
}

}  // namespace
}  // namespace molvex::testing
