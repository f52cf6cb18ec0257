// The protocol trace: entry blocks with their transactions, masked passwords, the file's
// roll-over, a trace that cannot be written, and the settings that turn it on.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "link/commands.h"
#include "object/entry_trace.h"
#include "platform/diagnostics.h"
#include "tests/object/object_fixture.h"
#include "tests/support/file_bytes.h"
#include "trace/protocol_trace.h"

namespace molvex::testing {
namespace {

using testsupport::FileBytes;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class TraceTest : public ObjectTest {
 protected:
  void SetUp() override {
    ObjectTest::SetUp();
    clock.SetLocal({2026, 12, 10, 14, 3, 7, 412});
    TraceSetClock(&clock);
    trace = dir / "trace.log";
  }
  void TearDown() override {
    TraceStop();
    TraceSetClock(nullptr);
    ObjectTest::TearDown();
  }
  std::string Pid() const { return "pid " + std::to_string(CurrentProcessId()); }

  std::filesystem::path trace;
};

TEST_F(TraceTest, AnEntryIsOneBlockWithItsTransactionsAndResults) {
  Open();
  TraceStart(trace.string(), 0, TraceOrigin::Explicit);
  port.printer().Arm(sim::Fault::Syn, 1, 250);  // the pre-read: busy for 250 ms
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.DisplayUP(Bstr("Добрый \"день\" 1\\").get(), &ok), S_OK);
  ASSERT_EQ(ok, VARIANT_TRUE);

