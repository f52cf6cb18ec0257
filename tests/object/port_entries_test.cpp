// Opening and closing the port, the identity reads and the version texts.
#include <fstream>

#include "tests/object/object_fixture.h"
#include "tests/support/file_bytes.h"

namespace molvex::testing {
namespace {

TEST_F(ObjectTest, SetComPortAcceptsOnlyTheFourSpeeds) {
  const std::pair<int, int> cases[] = {{9600, 100},  {19200, 100},   {57600, 100}, {115200, 100},
                                       {38400, -1},  {4800, -1},     {0, -1},      {-9600, -1},
                                       {115201, -1}, {INT32_MAX, -1}};
  for (const auto& [speed, expected] : cases) {
    SCOPED_TRACE(speed);
    LinkReset();
    ResetObjectState();
    int result = 0;
    ASSERT_EQ(obj.SetComPort(1, speed, &result), S_OK);
    EXPECT_EQ(result, expected);
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), expected == -1 ? 1 : 0);
    EXPECT_EQ(port.is_open(), expected != -1);
    if (expected != -1) {
      EXPECT_EQ(port.opened_baud(), speed);
    }
  }
  // Opening sends nothing to the printer.
  EXPECT_TRUE(port.requests().empty());
}

TEST_F(ObjectTest, ARefusedSpeedLeavesTheOpenPortUsable) {
  Open();
  int result = 0;
  ASSERT_EQ(obj.SetComPort(1, 38400, &result), S_OK);
  EXPECT_EQ(result, -1);
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.IsPresent(&ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  EXPECT_EQ(port.opened_baud(), 115200);
}

TEST_F(ObjectTest, APortThatCannotBeOpenedLeavesNoPort) {
  Open();
  // Reopening on a port the system cannot open closes the old one and leaves none.
  port.OnlyPort(1);
  int result = 0;
  ASSERT_EQ(obj.SetComPort(2, 9600, &result), S_OK);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_EQ(Error(), 1);
  EXPECT_FALSE(port.is_open());
  VARIANT_BOOL ok = 7;
  ASSERT_EQ(obj.IsPresent(&ok), S_OK);
  EXPECT_EQ(ok, VARIANT_FALSE);
  EXPECT_TRUE(port.requests().empty());
  // Port numbers below 1 never open.
  port.OnlyPort(0);
  for (int number : {0, -1}) {
    ASSERT_EQ(obj.SetComPort(number, 9600, &result), S_OK);
    EXPECT_EQ(result, -1);
    ASSERT_EQ(obj.IsPresent(&ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
  }
}

TEST_F(ObjectTest, SetComPortReportsTheSettingsReading) {
  int result = 0;
  { std::ofstream(dir / "ZRepRec.ini") << "[Identification]\nIdReastaurant=42\n"; }
  ASSERT_EQ(obj.SetComPort(1, 9600, &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(SharedArchiveSettings().IdReastaurant, "42");
  { std::ofstream(dir / "ZRepRec.ini") << "[Identification]\nIdReastaurant=\n"; }
  ASSERT_EQ(obj.SetComPort(1, 9600, &result), S_OK);
  EXPECT_EQ(result, -100);
  // The port is open all the same.
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.IsPresent(&ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  // Deleted after a good reading: nothing of that reading stays in force.
  { std::ofstream(dir / "ZRepRec.ini") << "[Identification]\nIdReastaurant=42\n"; }
  ASSERT_EQ(obj.SetComPort(1, 9600, &result), S_OK);
  ASSERT_EQ(result, 1);
  std::filesystem::remove(dir / "ZRepRec.ini");
  ASSERT_EQ(obj.SetComPort(1, 9600, &result), S_OK);
  EXPECT_EQ(result, 100);
  EXPECT_EQ(SharedArchiveSettings().IdReastaurant, "");
  EXPECT_EQ(SharedArchiveSettings().LocalPath, dir.string() + "/");
}

TEST_F(ObjectTest, SetComPortReportsARefusedIdentifierInItsErrorInformationAndTheLog) {
  {
    std::ofstream(dir / "ZRepRec.ini")
        << "[Identification]\nIdReastaurant=..\\x\nFiscalPrinter=3:s\n[Files]\nLocalPath="
        << dir.string() << "/\n";
  }
  int result = 0;
  ASSERT_EQ(obj.SetComPort(1, 9600, &result), S_OK);
  EXPECT_EQ(result, 1);  // the port is open and the rest was read
  ErrorInfoRecord info;
  ASSERT_TRUE(TakeErrorInfo(info));
  EXPECT_NE(info.description.find("ZRepRec.ini: IdReastaurant holds a character"),
            std::string::npos)
      << info.description;
  EXPECT_NE(info.description.find("; ZRepRec.ini: FiscalPrinter holds a character"),
            std::string::npos)
      << info.description;
  EXPECT_EQ(SharedArchiveSettings().IdReastaurant, "");
  EXPECT_EQ(SharedArchiveSettings().FiscalPrinter, "");
  // One line for each in the info log, written in the Windows-1251 code page.
  const std::string log = testsupport::FileBytes(dir / "infoZ.log");
  const std::string refused = "\xE7\xED\xE0\xF7\xE5\xED\xE8\xE5 \xE2 ZRepRec.ini: ";
  EXPECT_NE(log.find(refused + "IdReastaurant \n"), std::string::npos) << log;
  EXPECT_NE(log.find(refused + "FiscalPrinter \n"), std::string::npos) << log;

  // Good identifiers: no error information is left.
  { std::ofstream(dir / "ZRepRec.ini") << "[Identification]\nIdReastaurant=12\n"; }
  ASSERT_EQ(obj.SetComPort(1, 9600, &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_FALSE(TakeErrorInfo(info));
}

TEST_F(ObjectTest, CloseComPortClosesOnlyTheOpenNumber) {
  Open();
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.ClearRegDisplay(&ok), S_OK);  // something to keep
  ArmStatus(33, {0x80, 0x88, 0x80, 0x80, 0x80, 0x80});
  ASSERT_EQ(obj.ClearRegDisplay(&ok), S_OK);
  port.printer().ClearRequests();

  int result = 0;
  ASSERT_EQ(obj.CloseComPort(3, &result), S_OK);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_EQ(Error(), 1);
  EXPECT_TRUE(port.is_open());
  EXPECT_TRUE(port.requests().empty());

  ASSERT_EQ(obj.CloseComPort(1, &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Commands(), (std::vector<int>{74}));
  EXPECT_FALSE(port.is_open());
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(Error(), 1);  // the saved outcome is that of the refused close, not cleared
  ASSERT_EQ(obj.IsPresent(&ok), S_OK);
  EXPECT_EQ(ok, VARIANT_FALSE);
  // Closed already: the number no longer matches.
  ASSERT_EQ(obj.CloseComPort(1, &result), S_OK);
  EXPECT_EQ(result, -1);
}

TEST_F(ObjectTest, CloseComPortKeepsTheSavedStatus) {
  Open();
  ArmStatus(33, {0x80, 0x88, 0x80, 0x80, 0x80, 0x80});
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.ClearRegDisplay(&ok), S_OK);
  int result = 0;
  ASSERT_EQ(obj.CloseComPort(1, &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0, 0x08, 0, 0, 0, 0}));
  EXPECT_EQ(Error(), 0);
}

TEST_F(ObjectTest, VersionTextsAnswerWithoutAPort) {
  Bstr ver, version;
  ASSERT_EQ(obj.GetVerDLL(ver.out()), S_OK);
  EXPECT_EQ(ver.utf8(), "MolvexECR OLE v5.20 +5.00 LT7260R , +4.00  2014");
  ASSERT_EQ(obj.get_VersionDLL(version.out()), S_OK);
  EXPECT_EQ(version.utf8(), "MolvexECR OLE v5.20 LT7260R 21.08.2013");
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(Error(), 0);
}

TEST_F(ObjectTest, GetSerNumberGivesTheSeventhFieldOfTheDiagnostics) {
  Open();
  Bstr number;
  LONG result = 9;
  ASSERT_EQ(obj.GetSerNumber(number.out(), &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(number.utf8(), "LT00012345");
  EXPECT_EQ(Commands(), (std::vector<int>{74, 90}));
  EXPECT_EQ(LastData(), "0");
}

TEST_F(ObjectTest, AFailedGetSerNumberSetsNothing) {
  Open();
  ArmStatus(33, {0x80, 0x88, 0x80, 0x80, 0x80, 0x80});
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(obj.ClearRegDisplay(&ok), S_OK);
  port.printer().Arm(sim::Fault::Nak, 2);
  Bstr number;
  LONG result = 9;
  ASSERT_EQ(obj.GetSerNumber(number.out(), &result), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(number.get(), nullptr);
  // The previous call's outcome stands.
  EXPECT_EQ(CallStatus(), 0);
  EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0, 0x08, 0, 0, 0, 0}));
  // A reply without a seventh field gives no number either.
  ArmStatus(90, {0x80, 0x80, 0x80, 0x80, 0x80, 0x80}, "LT7260R 1.02 2013");
  ASSERT_EQ(obj.GetSerNumber(number.out(), &result), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(number.get(), nullptr);
}

TEST_F(ObjectTest, IdDevAsksWithoutPortTestOrPreRead) {
  Open();
  Bstr id;
  ASSERT_EQ(obj.get_ID_DEV(id.out()), S_OK);
  EXPECT_EQ(id.utf8(), "Molvex LT7260R LT00012345 V1.02");
  EXPECT_EQ(Commands(), (std::vector<int>{255}));
  EXPECT_EQ(CallStatus(), 0);
  port.printer().Arm(sim::Fault::Silence, 1);
  ASSERT_EQ(obj.get_ID_DEV(id.out()), S_OK);
  EXPECT_EQ(id.utf8(), "");
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 19);
}

}  // namespace
}  // namespace molvex::testing
