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

TEST_F(SettingsDirTest, AMissingFileLeavesNothingOfAnEarlierReading) {
  Prefill();
  std::vector<RefusedSetting> refused;
  EXPECT_EQ(ReadArchiveSettings(&refused), 100);
  const ArchiveSettings& s = SharedArchiveSettings();
  EXPECT_EQ(s.SettingsDir, dir.string());
  EXPECT_EQ(s.SettingsFile, File());
  // The archive goes to the settings directory itself, named from the date and time alone.
  EXPECT_EQ(s.LocalPath, dir.string() + "/");
  EXPECT_EQ(s.IdReastaurant, "");
  EXPECT_EQ(s.FiscalPrinter, "");
  EXPECT_FALSE(s.Extended);
  EXPECT_FALSE(s.Save);
  EXPECT_EQ(s.OutdatedDays, 0);
  EXPECT_EQ(s.RetryRepeat, 0);
  EXPECT_EQ(s.RetryInterval, 0);
  EXPECT_TRUE(refused.empty());
}

TEST_F(SettingsDirTest, AnEmptyIdentifierIsReportedAndTheRestIsReadAllTheSame) {
  Prefill();
  Write(
      "[Identification]\nIdReastaurant=\nFiscalPrinter=77\n[Files]\nLocalPath=/x/\n"
      "[Execution]\nMode=Extended\n[OutdatedDel]\nDays=3\n");
  EXPECT_EQ(ReadArchiveSettings(), -100);
  const ArchiveSettings& s = SharedArchiveSettings();
  EXPECT_EQ(s.IdReastaurant, "");
  EXPECT_EQ(s.FiscalPrinter, "77");
  EXPECT_EQ(s.LocalPath, "/x/");
  EXPECT_TRUE(s.Extended);
  EXPECT_TRUE(s.Save);
  EXPECT_EQ(s.OutdatedDays, 3);
  EXPECT_EQ(s.RetryRepeat, 5);
}

TEST_F(SettingsDirTest, IdentifiersThatAFileNameCannotCarryAreRefused) {
  const std::pair<std::string, bool> cases[] = {
      {"R-17_x.y", true}, {"\xC0\xE1\xE2", true}, {"a b", true},     {".5", true},
      {"1/2", false},     {"1\\2", false},        {"C:zre", false},  {"a*", false},
      {"a?", false},      {"..", false},          {"a..b", false},   {"3.", true},
      {"a\x01z", false},  {"a\tz", false},        {"a\x7Fz", false}, {"a<z", false},
      {"a>z", false},     {"a|z", false},         {"a\"z", false},
  };
  for (const auto& [value, usable] : cases) {
    SCOPED_TRACE(::testing::PrintToString(value));
    EXPECT_EQ(IdentifierUsable(value), usable);
    for (const char* key : {"IdReastaurant", "FiscalPrinter"}) {
      SCOPED_TRACE(key);
      const bool restaurant = std::string(key) == "IdReastaurant";
      Write("[Identification]\nIdReastaurant=" + (restaurant ? value : "7") +
            "\nFiscalPrinter=" + (restaurant ? "8" : value) + "\n");
      std::vector<RefusedSetting> refused;
      EXPECT_EQ(ReadArchiveSettings(&refused), 1);
      const ArchiveSettings& s = SharedArchiveSettings();
      EXPECT_EQ(restaurant ? s.IdReastaurant : s.FiscalPrinter, usable ? value : "");
      EXPECT_EQ(restaurant ? s.FiscalPrinter : s.IdReastaurant, restaurant ? "8" : "7");
      ASSERT_EQ(refused.size(), usable ? 0u : 1u);
      if (!usable) {
        EXPECT_STREQ(refused[0].key, key);
      }
    }
  }
}

TEST_F(SettingsDirTest, ALongLocalPathIsTakenWholeAndOneLongerThanAnyPathIsRefused) {
  for (const std::size_t length : {499u, 500u, 999u, 5000u, 32767u, 32768u, 70000u}) {
    SCOPED_TRACE(length);
    const std::string path = "/" + std::string(length - 2, 'p') + "/";
    Write("[Identification]\nIdReastaurant=5\n[Files]\nLocalPath=" + path + "\n");
    std::vector<RefusedSetting> refused;
    EXPECT_EQ(ReadArchiveSettings(&refused), 1);
    const bool taken = length <= 32767u;
    EXPECT_EQ(SharedArchiveSettings().LocalPath, taken ? path : dir.string() + "/");
    ASSERT_EQ(refused.size(), taken ? 0u : 1u);
    if (!taken) {
      EXPECT_STREQ(refused[0].key, "LocalPath");
    }
  }
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
  EXPECT_EQ(s.TraceFile, "");
  EXPECT_EQ(s.TraceMaxSizeKB, 0);
}

TEST_F(SettingsDirTest, EveryKeyIsReadFromItsSection) {
  Write(
      "; archive upload\n"
      "[Identification]\nIdReastaurant=R17\nFiscalPrinter=P2\n"
      "[Address]\nFTP=ftp.example.net\nLogin=cash\nPassword=s3cret\n"
      "[Files]\nPath=/in/\nLocalPath=\n"
      "[Execution]\nMode=Simple\nSave=0\n"
      "[OutdatedDel]\nDays= 30 days\n"
      "[RetryFTP]\nRepeat=-2\nRepeatInterval=x9\n"
      "[Trace]\nFile=/var/log/trace.log\nMaxSizeKB=9223372036854775807\n");
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
  EXPECT_EQ(s.TraceFile, "/var/log/trace.log");
  EXPECT_EQ(s.TraceMaxSizeKB, 9223372036854775807);  // the trace takes it as its largest
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
  EXPECT_EQ(SharedArchiveSettings().LocalPath, "/var/lib/molvexecr/");
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
