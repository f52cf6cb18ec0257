// Network settings and modem report: the wire encodings both ways, the result codes, the
// properties, and the exception of an address that is not made of decimal numbers.
#include "tests/object/object_fixture.h"

namespace molvex::testing {
namespace {

class NetworkTest : public ObjectTest {
 protected:
  LONG Get() {
    LONG r = 99;
    EXPECT_EQ(obj.GetNetParams(&r), S_OK);
    return r;
  }
  LONG Write() {
    LONG r = 99;
    EXPECT_EQ(obj.WriteNetParams(&r), S_OK);
    return r;
  }
  LONG Modem() {
    LONG r = 99;
    EXPECT_EQ(obj.ReportModem(&r), S_OK);
    return r;
  }
  std::string Text(HRESULT (TTECRFiscImpl::*get)(BSTR*)) {
    Bstr text;
    EXPECT_EQ((obj.*get)(text.out()), S_OK);
    return text.utf8();
  }
  LONG Number(HRESULT (TTECRFiscImpl::*get)(LONG*)) {
    LONG v = 99;
    EXPECT_EQ((obj.*get)(&v), S_OK);
    return v;
  }
  bool Flag(HRESULT (TTECRFiscImpl::*get)(VARIANT_BOOL*)) {
    VARIANT_BOOL v = 7;
    EXPECT_EQ((obj.*get)(&v), S_OK);
    EXPECT_TRUE(v == VARIANT_TRUE || v == VARIANT_FALSE);
    return v == VARIANT_TRUE;
  }
  void SetAddresses(const char* ip, const char* mask, const char* bridge, const char* target) {
    const Bstr a(ip), b(mask), c(bridge), d(target);
    ASSERT_EQ(obj.put_StatIPPr(a.get()), S_OK);
    ASSERT_EQ(obj.put_SubnetMaskPr(b.get()), S_OK);
    ASSERT_EQ(obj.put_BridgeAddrPr(c.get()), S_OK);
    ASSERT_EQ(obj.put_TargetAddrPr(d.get()), S_OK);
  }
  void SetNumbers(LONG port_number, LONG period, LONG by_error) {
    ASSERT_EQ(obj.put_TargetPortPr(port_number), S_OK);
    ASSERT_EQ(obj.put_RepeatPeriodPr(period), S_OK);
    ASSERT_EQ(obj.put_RepeatByErrorPr(by_error), S_OK);
  }
  void ArmNet(const std::string& data) { port.printer().ArmReply(37, data, kClean); }
};

TEST_F(NetworkTest, GetNetParamsDecodesAddressesAndLowByteFirstNumbers) {
  Open();
  ArmNet("1,C0A80064,FFFFFF00,C0A80001,0A000005,5000,E803,FFFF");
  EXPECT_EQ(Get(), 0);
  EXPECT_EQ(Commands(), (std::vector<int>{37}));  // no status pre-read
  EXPECT_EQ(LastData(), "");
  EXPECT_TRUE(Flag(&TTECRFiscImpl::get_DHCPworkPr));
  EXPECT_EQ(Text(&TTECRFiscImpl::get_StatIPPr), "192.168.0.100");
  EXPECT_EQ(Text(&TTECRFiscImpl::get_SubnetMaskPr), "255.255.255.0");
  EXPECT_EQ(Text(&TTECRFiscImpl::get_BridgeAddrPr), "192.168.0.1");
  EXPECT_EQ(Text(&TTECRFiscImpl::get_TargetAddrPr), "10.0.0.5");
  EXPECT_EQ(Number(&TTECRFiscImpl::get_TargetPortPr), 80);
  EXPECT_EQ(Number(&TTECRFiscImpl::get_RepeatPeriodPr), 1000);
  EXPECT_EQ(Number(&TTECRFiscImpl::get_RepeatByErrorPr), 65535);
  // Only "0" exactly means no DHCP.
  for (const auto& [field, dhcp] : {std::pair{"0", false}, {"00", true}, {"", true}}) {
    ArmNet(std::string(field) + ",00000000,00000000,00000000,00000000,0000,0000,0000");
    EXPECT_EQ(Get(), 0);
    EXPECT_EQ(Flag(&TTECRFiscImpl::get_DHCPworkPr), dhcp) << field;
  }
}

TEST_F(NetworkTest, AMalformedFieldStopsGetNetParamsWhereItStands) {
  struct Case {
    const char* reply;
    LONG result;
    const char* ip;
    const char* mask;
    LONG port_number;
  };
  // Before each case the properties hold 1.1.1.1, 2.2.2.2, ..., port 7.
  const Case cases[] = {
      {"1,c0a80064,FFFFFF00,C0A80001,0A000005,5000,0100,0100", -2, "1.1.1.1", "2.2.2.2", 7},
      {"1,C0A80064,ffffff00,C0A80001,0A000005,5000,0100,0100", -3, "192.168.0.100", "2.2.2.2", 7},
      {"1,C0A80064,FFFFFF00,C0A8000,0A000005,5000,0100,0100", -4, "192.168.0.100", "255.255.255.0",
       7},
      {"1,C0A80064,FFFFFF00,C0A80001,0A00G005,5000,0100,0100", -5, "192.168.0.100", "255.255.255.0",
       7},
      {"1,C0A80064,FFFFFF00,C0A80001,0A000005,500,0100,0100", -6, "192.168.0.100", "255.255.255.0",
       7},
      {"1,C0A80064,FFFFFF00,C0A80001,0A000005,5000,01 0,0100", -7, "192.168.0.100", "255.255.255.0",
       80},
      {"1,C0A80064,FFFFFF00,C0A80001,0A000005,5000,0100,01", -8, "192.168.0.100", "255.255.255.0",
       80},
      // A reply that ends early: the first missing field is the one in error.
      {"1,C0A80064", -3, "192.168.0.100", "2.2.2.2", 7},
      {"", -2, "1.1.1.1", "2.2.2.2", 7},
      // Characters past the eighth (fourth) are not read.
      {"0,C0A80064FF,FFFFFF00,C0A80001,0A000005,5000zz,0100,0100", 0, "192.168.0.100",
       "255.255.255.0", 80},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    SetAddresses("1.1.1.1", "2.2.2.2", "3.3.3.3", "4.4.4.4");
    SetNumbers(7, 8, 9);
    ArmNet(c.reply);
    EXPECT_EQ(Get(), c.result);
    EXPECT_EQ(Text(&TTECRFiscImpl::get_StatIPPr), c.ip);
    EXPECT_EQ(Text(&TTECRFiscImpl::get_SubnetMaskPr), c.mask);
    EXPECT_EQ(Number(&TTECRFiscImpl::get_TargetPortPr), c.port_number);
    EXPECT_EQ(Number(&TTECRFiscImpl::get_RepeatByErrorPr), c.result == 0 ? 1 : 9);
    EXPECT_EQ(CallStatus(), -1) << "the call status of SetComPort stays";
  }
}

TEST_F(NetworkTest, GetNetParamsFailures) {
  Open();
  // No reply: the error word is saved with zero status bytes.
  port.printer().Arm(sim::Fault::Silence, 1);
  EXPECT_EQ(Get(), -100);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 19);
  EXPECT_TRUE(TimedOut());
  EXPECT_EQ(SavedStatus(), (std::array<int, 6>{0, 0, 0, 0, 0, 0}));
  // A printer refusal: its status bytes are saved.
  SetAddresses("1.1.1.1", "", "", "");
  ArmStatus(37, {0x80, 0x80, 0x80, 0x80, 0x81, 0x80}, "1,C0A80064");
  EXPECT_EQ(Get(), -1);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 14);
  EXPECT_EQ(Text(&TTECRFiscImpl::get_StatIPPr), "1.1.1.1");
}