  const auto lines = Lines(FileBytes(trace));
  ASSERT_EQ(lines.size(), 6u) << FileBytes(trace);
  EXPECT_EQ(lines[0], "2026-12-10 14:03:07.412 " + Pid() +
                          " DisplayUP(TextDisp=\"Добрый \\\"день\\\" 1\\\\\")");
  EXPECT_EQ(lines[1], "  74 Получить состояние регистратора \"W\"");
  EXPECT_EQ(lines[2],
            "     reply after 250 ms, 4 SYN, error word 0x00E04000, status 00 00 00 00 00 3A, "
            "no fields");
  EXPECT_EQ(lines[3], "  47 Дисплей - верхний ряд \"Добрый \\\"день\\\" 1\\\\\"");
  EXPECT_EQ(lines[4],
            "     reply after 0 ms, 0 SYN, error word 0x00E04000, status 00 00 00 00 00 3A, "
            "no fields");
  EXPECT_EQ(lines[5], "  = Result=true, StatusBytes=0, GetError=0");
}

TEST_F(TraceTest, TransactionEndingsAreNamed) {
  Open();
  TraceStart(trace.string(), 0, TraceOrigin::Explicit);
  const std::pair<sim::Fault, std::string> cases[] = {
      {sim::Fault::Nak, "     NAK after 100 ms, 0 SYN, error word 0x02000000, "},
      {sim::Fault::Silence, "     time-out after 5000 ms, 0 SYN, error word 0x04000000, "},
      {sim::Fault::BadCheck, "     check mismatch after 0 ms, 0 SYN, error word 0x01000000, "},
      {sim::Fault::Garbage, "     time-out after 5000 ms, 0 SYN, error word 0x04000000, "},
      {sim::Fault::SynForever,
       "     busy past the limit after 120000 ms, 2000 SYN, error word 0x20000000, "},
  };
  for (const auto& [fault, ending] : cases) {
    SCOPED_TRACE(ending);
    std::filesystem::remove(trace);
    port.printer().ClearFaults();
    port.printer().Arm(fault);
    ASSERT_EQ(PrnExecuteCallback([](RetData&) {}, 0, kCmdReadStatus, "W"), PRN_OK);
    const auto lines = Lines(FileBytes(trace));
    ASSERT_EQ(lines.size(), 3u) << FileBytes(trace);
    EXPECT_EQ(lines[0], "2026-12-10 14:03:07.412 " + Pid() + " (outside any entry)");
    EXPECT_TRUE(lines[2].starts_with(ending)) << lines[2];
  }
}

TEST_F(TraceTest, AFrameAnsweringAnotherRequestIsShownDropped) {
  Open();
  TraceStart(trace.string(), 0, TraceOrigin::Explicit);
  port.printer().Arm(sim::Fault::Stranger);
  ASSERT_EQ(PrnExecuteCallback([](RetData&) {}, 0, kCmdReadStatus, "W"), PRN_OK);
  const auto lines = Lines(FileBytes(trace));
  ASSERT_EQ(lines.size(), 4u) << FileBytes(trace);
  const int sequence = SequenceCounter % 95 + 0x20;  // the request's
  char other[8];
  std::snprintf(other, sizeof other, "%02X", sequence == 0x7E ? 0x20 : sequence + 1);
  EXPECT_EQ(lines[2], std::string("     dropped: answer to another request, sequence 0x") + other +
                          " command 56 \"7,7\"");
  EXPECT_TRUE(lines[3].starts_with("     reply after 0 ms, 0 SYN, error word 0x00E04000"))
      << lines[3];
}

TEST_F(TraceTest, FieldsOutputsAndExceptionsInTheResultLine) {
  Open();
  TraceStart(trace.string(), 0, TraceOrigin::Explicit);
  Bstr id;
  ASSERT_EQ(obj.get_ID_DEV(id.out()), S_OK);
  ASSERT_EQ(obj.put_StatIPPr(Bstr("x.1.2.3").get()), S_OK);
  LONG result = 0;
  EXPECT_EQ(obj.WriteNetParams(&result), DISP_E_EXCEPTION);

  const auto lines = Lines(FileBytes(trace));
  ASSERT_EQ(lines.size(), 8u) << FileBytes(trace);
  EXPECT_TRUE(lines[0].ends_with(" ID_DEV")) << lines[0];
  EXPECT_EQ(lines[1], "  255 Идентификация устройства \"\"");
  EXPECT_TRUE(lines[2].ends_with("1 field: \"" + id.utf8() + "\"")) << lines[2];
  EXPECT_EQ(lines[3], "  = Value=\"" + id.utf8() + "\", StatusBytes=0, GetError=0");
  EXPECT_TRUE(lines[4].ends_with(" StatIPPr = \"x.1.2.3\"")) << lines[4];
  EXPECT_EQ(lines[5], "  = StatusBytes=0, GetError=0");
  EXPECT_TRUE(lines[6].ends_with(" WriteNetParams()")) << lines[6];
  EXPECT_EQ(lines[7],
            "  = Result=0, HRESULT 0x80020009 \"'x' is not a valid decimal number\", "
            "StatusBytes=0, GetError=0");
}

TEST_F(TraceTest, ZDataChunksShowTheirNumberAndLengthOnly) {
  Open();
  TraceStart(trace.string(), 0, TraceOrigin::Explicit);
  port.printer().ArmReply(kCmdReadZData, "1,U2VjcmV0IGRheQ==", {0, 0, 0, 0, 0, 0});
  ASSERT_EQ(PrnExecuteCallback([](RetData&) {}, 0, kCmdReadZData, "0,0,0"), PRN_OK);
  const std::string text = FileBytes(trace);
  EXPECT_NE(text.find(", Z data chunk \"1\", 16 characters\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("U2Vj"), std::string::npos) << text;
}

TEST_F(TraceTest, ASaleLeavesItsCallsWithPasswordsMasked) {
  Open();
  TraceStart(trace.string(), 0, TraceOrigin::Explicit);
  VARIANT_BOOL ok = 0;
  LONG sold = 0;
  ASSERT_EQ(obj.OpenFiscReceipt(1, 3, Bstr("Секрет7").get(), &ok), S_OK);
  ASSERT_EQ(ok, VARIANT_TRUE);
  ASSERT_EQ(
      obj.SellArticul(Bstr("Сок яблочный").get(), 12.5, 2, 1, 5, Bstr("7").get(), 0, 0, &sold),
      S_OK);
  ASSERT_EQ(sold, 1);
  EXPECT_EQ(obj.SellArticul(Bstr("Сок").get(), -1, 1, 1, 5, Bstr("7").get(), 0, 0, &sold),
            static_cast<HRESULT>(0xFFFFFFFCu));

  const std::string text = FileBytes(trace);
  EXPECT_EQ(text.find("Секрет7"), std::string::npos) << text;
  EXPECT_NE(text.find(" OpenFiscReceipt(OperatorNum=1, POSNum=3, OperatorPSW=***)\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\n  48 Открыть фискальный чек \"00001,***,00003,I\"\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find(" SellArticul(NameArt=\"Сок яблочный\", Price=12.5, Quantity=2, Tax=1, "
                      "Group=5, Password=***, Perc=0, dc=0)\n"),
            std::string::npos)
      << text;
  // The article's programming carries the password at its place only (the group is 5).
  EXPECT_NE(text.find("\n  107 Программирование артикулов и получение информации о них \"PБ"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(",5,12.50,***,Сок яблочный\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n  = Result=1, StatusBytes=0, GetError=0\n"), std::string::npos) << text;
  // The negative price: the entry's own HRESULT with its description, its result left unwritten.
  EXPECT_NE(text.find("\n  = Result=1, HRESULT 0xFFFFFFFC \"SellArticul: the price is negative; "),
            std::string::npos)
      << text;
}

TEST_F(TraceTest, PastItsSizeTheFileIsRenamedAndBegunAnew) {
  Open();
  TraceStart(trace.string(), 1, TraceOrigin::Explicit);
  const auto older = std::filesystem::path(trace.string() + ".1");
  VARIANT_BOOL ok = 0;
  for (int second = 0; second < 59; ++second) {
    clock.SetLocal({2026, 12, 10, 14, 3, second, 0});
    ASSERT_EQ(obj.IsPresent(&ok), S_OK);
  }
  ASSERT_TRUE(std::filesystem::exists(older));
  const auto block = FileBytes(trace).size() / Lines(FileBytes(trace)).size() * 6;
  EXPECT_LT(std::filesystem::file_size(trace), 1024 + block);
  EXPECT_GE(std::filesystem::file_size(older), 1024u);
  // One older file only: what was renamed first is gone.
  EXPECT_EQ(FileBytes(older).find("14:03:00.000"), std::string::npos);
  EXPECT_NE(FileBytes(trace).find("14:03:58.000"), std::string::npos);
}

TEST_F(TraceTest, AFileMovedOrDeletedKeepsWhatItHadAndTheNextEntryBeginsANewOne) {
  Open();
  TraceStart(trace.string(), 0, TraceOrigin::Explicit);
  VARIANT_BOOL ok = 0;
  const auto call_at = [&](int second) {
    clock.SetLocal({2026, 12, 10, 14, 3, second, 0});
    ASSERT_EQ(obj.IsPresent(&ok), S_OK);
  };
  call_at(1);
  const auto moved = dir / "moved.log";
  std::filesystem::rename(trace, moved);
  call_at(2);
  const std::string first = FileBytes(moved);
  EXPECT_NE(first.find("14:03:01.000"), std::string::npos) << first;
  EXPECT_EQ(first.find("14:03:02.000"), std::string::npos) << first;
  EXPECT_EQ(FileBytes(trace).find("14:03:01.000"), std::string::npos);
  EXPECT_NE(FileBytes(trace).find("14:03:02.000"), std::string::npos);

  std::filesystem::remove(trace);
  call_at(3);
  EXPECT_EQ(Lines(FileBytes(trace)).size(), Lines(first).size());
  EXPECT_NE(FileBytes(trace).find("14:03:03.000"), std::string::npos);
  EXPECT_EQ(FileBytes(moved), first);
}

TEST_F(TraceTest, AFifoWithoutReaderStopsTheTraceInsteadOfHoldingTheEntry) {
  Open();
  ASSERT_EQ(mkfifo(trace.c_str(), 0600), 0);
  TraceStart(trace.string(), 0, TraceOrigin::Explicit);
  ::testing::internal::CaptureStderr();
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.IsPresent(&ok), S_OK);
  const std::string notices = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(ok, VARIANT_TRUE);
  EXPECT_FALSE(TraceOn());
  EXPECT_NE(notices.find("protocol trace stopped: cannot open"), std::string::npos) << notices;
}

TEST_F(TraceTest, ASymbolicLinkInTheFilesPlaceIsNeverWrittenThrough) {
  // The link is there at the start, or it takes the file's place between two entries.
  for (const bool at_start : {true, false}) {
    SCOPED_TRACE(at_start ? "at the start" : "between entries");
    const auto victim = dir / "victim.txt";
    { std::ofstream(victim) << "keep\n"; }
    std::filesystem::remove(trace);
    if (at_start) std::filesystem::create_symlink(victim, trace);
    Open();
    TraceStart(trace.string(), 0, TraceOrigin::Explicit);
    VARIANT_BOOL ok = 0;
    if (!at_start) {
      ASSERT_EQ(obj.IsPresent(&ok), S_OK);
      ASSERT_TRUE(TraceOn());
      std::filesystem::remove(trace);
      std::filesystem::create_symlink(victim, trace);
    }
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(obj.IsPresent(&ok), S_OK);
    const std::string notices = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(FileBytes(victim), "keep\n");
    EXPECT_FALSE(TraceOn());
    EXPECT_NE(notices.find("protocol trace stopped: cannot open"), std::string::npos) << notices;
  }
}

TEST_F(TraceTest, AHugeMaxSizeIsTakenAsTheLargestAndNeverRollsOverAtEachEntry) {
  const auto settings = dir / "ZRepRec.ini";
  // Each of these overflowed once it was taken as bytes.
  for (const char* max_kb :
       {"9223372036854775807", "99999999999999999999999", "18014398509481984"}) {
    SCOPED_TRACE(max_kb);
    std::filesystem::remove(trace);
    std::filesystem::remove(trace.string() + ".1");
    {
      std::ofstream(settings) << "[Identification]\nIdReastaurant=12\n[Trace]\nFile="
                              << trace.string() << "\nMaxSizeKB=" << max_kb << "\n";
    }
    int result = 0;
    ASSERT_EQ(obj.SetComPort(1, 115200, &result), S_OK);
    ASSERT_TRUE(TraceOn());
    VARIANT_BOOL ok = 0;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(obj.IsPresent(&ok), S_OK);
    EXPECT_FALSE(std::filesystem::exists(trace.string() + ".1"));
    EXPECT_EQ(Lines(FileBytes(trace)).size(), 3u * 6u) << FileBytes(trace);
    TraceStop();
  }
}

TEST_F(TraceTest, ATraceThatCannotBeWrittenStopsAndChangesNothing) {
  // The same calls with the trace off and with a trace into a directory that does not exist.
  auto run = [this] {
    std::vector<long> results;
    int opened = 0;
    obj.SetComPort(1, 115200, &opened);
    VARIANT_BOOL ok = 0;
    obj.IsPresent(&ok);
    results.push_back(ok);
    obj.DisplayUP(Bstr("Текст").get(), &ok);
    results.push_back(ok);
    Bstr value;
    obj.get_DateTime(value.out());
    results.push_back(static_cast<long>(value.utf8().size()));
    results.push_back(CallStatus());
    results.push_back(Error());
    results.push_back(opened);
    return results;
  };
  const auto untraced = run();
  LinkReset();
  ResetObjectState();
  TraceStart((dir / "missing" / "trace.log").string(), 0, TraceOrigin::Explicit);
  ::testing::internal::CaptureStderr();
  const auto traced = run();
  const std::string notices = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(traced, untraced);
  EXPECT_FALSE(TraceOn());
  EXPECT_EQ(Lines(notices).size(), 1u) << notices;
  EXPECT_NE(notices.find("protocol trace stopped"), std::string::npos) << notices;
  EXPECT_NE(notices.find((dir / "missing" / "trace.log").string()), std::string::npos);
}

TEST_F(TraceTest, TheSettingsFileTurnsTheTraceOnOnlyWithItsSection) {
  const auto settings = dir / "ZRepRec.ini";
  const auto traced = dir / "from-settings.log";
  { std::ofstream(settings) << "[Identification]\nIdReastaurant=12\n"; }
  int result = 0;
  ASSERT_EQ(obj.SetComPort(1, 115200, &result), S_OK);
  ASSERT_EQ(result, 1);
  EXPECT_FALSE(TraceOn());
  VARIANT_BOOL ok = 0;
  obj.IsPresent(&ok);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                          std::filesystem::directory_iterator()),
            1);  // the settings file alone

  {
    std::ofstream(settings) << "[Identification]\nIdReastaurant=12\n[Trace]\nFile="
                            << traced.string() << "\nMaxSizeKB=64\n";
  }
  ASSERT_EQ(obj.SetComPort(1, 115200, &result), S_OK);
  EXPECT_TRUE(TraceOn());
  obj.IsPresent(&ok);
  EXPECT_NE(FileBytes(traced).find(" IsPresent()"), std::string::npos);

  // Without the section again the trace of the settings ends; an explicit one stays.
  { std::ofstream(settings) << "[Identification]\nIdReastaurant=12\n"; }
  ASSERT_EQ(obj.SetComPort(1, 115200, &result), S_OK);
  EXPECT_FALSE(TraceOn());
  TraceStart(trace.string(), 0, TraceOrigin::Explicit);
  ASSERT_EQ(obj.SetComPort(1, 115200, &result), S_OK);
  EXPECT_TRUE(TraceOn());
}

TEST_F(TraceTest, TheEnvironmentStartsATraceOnlyWhereAProgramAsksAndWinsOverTheSettings) {
  const auto settings = dir / "ZRepRec.ini";
  const auto other = dir / "from-settings.log";
  { std::ofstream(settings) << "[Identification]\nIdReastaurant=12\n"; }
  ASSERT_EQ(setenv("MOLVEXECR_TRACE", "", 1), 0);
  TraceStartFromEnvironment();
  EXPECT_FALSE(TraceOn());  // empty: no trace

  ASSERT_EQ(setenv("MOLVEXECR_TRACE", trace.c_str(), 1), 0);
  int result = 0;
  ASSERT_EQ(obj.SetComPort(1, 115200, &result), S_OK);
  EXPECT_FALSE(TraceOn());  // the object itself never reads the environment

  TraceStartFromEnvironment();
  ASSERT_TRUE(TraceOn());
  {
    std::ofstream(settings) << "[Identification]\nIdReastaurant=12\n[Trace]\nFile="
                            << other.string() << "\n";
  }
  ASSERT_EQ(obj.SetComPort(1, 115200, &result), S_OK);
  VARIANT_BOOL ok = 0;
  obj.IsPresent(&ok);
  unsetenv("MOLVEXECR_TRACE");
  EXPECT_NE(FileBytes(trace).find(" IsPresent()"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(other));
}

TEST_F(TraceTest, DataTextsMaskThePasswordsWhereTheCommandCarriesThem) {
  struct Case {
    std::int32_t command;
    std::string data;
    std::vector<std::string> passwords;
    std::string masked;
  };
  const Case cases[] = {
      {kCmdOpenFiscal, "00001,1234,00003,I", {"1234"}, "00001,***,00003,I"},
      {kCmdOpenFiscal, "00001,,00003,I", {""}, "00001,,00003,I"},
      // A password holding a comma is masked whole.
      {kCmdReport, "12,34,0", {"12,34"}, "***,0"},
      {kCmdPeriodShortByNumber, "99,0001,0025", {"99"}, "***,0001,0025"},
      // The group field equals the password: only the password's place is masked.
      {kCmdArticle,
       "P\xC0"
       "7,1,12.50,1,Milk",
       {"1"},
       "P\xC0"
       "7,1,12.50,***,Milk"},
      {kCmdArticle, "DA,secret", {"secret"}, "DA,***"},
      {kCmdArticle, "D12,secret", {"secret"}, "D12,***"},
      {kCmdArticle, "C12,4.50,pw", {"pw"}, "C12,4.50,***"},
      {kCmdArticle, "R12", {"x"}, "R12"},
      {kCmdSetOperatorPassword, "3,old,new", {"old", "new"}, "3,***,***"},
      {kCmdSetOperatorPassword, "3,,new", {"", "new"}, "3,,***"},
      {kCmdSetOperatorName, "3,pw,Іван", {"pw"}, "3,***,Іван"},
      {kCmdClearOperatorPassword, "3,admin", {"admin"}, "3,***"},
      // Without the entry's values the field up to its comma goes.
      {kCmdOpenFiscal, "00001,1234,00003,I", {}, "00001,***,00003,I"},
      {kCmdSale, "12*1.500", {"12"}, "12*1.500"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data);
    EXPECT_EQ(TraceMaskData(c.command, c.data, c.passwords), c.masked);
  }
}

}  // namespace
}  // namespace molvex::testing
