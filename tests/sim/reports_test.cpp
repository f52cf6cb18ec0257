// Reports, Z data read back, clock, identity and settings through the real link.
#include <gtest/gtest.h>

#include "sim/model/device.h"
#include "tests/sim/sim_harness.h"

namespace simtest {
namespace {

constexpr std::uint32_t kNotAllowed = 1u << 5;

std::string DecodeBase64(const std::string& text) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=') break;
    const auto v = kAlphabet.find(c);
    if (v == std::string::npos) return "<bad base64>";
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((acc >> bits) & 0xFF);
    }
  }
  return out;
}

class Reports : public LinkedPrinter {
 protected:
  void SetUp() override {
    LinkedPrinter::SetUp();
    clock.SetLocal(molvex::LocalDateTime{2026, 12, 10, 13, 45, 7});
    ProgramArticle(1, '\xC0', "12.50", "BREAD");
  }
  void Sale() {
    Ok(48, "00001,,00001,I");
    Ok(58, "1*2.000");
    Ok(53, "\tP");
    Ok(56);
  }
  // Reads the Z data chunk by chunk as the host does.
  std::string ReadZData() {
    std::string encoded;
    for (int chunk = 0; chunk < 200; ++chunk) {
      const LinkReply r = Ok(167, "0,0," + std::to_string(chunk));
      if (r.Field(1) == "0") return DecodeBase64(encoded);
      EXPECT_EQ(r.Field(1), std::to_string(r.Field(2).size()));
      EXPECT_LE(r.Field(2).size(), 60u);
      encoded += r.Field(2);
    }
    ADD_FAILURE() << "Z data without end";
    return "";
  }
};

TEST_F(Reports, ZReportStoresItsDataForReadBackAndStartsANewDay) {
  EXPECT_EQ(Ok(167, "0,0,0").Field(1), "0") << "no Z report yet";
  Sale();
  Ok(70, "5.00");
  EXPECT_EQ(Ok(69, "0,2").Field(2), "2500");  // X report: the day so far
  EXPECT_EQ(Ok(65, "0").Field(2), "2500") << "an X report clears nothing";
  EXPECT_EQ(Ok(69, "0,0").Field(1), "1");

  const std::string z = ReadZData();
  EXPECT_NE(z.find("Z=1\n"), std::string::npos) << z;
  EXPECT_NE(z.find("DATE=2026-12-10\n"), std::string::npos) << z;
  EXPECT_NE(z.find("SALES_1=25.00\n"), std::string::npos) << z;
  EXPECT_NE(z.find("RECEIPTS=1\n"), std::string::npos) << z;
  EXPECT_NE(z.find("SERVICE_IN=5.00\n"), std::string::npos) << z;

  const LinkReply last = Ok(64, "0");
  EXPECT_EQ(last.Field(1), "1");
  EXPECT_EQ(last.Field(2), "2500");
  const LinkReply day = Ok(65, "0");
  EXPECT_EQ(day.Field(1), "2") << "the number the next Z report gets";
  EXPECT_EQ(day.Field(2), "0");
  EXPECT_EQ(Ok(70).Field(1), "3000") << "the drawer keeps its cash";
  Sale();
  Ok(69, "0,0");
  EXPECT_NE(ReadZData().find("Z=2\n"), std::string::npos);
  EXPECT_NE(Run(64, "9").error & 1u, 0u) << "unknown totals index";
}

TEST_F(Reports, PeriodAndJournalReportsCountWhatTheyPrint) {
  Sale();
  Ok(69, "0,0");
  Sale();
  Ok(69, "0,0");
  EXPECT_EQ(Ok(95, "0,0001,0002").Field(1), "2");
  EXPECT_EQ(Ok(73, "0,0002,0009").Field(1), "1");
  EXPECT_EQ(Ok(79, "0,011226,311226").Field(1), "2");
  EXPECT_EQ(Ok(94, "0,011126,301126").Field(1), "0");
  EXPECT_NE(Run(94, "0,321226,311226").error & 1u, 0u) << "no such date";
  EXPECT_EQ(Ok(116, "1").Field(1), "1");
  EXPECT_NE(Run(116, "999").error & kNotAllowed, 0u);
  EXPECT_EQ(Ok(235, "1,3").Field(1), "3");
  EXPECT_EQ(Ok(236, "2").Field(1), "2");
  EXPECT_EQ(Ok(111, "0,P").Field(1), "1");
}

TEST_F(Reports, ClockReadsSetsAndRefusesToGoBackBeforeTheLastZ) {
  const LinkReply now = Ok(62);
  EXPECT_EQ(now.reply, "10-12-26 13:45:07");
  EXPECT_EQ(now.Field(1), "10-12-26");  // the link splits at the blank
  EXPECT_EQ(now.Field(2), "13:45:07");
  Ok(61, "31-12-26 23:59:00");
  EXPECT_EQ(Ok(62).reply, "31-12-26 23:59:00");
  clock.SetLocal(molvex::LocalDateTime{2026, 12, 10, 13, 47, 7});  // two minutes later
  EXPECT_EQ(Ok(62).reply, "01-01-27 00:01:00");
  Ok(69, "0,0");
  EXPECT_NE(Run(61, "01-12-26 10:00:00").error & kNotAllowed, 0u);
}

TEST_F(Reports, IdentityDiagnosticsAndNetworkSettings) {
  EXPECT_EQ(Ok(255).Field(1), molvex::sim::kIdentity);
  const LinkReply diag = Ok(90, "0");
  EXPECT_EQ(diag.Field(1), "LT7260R");
  EXPECT_EQ(diag.Field(7), molvex::sim::kSerialNumber);

  Ok(36, "0,C0A8000A,FFFFFF00,C0A80001,0A000005,401F,3C00,0500");
  const LinkReply net = Ok(37);
  ASSERT_EQ(net.fields.size(), 8u);
  EXPECT_EQ(net.Field(2), "C0A8000A");
  EXPECT_EQ(net.Field(6), "401F");
  EXPECT_EQ(net.Field(7), "3C00");
  EXPECT_EQ(device.state().net.target_port, 8000);
  EXPECT_NE(Run(36, "0,C0A8000A,FFFFFF00").error & 1u, 0u);

  const LinkReply modem = Ok(108, "0");
  ASSERT_EQ(modem.fields.size(), 5u);
  EXPECT_EQ(modem.Field(1).size(), 2u);
  EXPECT_EQ(modem.Field(3).size(), 5u);  // hh:mm
}

}  // namespace
}  // namespace simtest
