// ZReport from end to end: the Z report, the read-back of its data with command 167, the
// archive file, the info log and the start of the uploader.
#include <unistd.h>

#include "tests/object/report_fixture.h"

namespace molvex::testing {
namespace {

constexpr HRESULT kDataNotRead = static_cast<HRESULT>(0xFFFFFF9Bu);        // -101
constexpr HRESULT kArchiveNotWritten = static_cast<HRESULT>(0xFFFFFF9Au);  // -102

const std::string kStamp = "10-12-2026 22:05";
const std::string kDone = Cp1251(" Z-Отчет выполнен!");
const std::string kArchived = Cp1251(" Z-Отчет считан и записан в файл: ");
const std::string kReadFailed = Cp1251(" Ошибка чтения Z-Отчета из РРО!");
const std::string kNoLink = Cp1251(" Ошибка связи с регистратором!");
const std::string kRefused = Cp1251(" Ошибка выполнения Z-Отчета!");
const std::string kWriteFailed = Cp1251(" Ошибка записи Z-Отчета в файл: ");

std::string Line(const std::string& message) {
  return kStamp + message + " \n";
}

class ZReportTest : public ReportTest {
 protected:
  // Runs ZReport("0"); returns its HRESULT and sets `result`.
  HRESULT Run(VARIANT_BOOL& result) {
    Bstr password("0");
    result = 7;
    return obj.ZReport(password.get(), &result);
  }
  // The printer answers the Z report without running it, so that the Z data it serves is the
  // one the test put there.
  void ServeZData(const std::string& data) {
    port.device().state().z_data = data;
    ArmStatus(69, kHealthy, "1,0,0");
  }
  std::string Log() const { return FileBytes(dir / "infoZ.log"); }
  std::string Archive(const std::string& name) const { return FileBytes(dir / name); }
};

TEST_F(ZReportTest, AZReportIsReadBackArchivedLoggedAndHandedOn) {
  OpenWithSettings();
  VARIANT_BOOL result = 0;
  ASSERT_EQ(Run(result), S_OK);
  EXPECT_EQ(result, VARIANT_TRUE);
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(port.device().state().z_number, 1);

  // The Z data of the printer, read chunk after chunk until it said that none follows.
  const std::string& zdata = port.device().state().z_data;
  ASSERT_NE(zdata.find("DATE=2026-12-10\n"), std::string::npos);
  const std::vector<std::string> reads = DataOf(167);
  ASSERT_GT(reads.size(), 3u);
  for (std::size_t i = 0; i < reads.size(); ++i) EXPECT_EQ(reads[i], "0,0," + std::to_string(i));
  EXPECT_EQ(Commands().front(), 74);
  EXPECT_EQ(Commands()[2], 69);
  EXPECT_EQ(DataOf(69), std::vector<std::string>{"0,0"});

  const std::string path = (dir / "202612102205123.zre").string();
  EXPECT_EQ(Archives(dir), std::vector<std::string>{"202612102205123.zre"});
  EXPECT_EQ(Archive("202612102205123.zre"), zdata);
  EXPECT_EQ(Log(), Line(kDone) + Line(kArchived + path));
  EXPECT_EQ(StartedPrograms(), std::vector<std::string>{(dir / "ArchSend.exe").string()});
}

TEST_F(ZReportTest, TheArchiveHoldsTheDataUpToItsFirstZeroByte) {
  OpenWithSettings();
  ServeZData(std::string("LINE 1\nLINE 2\n\0after the zero\n", 30));
  VARIANT_BOOL result = 0;
  ASSERT_EQ(Run(result), S_OK);
  EXPECT_EQ(Archive("202612102205123.zre"), "LINE 1\nLINE 2\n");
}

TEST_F(ZReportTest, ABusyDaysDataIsReadWhole) {
  // 15,000 bytes of data: 20,000 characters of base64 text in 334 chunks.
  std::string zdata;
  for (int line = 0; zdata.size() < 15000; ++line) {
    zdata += "ART_" + std::to_string(line) + "=" + std::string(20 + line % 17, 'x') + "\n";
  }
  zdata.resize(15000);
  OpenWithSettings();
  ServeZData(zdata);
  VARIANT_BOOL result = 0;
  ASSERT_EQ(Run(result), S_OK);
  EXPECT_EQ(DataOf(167).size(), 335u);
  EXPECT_EQ(DataOf(167).back(), "0,0,334");
  EXPECT_EQ(Archive("202612102205123.zre"), zdata);
  EXPECT_EQ(StartedPrograms().size(), 1u);
}

TEST_F(ZReportTest, NoDataAtAllStillGivesAnArchiveALogLineAndTheUpload) {
  OpenWithSettings();
  ArmStatus(167, kHealthy, "0,");
  VARIANT_BOOL result = 0;
  ASSERT_EQ(Run(result), S_OK);
  EXPECT_EQ(result, VARIANT_TRUE);
  EXPECT_EQ(DataOf(167), std::vector<std::string>{"0,0,0"});
  EXPECT_EQ(Archives(dir), std::vector<std::string>{"202612102205123.zre"});
  EXPECT_EQ(Archive("202612102205123.zre"), "");
  EXPECT_EQ(Log(), Line(kDone) + Line(kArchived + (dir / "202612102205123.zre").string()));
  EXPECT_EQ(StartedPrograms().size(), 1u);
}

TEST_F(ZReportTest, AnIncompleteReadEndsWithMinus101AndTheZReportStands) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, Status>> replies;  // to 167
    std::size_t reads;
  };
  const Case cases[] = {
      {"the first read fails", {{"", kSyntaxError}}, 1},
      {"the third read fails",
       {{"4,QUJD", kHealthy}, {"4,REVG", kHealthy}, {"", kReportNotAllowed}},
       3},
      {"a count without a chunk", {{"4,QUJD", kHealthy}, {"4", kHealthy}}, 2},
  };
  OpenWithSettings();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(dir / "infoZ.log");
    LeaveErrorInfo();
    port.printer().ClearRequests();
    for (const auto& [data, status] : c.replies) ArmStatus(167, status, data);
    // The Z report's own reply carries an informational bit (paper near end).
    ArmStatus(69, {0x80, 0xA0, 0x80, 0x80, 0x80, 0xBA}, "1,0,0");
    VARIANT_BOOL result = 0;
    EXPECT_EQ(Run(result), kDataNotRead);
    const std::string description = ErrorDescription();
    EXPECT_EQ(description.find("ZReport: the printer printed the Z report and closed the day"), 0u)
        << description;
    EXPECT_NE(description.find("could not be read back"), std::string::npos) << description;
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_EQ(CallStatus(), 0);
    EXPECT_EQ(Error(), 0);
    EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0, 0x20, 0, 0, 0, 0x3A}));
    EXPECT_EQ(DataOf(167).size(), c.reads);
    EXPECT_EQ(Archives(dir), std::vector<std::string>{});
    EXPECT_EQ(Log(), Line(kDone) + Line(kReadFailed));
    EXPECT_TRUE(StartedPrograms().empty());
  }
}