TEST_F(NetworkTest, WriteNetParamsSendsTheWireForm) {
  struct Case {
    const char* ip;
    LONG port_number;
    std::string sent;
  };
  const Case cases[] = {
      {"192.168.0.10", 8000, "0,C0A8000A,FFFFFF00,C0A80001,0A000005,401F,3C00,0500"},
      {"10.1.2", 65535, "0,0A0102,FFFFFF00,C0A80001,0A000005,FFFF,3C00,0500"},
      {"1.2.3.4.5", 0, "0,01020304FFFFFF00,C0A80001,0A000005,0000,3C00,0500"},
      {"1.2.3.4.", 1, "0,01020304FFFFFF00,C0A80001,0A000005,0100,3C00,0500"},
      {"256.0.4095.7", 256, "0,10000FFF07,FFFFFF00,C0A80001,0A000005,0001,3C00,0500"},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ip);
    SetAddresses(c.ip, "255.255.255.0", "192.168.0.1", "10.0.0.5");
    SetNumbers(c.port_number, 60, 5);
    port.printer().ClearRequests();
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(Commands(), (std::vector<int>{36}));
    EXPECT_EQ(LastData(), c.sent);
  }
  ASSERT_EQ(obj.put_PrintReportModem(VARIANT_TRUE), S_OK);
  port.printer().ClearRequests();
  EXPECT_EQ(Write(), 0);
  EXPECT_EQ(LastData().substr(0, 2), "1,");
}

