// ZReport from end to end: the Z report, the read-back of its data with command 167, the
// archive file, the info log and the start of the uploader.
#include <unistd.h>

#include "platform/durable_file.h"
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
const std::string kFolderUnusable = Cp1251(" Папка архива недоступна, Z-Отчет не выполнен: ");
const std::string kArchivedEmpty = Cp1251(" Z-Отчет считан, данных нет; записан пустой файл: ");
const std::string kSpooled = Cp1251(" Z-Отчет сохранен до записи в архив: ");
const std::string kNotKept = Cp1251(" Z-Отчет не сохранен на диске: ");

// A full disk for the files whose names end in `full_suffix` ("": every file): their writes
// fail as ENOSPC would make them.
std::string full_suffix;
bool FullDisk(const char* step, const std::string& path) {
  const bool hit =
      path.size() >= full_suffix.size() &&
      path.compare(path.size() - full_suffix.size(), full_suffix.size(), full_suffix) == 0;
  return !(hit && std::string_view(step) == "write");
}
// Room for the check before the day is closed, none left for the archive and the spool after.
bool FullAfterTheCheck(const char* step, const std::string& path) {
  const bool data =
      path.find("-zre.") != std::string::npos || path.find("-zsp.") != std::string::npos;
  return !(data && std::string_view(step) == "write");
}

std::string Line(const std::string& message) {
  return kStamp + message + " \n";
}

class ZReportTest : public ReportTest {
 protected:
  void TearDown() override {
    SetWriteStepHook(nullptr);
    ReportTest::TearDown();
  }
  // Writes of the files ending in `suffix` fail from now on ("": every file).
  static void FillDisk(const std::string& suffix) {
    full_suffix = suffix;
    SetWriteStepHook(&FullDisk);
  }
  static void FreeDisk() { SetWriteStepHook(nullptr); }
  std::vector<std::string> Spooled() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
      if (e.path().extension() == ".zsp") names.push_back(e.path().filename().string());
    }
    return names;
  }
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