TEST_F(ZReportTest, AFailedStatusCheckOrARefusedZReportIsLoggedAndReadsNothing) {
  OpenWithSettings();
  ArmStatus(74, kHealthy);
  ArmStatus(74, kSyntaxError);
  VARIANT_BOOL result = 0;
  ASSERT_EQ(Run(result), S_OK);
  EXPECT_EQ(result, VARIANT_FALSE);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 2);
  EXPECT_EQ(Commands(), (std::vector<int>{74, 74}));
  EXPECT_EQ(Log(), Line(kNoLink));

  port.printer().ClearRequests();
  ArmStatus(69, kReportNotAllowed);
  ASSERT_EQ(Run(result), S_OK);
  EXPECT_EQ(result, VARIANT_FALSE);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 7);
  EXPECT_EQ(Commands(), (std::vector<int>{74, 74, 69}));
  EXPECT_EQ(Log(), Line(kNoLink) + Line(kRefused));

  // A password that does not fit a request: nothing sent, refused, logged as not done.
  port.printer().ClearRequests();
  Bstr longPassword(std::string(200, 'p'));
  ASSERT_EQ(obj.ZReport(longPassword.get(), &result), S_OK);
  EXPECT_EQ(result, VARIANT_FALSE);
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_EQ(Commands(), (std::vector<int>{74, 74}));
  EXPECT_EQ(Log(), Line(kNoLink) + Line(kRefused) + Line(kRefused));

  EXPECT_EQ(Archives(dir), std::vector<std::string>{});
  EXPECT_TRUE(StartedPrograms().empty());
  EXPECT_EQ(port.device().state().z_number, 0);
}