TEST_F(NetworkTest, WriteNetParamsRefusesBadValuesAndSendsNothing) {
  struct Case {
    const char* ip;
    LONG port_number;
    LONG period;
    LONG by_error;
    LONG result;
  };
  const Case cases[] = {
      {".1.2.3", 80, 60, 5, -1},      {"1..2.3", 80, 60, 5, -1},
      {"1.2.3.4", 65536, 60, 5, -2},  {"1.2.3.4", -1, 60, 5, -2},
      {"1.2.3.4", 80, 65536, 5, -1},  {"1.2.3.4", 80, INT32_MIN, 5, -1},
      {"1.2.3.4", 80, 60, 65536, -3}, {"1.2.3.4", 80, 60, INT32_MAX, -3},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ip);
    SetAddresses(c.ip, "255.255.255.0", "192.168.0.1", "10.0.0.5");
    SetNumbers(c.port_number, c.period, c.by_error);
    port.printer().ClearRequests();
    EXPECT_EQ(Write(), c.result);
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(CallStatus(), -1) << "the call status of SetComPort stays";
  }
  // Parts beyond a byte can make the text longer than one request carries.
  const char* const wide = "4294967295.4294967295.4294967295.4294967295";
  SetAddresses(wide, wide, wide, "1.2.3.4");
  SetNumbers(80, 60, 5);
  port.printer().ClearRequests();
  EXPECT_EQ(Write(), -1);
  EXPECT_TRUE(Commands().empty());
}

TEST_F(NetworkTest, AnAddressPartThatIsNoDecimalNumberRaisesAnException) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "'' is not a valid decimal number"},
      {"192.168.x.1", "'x' is not a valid decimal number"},
      {"192.168.0.", "'' is not a valid decimal number"},
      {"-1.0.0.0", "'-1' is not a valid decimal number"},
      {"4294967296.0.0.0", "'4294967296' is not a valid decimal number"},
      {"1.2.3. 4", "' 4' is not a valid decimal number"},
      {"1234567890123456789012345678901234567890",
       "'12345678901234567890123456789012...' is not a valid decimal number"},
  };
  Open();
  SetNumbers(80, 60, 5);
  for (const auto& [address, message] : cases) {
    SCOPED_TRACE(address);
    SetAddresses("10.0.0.1", "255.0.0.0", "10.0.0.254", address);
    port.printer().ClearRequests();
    LONG result = 77;
    EXPECT_EQ(obj.WriteNetParams(&result), DISP_E_EXCEPTION);
    EXPECT_EQ(result, 77);
    EXPECT_TRUE(Commands().empty());
    ErrorInfoRecord info;
    ASSERT_TRUE(TakeErrorInfo(info));
    EXPECT_EQ(info.description, message);
    EXPECT_EQ(info.source, "MolvexECR.TECRFisc");
  }
}