TEST_F(ZReportTest, NoDataAtAllIsArchivedAndLoggedAsEmptyAndNotUploaded) {
  OpenWithSettings();
  ArmStatus(167, kHealthy, "0,");
  VARIANT_BOOL result = 0;
  ASSERT_EQ(Run(result), S_OK);
  EXPECT_EQ(result, VARIANT_TRUE);
  EXPECT_EQ(DataOf(167), std::vector<std::string>{"0,0,0"});
  EXPECT_EQ(Archives(dir), std::vector<std::string>{"202612102205123.zre"});
  EXPECT_EQ(Archive("202612102205123.zre"), "");
  EXPECT_EQ(Log(), Line(kDone) + Line(kArchivedEmpty + (dir / "202612102205123.zre").string()));
  EXPECT_TRUE(StartedPrograms().empty());
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
      {"a chunk shorter than its count", {{"4,QUJD", kHealthy}, {"60,QUJD", kHealthy}}, 2},
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

TEST_F(ZReportTest, AnIdentifierAFileNameCannotCarryIsLeftOutOfTheArchiveName) {
  // A separator would have named a directory that does not exist (and lost the archive); a
  // colon an alternate data stream. Refused when the settings are read, and logged then.
  const std::string refused = Cp1251(" Недопустимое значение в ZRepRec.ini: ");
  const std::pair<std::string, std::string> cases[] = {{"1/2", "3"}, {"12", "3:x"}};
  for (const auto& [id, printer] : cases) {
    SCOPED_TRACE(id);
    SCOPED_TRACE(printer);
    std::filesystem::remove(dir / "infoZ.log");
    for (const auto& name : Archives(dir)) std::filesystem::remove(dir / name);
    OpenWithSettings(id, printer);
    VARIANT_BOOL result = 0;
    EXPECT_EQ(Run(result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    const std::string name = id == "12" ? "20261210220512.zre" : "2026121022053.zre";
    EXPECT_EQ(Archives(dir), std::vector<std::string>{name});
    EXPECT_EQ(Log(), Line(refused + (id == "12" ? "FiscalPrinter" : "IdReastaurant")) +
                         Line(kDone) + Line(kArchived + (dir / name).string()));
  }
}

TEST_F(ZReportTest, NoDayIsClosedWhereItsArchiveCannotBeWritten) {
  struct Case {
    const char* what;
    std::string local_path;  // relative to the test's directory
    std::string full;        // files whose writes fail
    bool logged;             // the info log can be written
  };
  const Case cases[] = {
      {"a folder that does not exist", "gone/", "", false},
      {"a file in the folder's place", "plain/", "", false},
      {"a full disk", "", ".tmp", true},
  };
  OpenWithSettings();
  std::ofstream(dir / "plain") << "x";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(dir / "infoZ.log");
    port.printer().ClearRequests();
    SharedArchiveSettings().LocalPath = (dir / c.local_path).string();
    if (!c.full.empty()) FillDisk(c.full);
    VARIANT_BOOL result = 7;
    EXPECT_EQ(Run(result), kArchiveNotWritten);
    FreeDisk();
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Commands(), std::vector<int>{}) << "nothing sent, the day still open";
    const std::string description = ErrorDescription();
    EXPECT_EQ(description.find("ZReport: nothing was sent and the day is still open"), 0u)
        << description;
    EXPECT_EQ(port.device().state().z_number, 0);
    const std::string folder = (dir / c.local_path).string();
    EXPECT_EQ(Log(), c.logged ? Line(kFolderUnusable + folder) : "");
    EXPECT_EQ(Archives(dir), std::vector<std::string>{});
  }
}

TEST_F(ZReportTest, DataTheArchiveCouldNotTakeIsSpooledAndArchivedOnceThereIsRoom) {
  // Who finds room again first: the next SetComPort, or the next day's ZReport (which writes
  // the old archive before it closes its own day).
  for (const bool by_zreport : {false, true}) {
    SCOPED_TRACE(by_zreport ? "by ZReport" : "by SetComPort");
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    StartedPrograms().clear();
    clock.SetLocal(LocalDateTime{2026, 12, 10, 22, 5, 0});
    OpenWithSettings();
    FillDisk("-zre." + std::to_string(getpid()) + ".tmp");  // the archive's folder is full
    VARIANT_BOOL result = 0;
    EXPECT_EQ(Run(result), kArchiveNotWritten);
    EXPECT_EQ(result, VARIANT_TRUE);
    const std::string description = ErrorDescription();
    EXPECT_NE(description.find("the data waits in the spool"), std::string::npos) << description;
    const std::string zdata = port.device().state().z_data;
    const std::string archive = (dir / "202612102205123.zre").string();
    const std::string spool = (dir / "202612102205123.zsp").string();
    EXPECT_EQ(Log(), Line(kDone) + Line(kWriteFailed + archive) + Line(kSpooled + spool));
    EXPECT_EQ(Archives(dir), std::vector<std::string>{});
    EXPECT_EQ(Spooled(), std::vector<std::string>{"202612102205123.zsp"});
    EXPECT_TRUE(StartedPrograms().empty());

    FreeDisk();
    clock.SetLocal(LocalDateTime{2026, 12, 11, 21, 0, 0});
    const std::string log_before = Log();
    if (by_zreport) {
      ASSERT_EQ(Run(result), S_OK);
    } else {
      OpenWithSettings();
    }
    // The old day under the name it would have had, logged at the hour it is written.
    std::string logged = "11-12-2026 21:00" + kArchived;
    logged += archive + " \n";
    EXPECT_EQ(Archive("202612102205123.zre"), zdata);
    EXPECT_EQ(Log().substr(0, log_before.size() + logged.size()), log_before + logged);
    EXPECT_EQ(Spooled(), std::vector<std::string>{});
    EXPECT_EQ(StartedPrograms().size(), by_zreport ? 2u : 1u);
    EXPECT_EQ(Archives(dir).size(), by_zreport ? 2u : 1u);
  }
}

TEST_F(ZReportTest, DataNeitherArchiveNorSpoolCouldTakeIsReportedAndKeptInTheProcess) {
  OpenWithSettings();
  SetWriteStepHook(&FullAfterTheCheck);
  VARIANT_BOOL result = 0;
  EXPECT_EQ(Run(result), kArchiveNotWritten);
  EXPECT_EQ(result, VARIANT_TRUE);
  ErrorInfoRecord info;
  ASSERT_TRUE(TakeErrorInfo(info));
  EXPECT_EQ(info.description.find("ZReport: the printer printed the Z report and closed the day"),
            0u)
      << info.description;
  EXPECT_NE(info.description.find("neither to the archive nor to the spool"), std::string::npos);
  EXPECT_NE(info.description.find("202612102205123.zsp"), std::string::npos);
  EXPECT_NE(info.description.find("Do not repeat the Z report"), std::string::npos);
  EXPECT_EQ(Spooled(), std::vector<std::string>{});
  FreeDisk();
  const std::string spool = (dir / "202612102205123.zsp").string();
  EXPECT_NE(Log().find(Line(kNotKept + spool)), std::string::npos);

  OpenWithSettings();  // room again, same process
  EXPECT_EQ(Archive("202612102205123.zre"), port.device().state().z_data);
  EXPECT_EQ(StartedPrograms().size(), 1u);
  OpenWithSettings();  // written once
  EXPECT_EQ(Archives(dir).size(), 1u);
}

TEST_F(ZReportTest, AnInfoLogThatCannotBeOpenedDoesNotStopTheCapture) {
  OpenWithSettings();
  std::filesystem::create_directory(dir / "infoZ.log");  // a directory in the log's place
  VARIANT_BOOL result = 0;
  ASSERT_EQ(Run(result), S_OK);
  EXPECT_EQ(result, VARIANT_TRUE);
  EXPECT_EQ(Archives(dir), std::vector<std::string>{"202612102205123.zre"});
  EXPECT_EQ(StartedPrograms().size(), 1u);
}

TEST_F(ZReportTest, WithoutASettingsFileEverythingIsInTheSettingsDirectory) {
  // The current directory of a COM server is the system folder: nothing goes there.
  const std::filesystem::path before = std::filesystem::current_path();
  const std::filesystem::path here = dir / "cwd";
  std::filesystem::create_directory(here);
  std::filesystem::current_path(here);
  Open();  // no ZRepRec.ini
  VARIANT_BOOL result = 0;
  const HRESULT hr = Run(result);
  std::filesystem::current_path(before);
  EXPECT_EQ(hr, S_OK);
  EXPECT_TRUE(std::filesystem::is_empty(here));
  // Named from the date and the time alone; the uploader by its full path.
  const std::string path = (dir / "202612102205.zre").string();
  EXPECT_EQ(Archives(dir), std::vector<std::string>{"202612102205.zre"});
  EXPECT_EQ(Log(), Line(kDone) + Line(kArchived + path));
  EXPECT_EQ(StartedPrograms(), std::vector<std::string>{(dir / "ArchSend.exe").string()});
}

ProgramStart Missing(const std::string& path) {
  StartedPrograms().push_back(path);
  return ProgramStart::Missing;
}
ProgramStart NotStarted(const std::string& path) {
  StartedPrograms().push_back(path);
  return ProgramStart::Failed;
}

TEST_F(ZReportTest, AnUploaderThatIsMissingOrDoesNotStartIsLoggedAndTheCallStillSucceeds) {
  const std::pair<ProgramStarter, std::string> cases[] = {
      {&Missing, Cp1251(" Программа выгрузки не найдена: ")},
      {&NotStarted, Cp1251(" Ошибка запуска программы выгрузки: ")},
  };
  OpenWithSettings();
  for (const auto& [starter, message] : cases) {
    std::filesystem::remove(dir / "infoZ.log");
    SetUploaderStarter(starter);
    VARIANT_BOOL result = 0;
    EXPECT_EQ(Run(result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_EQ(CallStatus(), 0);
    const std::string uploader = (dir / "ArchSend.exe").string();
    EXPECT_EQ(StartedPrograms().back(), uploader);
    const std::string log = Log();
    ASSERT_GE(log.size(), Line(message + uploader).size());
    EXPECT_EQ(log.substr(log.size() - Line(message + uploader).size()), Line(message + uploader))
        << log;
  }
}

}  // namespace
}  // namespace molvex::testing

namespace molvex::testing {
namespace {

TEST_F(ZReportTest, AReportMarkedAsSentIsReadBackOnlyWhenItsDataIsNotKept) {
  OpenWithSettings();
  VARIANT_BOOL result = 0;
  ASSERT_EQ(Run(result), S_OK);  // a day archived as usual
  ASSERT_EQ(Archives(dir).size(), 1u);
  const auto mark = [&] {
    std::ofstream(dir / "zreport.pending") << "MolvexECR Z report sent\nX\n";
  };

  // The process died after the mark, before the report went out: the printer serves the data
  // of the day archived already.
  mark();
  OpenWithSettings();
  EXPECT_EQ(Archives(dir).size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir / "zreport.pending"));

  // A printer that does not answer the read: logged, the mark left for the next start.
  mark();
  std::filesystem::remove(dir / "infoZ.log");
  ArmStatus(167, kSyntaxError);
  int opened = 0;
  ASSERT_EQ(obj.SetComPort(1, 115200, &opened), S_OK);
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(Log(), Line(kReadFailed));
  EXPECT_TRUE(std::filesystem::exists(dir / "zreport.pending"));

  // Next start: data that no archive holds, kept under the name the mark gives.
  port.device().state().z_data = "Z-REPORT\nZ=9\n";
  OpenWithSettings();
  EXPECT_EQ(Archive("X.zre"), "Z-REPORT\nZ=9\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "zreport.pending"));
  EXPECT_EQ(StartedPrograms().size(), 2u);
}

}  // namespace
}  // namespace molvex::testing