TEST_F(ZReportTest, TwoZReportsInOneMinuteKeepBothArchives) {
  OpenWithSettings();
  VARIANT_BOOL result = 0;
  ASSERT_EQ(Run(result), S_OK);
  ASSERT_EQ(Run(result), S_OK);
  clock.SetLocal(LocalDateTime{2026, 12, 10, 22, 5, 59});
  ASSERT_EQ(Run(result), S_OK);
  EXPECT_EQ(Archives(dir), (std::vector<std::string>{"202612102205123.zre", "202612102205123_2.zre",
                                                     "202612102205123_3.zre"}));
  EXPECT_NE(Archive("202612102205123.zre").find("\nZ=1\n"), std::string::npos);
  EXPECT_NE(Archive("202612102205123_2.zre").find("\nZ=2\n"), std::string::npos);
  EXPECT_NE(Archive("202612102205123_3.zre").find("\nZ=3\n"), std::string::npos);
  const std::string second = (dir / "202612102205123_2.zre").string();
  EXPECT_NE(Log().find(Line(kArchived + second)), std::string::npos);
  EXPECT_EQ(StartedPrograms().size(), 3u);
}

TEST_F(ZReportTest, AnArchiveThatCannotBeWrittenIsNoSuccess) {
  // An identifier with a separator in it names a directory that does not exist.
  OpenWithSettings("1/2", "3");
  VARIANT_BOOL result = 0;
  EXPECT_EQ(Run(result), kArchiveNotWritten);
  EXPECT_EQ(result, VARIANT_TRUE);  // the Z report itself stands
  const std::string description = ErrorDescription();
  EXPECT_EQ(description.find("ZReport: the printer printed the Z report and closed the day"), 0u)
      << description;
  EXPECT_NE(description.find("its archive file could not be written"), std::string::npos);
  EXPECT_NE(description.find("Do not repeat the Z report"), std::string::npos);
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(port.device().state().z_number, 1);
  const std::string path = (dir / "2026121022051/23.zre").string();
  EXPECT_EQ(Log(), Line(kDone) + Line(kWriteFailed + path));
  EXPECT_TRUE(StartedPrograms().empty());
}

TEST_F(ZReportTest, AnInfoLogThatCannotBeOpenedDoesNotStopTheCapture) {
  OpenWithSettings();
  std::filesystem::create_directory(dir / "infoZ.log");  // a directory in the log's place
  VARIANT_BOOL result = 0;
  ASSERT_EQ(Run(result), S_OK);
  EXPECT_EQ(result, VARIANT_TRUE);
  EXPECT_EQ(Archives(dir), std::vector<std::string>{"202612102205123.zre"});
  EXPECT_EQ(StartedPrograms().size(), 1u);

  // Neither log nor archive can be written: the code of the archive, nothing else breaks.
  SharedArchiveSettings().LocalPath = (dir / "gone" / "").string();
  EXPECT_EQ(Run(result), kArchiveNotWritten);
  EXPECT_EQ(result, VARIANT_TRUE);
  EXPECT_EQ(StartedPrograms().size(), 1u);
}

TEST_F(ZReportTest, WithoutASettingsFileEverythingIsInTheCurrentDirectory) {
  const std::filesystem::path before = std::filesystem::current_path();
  const std::filesystem::path here = dir / "cwd";
  std::filesystem::create_directory(here);
  std::filesystem::current_path(here);
  Open();  // no ZRepRec.ini: empty LocalPath and identifiers
  VARIANT_BOOL result = 0;
  const HRESULT hr = Run(result);
  const std::vector<std::string> archives = Archives(here);
  const std::string log = FileBytes(here / "infoZ.log");
  std::filesystem::current_path(before);
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(archives, std::vector<std::string>{"202612102205.zre"});
  EXPECT_EQ(log, Line(kDone) + Line(kArchived + "202612102205.zre"));
  EXPECT_EQ(StartedPrograms(), std::vector<std::string>{"ArchSend.exe"});
}

}  // namespace
}  // namespace molvex::testing