TEST_F(NetworkTest, WriteNetParamsReportsOnlyAMissingReply) {
  Open();
  SetAddresses("1.2.3.4", "255.0.0.0", "1.2.3.254", "5.6.7.8");
  SetNumbers(80, 60, 5);
  port.printer().Arm(sim::Fault::Silence, 1);
  EXPECT_EQ(Write(), -4);
  port.printer().Arm(sim::Fault::PrinterError, 1);
  EXPECT_EQ(Write(), 0);  // a printer refusal of the settings is not reported
  EXPECT_EQ(CallStatus(), -1);
  EXPECT_EQ(Error(), 0);
  // What the printer took comes back unchanged.
  EXPECT_EQ(Write(), 0);
  SetAddresses("", "", "", "");
  SetNumbers(0, 0, 0);
  EXPECT_EQ(Get(), 0);
  EXPECT_EQ(Text(&TTECRFiscImpl::get_StatIPPr), "1.2.3.4");
  EXPECT_EQ(Text(&TTECRFiscImpl::get_TargetAddrPr), "5.6.7.8");
  EXPECT_EQ(Number(&TTECRFiscImpl::get_TargetPortPr), 80);
  EXPECT_EQ(Number(&TTECRFiscImpl::get_RepeatPeriodPr), 60);
}

TEST_F(NetworkTest, ReportModemFillsTheModemProperties) {
  using Getter = HRESULT (TTECRFiscImpl::*)(VARIANT_BOOL*);
  const Getter flags[] = {&TTECRFiscImpl::get_MBSAM_ErrPr,   &TTECRFiscImpl::get_MemCrd_ErrPr,
                          &TTECRFiscImpl::get_KSEF_ErrPr,    &TTECRFiscImpl::get_IDDEF_SetPr,
                          &TTECRFiscImpl::get_TechReg_PrfPr, &TTECRFiscImpl::get_Person_PrfPr,
                          &TTECRFiscImpl::get_NetCbl_ConPr,  &TTECRFiscImpl::get_Ready_SndPr};
  const std::pair<const char*, unsigned> cases[] = {{"41", 0x41}, {"g4", 0x04}, {"FF", 0xFF},
                                                    {"4", 0x40},  {"", 0x00},   {"a1", 0x01}};
  Open();
  EXPECT_EQ(Number(&TTECRFiscImpl::get_PersReportPr), 0);
  for (const auto& [field, bits] : cases) {
    SCOPED_TRACE(field);
    port.printer().ArmReply(108, std::string(field) + ",01-02-26,10:15,03-04-25,11:20", kClean);
    port.printer().ClearRequests();
    EXPECT_EQ(Modem(), 0);
    EXPECT_EQ(Commands(), (std::vector<int>{108}));
    EXPECT_EQ(LastData(), "0");
    EXPECT_EQ(CallStatus(), 0);
    for (int bit = 0; bit < 8; ++bit) {
      EXPECT_EQ(Flag(flags[bit]), ((bits >> bit) & 1u) != 0) << "bit " << bit;
    }
  }
  EXPECT_EQ(Text(&TTECRFiscImpl::get_DataDocPr), "01-02-26");
  EXPECT_EQ(Text(&TTECRFiscImpl::get_TimeDocPr), "10:15");
  EXPECT_EQ(Text(&TTECRFiscImpl::get_DatePersPr), "03-04-25");
  EXPECT_EQ(Text(&TTECRFiscImpl::get_TimePersPr), "11:20");
  EXPECT_EQ(Number(&TTECRFiscImpl::get_PersReportPr), -1);

  // A failed report keeps the values and saves the failure.
  ArmStatus(108, {0x80, 0x80, 0x80, 0x80, 0x81, 0x80}, "00,x,x,x,x");
  EXPECT_EQ(Modem(), -1);
  EXPECT_EQ(CallStatus(), -2);
  EXPECT_EQ(Error(), 14);
  EXPECT_EQ(Text(&TTECRFiscImpl::get_DataDocPr), "01-02-26");
  EXPECT_TRUE(Flag(&TTECRFiscImpl::get_MBSAM_ErrPr));

  // The printed report: the flag goes out as the data text, the printer prints it.
  ASSERT_EQ(obj.put_PrintReportModem(-5), S_OK);  // any non-zero value is true
  port.printer().ClearRequests();
  EXPECT_EQ(Modem(), 0);
  EXPECT_EQ(LastData(), "1");
  EXPECT_TRUE(Flag(&TTECRFiscImpl::get_IDDEF_SetPr));  // the virtual printer's condition 48
  EXPECT_TRUE(Flag(&TTECRFiscImpl::get_NetCbl_ConPr));
  EXPECT_FALSE(Flag(&TTECRFiscImpl::get_MBSAM_ErrPr));
}

