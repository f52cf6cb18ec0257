// Files that must survive a crash: the durable write beneath the Z archive and its spool, and
// the spool file's own form.
#include <filesystem>
#include <fstream>

#include "archive/z_spool.h"
#include "platform/durable_file.h"
#include "tests/archive/settings_dir_fixture.h"
#include "tests/support/file_bytes.h"

namespace molvex::testing {
namespace {

using testsupport::FileBytes;

// Files of `dir`, sorted.
std::vector<std::string> Names(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

const char* failing_step = "";
bool FailStep(const char* step, const std::string& /*path*/) {
  return std::string_view(step) != failing_step;
}

class DurableFileTest : public SettingsDirTest {
 protected:
  void TearDown() override {
    SetWriteStepHook(nullptr);
    SettingsDirTest::TearDown();
  }
};

TEST_F(DurableFileTest, AFileIsWrittenWholeAndNeverReplaced) {
  const std::string path = (dir / "a.zre").string();
  const std::string data("line\nzero\0byte\n", 15);
  ASSERT_EQ(WriteNewFileDurably(path, data, FileMode::Text), NewFile::Written);
  EXPECT_EQ(FileBytes(dir / "a.zre"), data);
  EXPECT_EQ(WriteNewFileDurably(path, "other", FileMode::Binary), NewFile::Exists);
  EXPECT_EQ(FileBytes(dir / "a.zre"), data);
  EXPECT_EQ(Names(dir), std::vector<std::string>{"a.zre"}) << "no temporary file left";
  ASSERT_EQ(WriteNewFileDurably((dir / "empty").string(), "", FileMode::Binary), NewFile::Written);
  EXPECT_EQ(FileBytes(dir / "empty"), "");
  EXPECT_EQ(WriteNewFileDurably((dir / "gone" / "a.zre").string(), "x", FileMode::Text),
            NewFile::Failed);
  EXPECT_EQ(WriteNewFileDurably((dir / "").string(), "x", FileMode::Text), NewFile::Failed);
}

TEST_F(DurableFileTest, AStepThatFailsLeavesNothingBehind) {
  for (const char* step : {"create", "write", "flush", "name"}) {
    SCOPED_TRACE(step);
    failing_step = step;
    SetWriteStepHook(&FailStep);
    EXPECT_EQ(WriteNewFileDurably((dir / "a.zre").string(), "data", FileMode::Text),
              NewFile::Failed);
    EXPECT_EQ(Names(dir), std::vector<std::string>{});
  }
}

TEST_F(DurableFileTest, TheFolderOfAPrefixAndWhetherItTakesFiles) {
  EXPECT_EQ(FolderOf("/var/lib/x/"), "/var/lib/x/");
  EXPECT_EQ(FolderOf("/var/lib/x/z_"), "/var/lib/x/");
  EXPECT_EQ(FolderOf("z_"), "");
  EXPECT_EQ(FolderOf(""), "");

  std::ofstream(dir / "plain") << "x";
  EXPECT_TRUE(FolderTakesNewFiles(dir.string() + "/"));
  EXPECT_TRUE(FolderTakesNewFiles(dir.string() + "/prefix_"));
  EXPECT_FALSE(FolderTakesNewFiles((dir / "gone" / "").string()));
  EXPECT_FALSE(FolderTakesNewFiles((dir / "plain" / "").string()));
  failing_step = "write";  // a full disk
  SetWriteStepHook(&FailStep);
  EXPECT_FALSE(FolderTakesNewFiles(dir.string() + "/"));
  EXPECT_EQ(Names(dir), std::vector<std::string>{"plain"}) << "the probe is removed";
}

TEST_F(DurableFileTest, SpooledDataIsReadBackOnlyWhenWhole) {
  const std::string content("Z=1\nSALES_1=25.00\n\0x", 19);
  const std::string text = ZSpoolText("202612102205123", content);
  std::string stem;
  std::string back;
  ASSERT_TRUE(ParseZSpool(text, stem, back));
  EXPECT_EQ(stem, "202612102205123");
  EXPECT_EQ(back, content);
  ASSERT_TRUE(ParseZSpool(ZSpoolText("x", ""), stem, back));
  EXPECT_EQ(back, "");

  const struct {
    const char* what;
    std::string text;
  } broken[] = {
      {"cut short", text.substr(0, text.size() - 1)},
      {"grown", text + "\n"},
      {"another header", "Other\n" + text.substr(text.find('\n') + 1)},
      {"no length", "MolvexECR Z data\nname\n"},
      {"a length that is no number", "MolvexECR Z data\nname\n-1\n"},
      {"a stem with a folder in it", ZSpoolText("../x", "")},
      {"a stem with a drive in it", ZSpoolText("C:x", "")},
      {"an empty stem", ZSpoolText("", "")},
      {"empty", ""},
  };
  for (const auto& b : broken) {
    SCOPED_TRACE(b.what);
    EXPECT_FALSE(ParseZSpool(b.text, stem, back));
  }
}

TEST_F(DurableFileTest, TheSpoolKeepsEachCaptureApartUntilItIsDropped) {
  std::string first;
  std::string second;
  ASSERT_TRUE(SpoolZData("202612102205123", "one", first));
  ASSERT_TRUE(SpoolZData("202612102205123", "two", second));
  EXPECT_EQ(first, (dir / "202612102205123.zsp").string());
  EXPECT_EQ(second, (dir / "202612102205123_2.zsp").string());
  std::ofstream(dir / "broken.zsp") << "MolvexECR Z data\nname\n9\nshort";

  const std::vector<ZSpooled> spooled = SpooledZData();
  ASSERT_EQ(spooled.size(), 3u);
  EXPECT_EQ(spooled[0].file, first);
  EXPECT_EQ(spooled[0].content, "one");
  EXPECT_EQ(spooled[1].content, "two");
  EXPECT_EQ(spooled[2].file, (dir / "broken.zsp").string());
  EXPECT_FALSE(spooled[2].readable);

  EXPECT_TRUE(DropSpooledZData(first));
  EXPECT_EQ(SpooledZData().size(), 2u);
  EXPECT_FALSE(DropSpooledZData(first));
}

}  // namespace
}  // namespace molvex::testing
