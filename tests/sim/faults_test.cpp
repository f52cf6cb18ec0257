// Faults armed through the control words, seen through the real link.
#include <gtest/gtest.h>

#include "sim/wire/control.h"
#include "sim/wire/frame.h"
#include "tests/sim/sim_harness.h"

namespace simtest {
namespace {

using molvex::sim::ApplyControl;

constexpr std::uint32_t kChecksum = 1u << 24;
constexpr std::uint32_t kNak = 1u << 25;
constexpr std::uint32_t kNoReply = 1u << 26;

class Faults : public LinkedPrinter {
 protected:
  void Arm(const std::string& line) { ASSERT_EQ(ApplyControl(printer, line), "") << line; }
};

TEST_F(Faults, EachFaultShowsAsTheHostSeesIt) {
  struct Case {
    const char* control;
    std::uint32_t error;  // failure bits of the error word
    bool executed;        // the display line was written
    std::int64_t at_least_ms;
  };
  const Case cases[] = {
      {"nak", kNak, false, 0},
      {"bad-check", kChecksum, true, 0},
      {"silence", kNoReply, false, 5000},
      {"syn 7000", 0, true, 7000},  // SYN keeps the host waiting beyond its 5 s
      {"noise", 0, true, 0},
      {"cut-frame", 0, true, 0},
      {"early-terminator", kChecksum, true, 0},
      {"wrong-terminator", kNoReply, true, 0},
      {"slow 90", 0, true, 90},
      {"printer-error", (1u << 3) | (1u << 27), false, 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    Arm(c.control);
    const std::string text = "LINE" + std::to_string(++n);
    const std::int64_t start = clock.MonotonicMs();
    const LinkReply r = Run(47, text);
    EXPECT_EQ(r.error & FailureMask, c.error);
    EXPECT_EQ(device.display_upper() == text, c.executed);
    EXPECT_GE(clock.MonotonicMs() - start, c.at_least_ms);
    EXPECT_EQ(Run(47, "AFTER").error & FailureMask, 0u) << "the fault lasts one request";
  }
}

TEST_F(Faults, CountsArmSeveralRequestsInOrder) {
  Arm("nak 2");
  Arm("silence");
  EXPECT_EQ(Run(33).error, kNak);
  EXPECT_EQ(Run(33).error, kNak);
  EXPECT_EQ(Run(33).error, kNoReply);
  EXPECT_EQ(Run(33).error & FailureMask, 0u);
  EXPECT_NE(ApplyControl(printer, "nak x"), "");
  EXPECT_NE(ApplyControl(printer, "explode"), "");
  EXPECT_EQ(printer.armed(), 0u);
}

TEST_F(Faults, ArmedReplyIsSentExactlyOnceForItsCommand) {
  Arm("reply 113 808080808080 1234,extra");
  Ok(33);  // another command is not affected
  LinkReply r = Ok(113);
  EXPECT_EQ(r.reply, "1234,extra");
  r = Run(113);
  EXPECT_EQ(r.Field(1), "0");
  Arm("reply 74 818080808080");
  r = Run(74, "W");
  EXPECT_EQ(r.error, 1u);
  EXPECT_EQ(r.status[0], 0x01);
}

TEST_F(Faults, PaperOutRefusesPrintingUntilPaperIsBack) {
  Arm("paper-out");
  EXPECT_NE(Run(74, "W").error & (1u << 9), 0u) << "the status shows it";
  EXPECT_NE(Run(38).error & (1u << 9), 0u);
  const LinkReply read = Run(113);
  EXPECT_EQ(read.Field(1), "0") << "reads are still answered";
  EXPECT_NE(read.error & (1u << 9), 0u) << "with the paper-out bit";
  Arm("paper-in");
  Ok(38);
  Ok(39);
  Arm("paper-low");
  EXPECT_EQ(Ok(74, "W").error & (1u << 12), 1u << 12) << "near end is informational";
}

TEST_F(Faults, PowerOffIsSilenceAndPowerOnKeepsOrLosesTheReceipt) {
  ProgramArticle(1, '\xC0', "1.00", "X");
  Ok(48, "00001,,00001,I");
  Ok(58, "1");
  Arm("power-off");
  EXPECT_EQ(Run(74, "X").error, kNoReply);
  Arm("power-on");
  EXPECT_NE(Ok(74, "X").error & (1u << 10), 0u) << "the receipt survives in battery memory";
  EXPECT_EQ(Ok(76, "T").Field(3), "100");
  Arm("power-cycle lose");
  EXPECT_EQ(Ok(74, "X").error & (1u << 10), 0u);
  Ok(48, "00001,,00001,I");
}

TEST(FaultsRaw, SynForeverUntilCleared) {
  molvex::FakeClock clock;
  molvex::sim::VirtualPrinter printer(clock);
  ASSERT_EQ(ApplyControl(printer, "syn-forever"), "");
  const RawReply hung = Exchange(printer, clock, molvex::sim::BuildRequest(0x21, 74, "W"), 10000);
  EXPECT_FALSE(hung.frame);
  EXPECT_GE(hung.syn, 150);
  EXPECT_EQ(hung.bytes.size(), static_cast<std::size_t>(hung.syn));
  ASSERT_EQ(ApplyControl(printer, "clear"), "");
  EXPECT_TRUE(Exchange(printer, clock, molvex::sim::BuildRequest(0x22, 74, "W")).frame);
}

TEST(FaultsRaw, GarbageUntilClearedAndNeverAFrame) {
  molvex::FakeClock clock;
  molvex::sim::VirtualPrinter printer(clock);
  ASSERT_EQ(ApplyControl(printer, "garbage"), "");
  const RawReply stream = Exchange(printer, clock, molvex::sim::BuildRequest(0x21, 74, "W"), 1000);
  EXPECT_FALSE(stream.frame);
  EXPECT_EQ(stream.syn, 0);
  ASSERT_GE(stream.bytes.size(), 900u);  // one byte a millisecond at the least, as the clock goes
  const std::string text(stream.bytes.begin(), stream.bytes.begin() + 36);
  EXPECT_EQ(text, "GARBAGE 12.50 kg\r\nGARBAGE 12.50 kg\r\n");
  EXPECT_TRUE(printer.requests().size() == 1);
  ASSERT_EQ(ApplyControl(printer, "clear"), "");
  EXPECT_TRUE(Exchange(printer, clock, molvex::sim::BuildRequest(0x22, 74, "W")).frame);
}

TEST(FaultsRaw, AFaultForOneCommandWaitsForIt) {
  molvex::FakeClock clock;
  molvex::sim::VirtualPrinter printer(clock);
  EXPECT_EQ(ApplyControl(printer, "on 58"), "usage: on CODE FAULT [MS]");
  EXPECT_EQ(ApplyControl(printer, "on 58 bad-check 2"), "usage: on CODE FAULT [MS]");
  EXPECT_EQ(ApplyControl(printer, "on 300 nak"), "usage: on CODE FAULT [MS]");
  EXPECT_EQ(ApplyControl(printer, "on 58 clear"), "usage: on CODE FAULT [MS]");
  ASSERT_EQ(ApplyControl(printer, "on 58 bad-check"), "");
  const RawReply status = Exchange(printer, clock, molvex::sim::BuildRequest(0x21, 74, "W"));
  EXPECT_TRUE(status.frame && status.check_ok);
  const RawReply sale = Exchange(printer, clock, molvex::sim::BuildRequest(0x22, 58, "1*1"));
  EXPECT_TRUE(sale.frame);
  EXPECT_FALSE(sale.check_ok);
  const RawReply again = Exchange(printer, clock, molvex::sim::BuildRequest(0x23, 58, "1*1"));
  EXPECT_TRUE(again.frame && again.check_ok);
}

}  // namespace
}  // namespace simtest