TEST_F(NetworkTest, WithoutAPortNothingIsSent) {
  int result = 0;
  for (int closed = 0; closed < 2; ++closed) {
    SCOPED_TRACE(closed ? "after CloseComPort" : "never opened");
    SetAddresses("1.2.3.4", "255.0.0.0", "1.2.3.254", "5.6.7.8");
    SetNumbers(80, 60, 5);
    port.printer().ClearRequests();
    EXPECT_EQ(Get(), -100);
    EXPECT_EQ(Write(), -4);
    EXPECT_EQ(Modem(), -1);
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(CallStatus(), -1);
    EXPECT_EQ(Error(), 1);
    EXPECT_EQ(Number(&TTECRFiscImpl::get_PersReportPr), 0);
    Open();
    ASSERT_EQ(obj.CloseComPort(1, &result), S_OK);
  }
}

TEST_F(NetworkTest, PropertiesReadBackWhatWasPut) {
  EXPECT_FALSE(Flag(&TTECRFiscImpl::get_DHCPworkPr));
  EXPECT_EQ(Text(&TTECRFiscImpl::get_StatIPPr), "");
  ASSERT_EQ(obj.put_DHCPworkPr(1), S_OK);
  EXPECT_TRUE(Flag(&TTECRFiscImpl::get_DHCPworkPr));
  EXPECT_EQ(Text(&TTECRFiscImpl::get_StatIPPr), "");
  EXPECT_EQ(Number(&TTECRFiscImpl::get_TargetPortPr), 0);
  ASSERT_EQ(obj.put_DHCPworkPr(VARIANT_FALSE), S_OK);
  EXPECT_FALSE(Flag(&TTECRFiscImpl::get_DHCPworkPr));
  // Texts are kept in the printer's code page; one it cannot hold is refused and the stored
  // text stays.
  SetAddresses("Шлюз", "255.0.0.0", "", "10.0.0.1");
  EXPECT_EQ(Text(&TTECRFiscImpl::get_StatIPPr), "Шлюз");
  const Bstr lacking("日本");
  EXPECT_EQ(obj.put_SubnetMaskPr(lacking.get()), DISP_E_EXCEPTION);
  ErrorInfoRecord info;
  ASSERT_TRUE(TakeErrorInfo(info));
  EXPECT_NE(info.description.find("SubnetMaskPr: character 1 (U+65E5)"), std::string::npos);
  EXPECT_EQ(Text(&TTECRFiscImpl::get_SubnetMaskPr), "255.0.0.0");
  SetNumbers(-7, INT32_MAX, 0);
  EXPECT_EQ(Number(&TTECRFiscImpl::get_TargetPortPr), -7);
  EXPECT_EQ(Number(&TTECRFiscImpl::get_RepeatPeriodPr), INT32_MAX);
  EXPECT_EQ(obj.get_StatIPPr(nullptr), E_POINTER);
  EXPECT_EQ(obj.get_TargetPortPr(nullptr), E_POINTER);
  EXPECT_EQ(obj.get_KSEF_ErrPr(nullptr), E_POINTER);
  EXPECT_EQ(obj.GetNetParams(nullptr), E_POINTER);
}

}  // namespace
}  // namespace molvex::testing
