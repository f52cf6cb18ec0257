// Reading ZRepRec.ini into the archive settings.
#include "tests/archive/settings_dir_fixture.h"

namespace molvex::testing {
namespace {

// Settings left by an earlier reading, to see what a failed reading keeps.
void Prefill() {
  ArchiveSettings& s = SharedArchiveSettings();
  s.IdReastaurant = "old-id";
  s.FiscalPrinter = "old-fp";
  s.LocalPath = "old-path";
  s.Extended = true;
  s.Save = true;
  s.OutdatedDays = 11;
  s.RetryRepeat = 12;
  s.RetryInterval = 13;
}

void ExpectPrefilledExceptExtended() {
  const ArchiveSettings& s = SharedArchiveSettings();
  EXPECT_EQ(s.IdReastaurant, "old-id");
  EXPECT_EQ(s.FiscalPrinter, "old-fp");
  EXPECT_EQ(s.LocalPath, "old-path");
  EXPECT_FALSE(s.Extended);
  EXPECT_TRUE(s.Save);
  EXPECT_EQ(s.OutdatedDays, 11);
  EXPECT_EQ(s.RetryRepeat, 12);
  EXPECT_EQ(s.RetryInterval, 13);
}

TEST_F(SettingsDirTest, AMissingFileKeepsEverythingButExtended) {
  Prefill();
  EXPECT_EQ(ReadArchiveSettings(), 100);
  ExpectPrefilledExceptExtended();
  EXPECT_EQ(SharedArchiveSettings().SettingsDir, dir.string());
  EXPECT_EQ(SharedArchiveSettings().SettingsFile, File());
}

TEST_F(SettingsDirTest, AnEmptyIdentifierStopsTheReading) {
  Prefill();
  Write(
      "[Identification]\nIdReastaurant=\nFiscalPrinter=77\n[Files]\nLocalPath=/x/\n"
      "[Execution]\nMode=Extended\n[OutdatedDel]\nDays=3\n");
  EXPECT_EQ(ReadArchiveSettings(), -100);
  ExpectPrefilledExceptExtended();
}

TEST_F(SettingsDirTest, MissingKeysTakeTheirDefaults) {
  Prefill();
  SharedArchiveSettings().FtpAddress = "old-ftp";
  Write("[Identification]\n");
  EXPECT_EQ(ReadArchiveSettings(), 1);
  const ArchiveSettings& s = SharedArchiveSettings();
  EXPECT_EQ(s.IdReastaurant, "1");
  EXPECT_EQ(s.FiscalPrinter, "1");
  EXPECT_EQ(s.FtpAddress, "");
  EXPECT_EQ(s.FtpLogin, "");
  EXPECT_EQ(s.FtpPassword, "");
  EXPECT_EQ(s.Path, "");
  EXPECT_EQ(s.LocalPath, dir.string() + "/");
  EXPECT_TRUE(s.Extended);
  EXPECT_TRUE(s.Save);
  EXPECT_EQ(s.OutdatedDays, 7);
  EXPECT_EQ(s.RetryRepeat, 5);
  EXPECT_EQ(s.RetryInterval, 5);
}

TEST_F(SettingsDirTest, EveryKeyIsReadFromItsSection) {
  Write(
      "; archive upload\n"
      "[Identification]\nIdReastaurant=R17\nFiscalPrinter=P2\n"
      "[Address]\nFTP=ftp.example.net\nLogin=cash\nPassword=s3cret\n"
      "[Files]\nPath=/in/\nLocalPath=\n"
      "[Execution]\nMode=Simple\nSave=0\n"
      "[OutdatedDel]\nDays= 30 days\n"
      "[RetryFTP]\nRepeat=-2\nRepeatInterval=x9\n");
  EXPECT_EQ(ReadArchiveSettings(), 1);
  const ArchiveSettings& s = SharedArchiveSettings();
  EXPECT_EQ(s.IdReastaurant, "R17");
  EXPECT_EQ(s.FiscalPrinter, "P2");
  EXPECT_EQ(s.FtpAddress, "ftp.example.net");
  EXPECT_EQ(s.FtpLogin, "cash");
  EXPECT_EQ(s.FtpPassword, "s3cret");
  EXPECT_EQ(s.Path, "/in/");
  EXPECT_EQ(s.LocalPath, "");  // empty stays empty: the current directory
  EXPECT_FALSE(s.Extended);
  EXPECT_FALSE(s.Save);
  EXPECT_EQ(s.OutdatedDays, 30);
  EXPECT_EQ(s.RetryRepeat, -2);
  EXPECT_EQ(s.RetryInterval, 0);
}

TEST_F(SettingsDirTest, ValuesAreCutToTheirFields) {
  const std::string long_path(600, 'p');
  Write("[Identification]\nIdReastaurant=ABCDEFGHIJKL\nFiscalPrinter=1234567890\n[Files]\nPath=" +
        long_path + "\n");
  EXPECT_EQ(ReadArchiveSettings(), 1);
  const ArchiveSettings& s = SharedArchiveSettings();
  EXPECT_EQ(s.IdReastaurant, "ABCDEFGHI");
  EXPECT_EQ(s.FiscalPrinter, "123456789");
  EXPECT_EQ(s.Path.size(), 499u);
  EXPECT_EQ(s.Path.find_first_not_of('p'), std::string::npos);
}

TEST_F(SettingsDirTest, ModeMustBeExtendedExactly) {
  const std::pair<const char*, bool> cases[] = {{"Extended", true},
                                                {"extended", false},
                                                {"EXTENDED", false},
                                                {"Extended2", false},
                                                {"", false}};
  for (const auto& [mode, extended] : cases) {
    SCOPED_TRACE(mode);
    Write(std::string("[Identification]\nIdReastaurant=5\n[Execution]\nMode=") + mode + "\n");
    EXPECT_EQ(ReadArchiveSettings(), 1);
    EXPECT_EQ(SharedArchiveSettings().Extended, extended);
  }
}

TEST_F(SettingsDirTest, TheDirectoryComesFromTheEnvironment) {
  ::setenv("MOLVEXECR_DIR", (dir.string() + "///").c_str(), 1);
  Write("[identification]\n");
  EXPECT_EQ(ReadArchiveSettings(), 1);
  EXPECT_EQ(SharedArchiveSettings().SettingsDir, dir.string());
  EXPECT_EQ(SharedArchiveSettings().LocalPath, dir.string() + "/");
  ::unsetenv("MOLVEXECR_DIR");
  EXPECT_EQ(ReadArchiveSettings(), 100);
  EXPECT_EQ(SharedArchiveSettings().SettingsFile, "/var/lib/molvexecr/ZRepRec.ini");
}

// [Link] BusySeconds: a whole number of seconds 1..3600; anything else is the default 120, and
// so is a reading without the file.
TEST_F(SettingsDirTest, BusySecondsTakesWholeSecondsInItsRangeElseTheDefault) {
  const struct {
    const char* line;  // nullptr: no [Link] section
    std::int32_t seconds;
  } cases[] = {
      {nullptr, 120},           {"BusySeconds=30", 30},           {"BusySeconds= 3600 ", 3600},
      {"BusySeconds=1", 1},     {"BusySeconds=0", 120},           {"BusySeconds=3601", 120},
      {"BusySeconds=-5", 120},  {"BusySeconds=12abc", 120},       {"BusySeconds=", 120},
      {"BusySeconds=1.5", 120}, {"BusySeconds=99999999999", 120},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line != nullptr ? c.line : "no section");
    SharedArchiveSettings().BusySeconds = 7;
    Write(std::string("[Identification]\nIdReastaurant=5\n") +
          (c.line != nullptr ? std::string("[Link]\n") + c.line + "\n" : ""));
    EXPECT_EQ(ReadArchiveSettings(), 1);
    EXPECT_EQ(SharedArchiveSettings().BusySeconds, c.seconds);
  }
  std::filesystem::remove(File());
  SharedArchiveSettings().BusySeconds = 7;
  EXPECT_EQ(ReadArchiveSettings(), 100);
  EXPECT_EQ(SharedArchiveSettings().BusySeconds, 120);
}

}  // namespace
}  // namespace molvex::testing
