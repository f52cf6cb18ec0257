// The printer's side of the frames: what it accepts, what it refuses with NAK, how it answers.
#include <gtest/gtest.h>

#include "link/status_map.h"
#include "sim/wire/frame.h"
#include "tests/sim/sim_harness.h"

namespace simtest {
namespace {

using molvex::sim::BuildRequest;
using molvex::sim::PrinterOptions;
using molvex::sim::VirtualPrinter;

class RawPrinter : public ::testing::Test {
 protected:
  molvex::FakeClock clock;
  VirtualPrinter printer{clock, PrinterOptions{0.0, 0}};
};

TEST_F(RawPrinter, RequestFrameMatchesTheWorkedExample) {
  const std::vector<std::uint8_t> expected = {0x01, 0x25, 0x21, 0x4A, 0x57, 0x05,
                                              0x30, 0x30, 0x3E, 0x3C, 0x03};
  EXPECT_EQ(BuildRequest(0x21, 74, "W"), expected);
}

TEST_F(RawPrinter, AnswersAStatusReadWithItsSequenceAndTopBitsSet) {
  const RawReply r = Exchange(printer, clock, BuildRequest(0x5E, 74, "W"));
  ASSERT_TRUE(r.frame);
  EXPECT_TRUE(r.check_ok);
  EXPECT_EQ(r.sequence, 0x5E);
  EXPECT_EQ(r.command, 74);
  std::uint8_t plain[6];
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(r.status[i] & 0x80, 0x80) << "status byte " << i;
    plain[i] = r.status[i] & 0x7F;
  }
  EXPECT_EQ(MapStatusBytes(plain) & FailureMask, 0u);
  ASSERT_EQ(printer.requests().size(), 1u);
  EXPECT_EQ(printer.requests()[0].command, 74);
  EXPECT_EQ(printer.requests()[0].data, "W");
}

TEST_F(RawPrinter, MalformedRequestsGetNakAndAreNotExecuted) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<std::uint8_t> bad_check = BuildRequest(0x21, 47, "HELLO");
  bad_check[bad_check.size() - 2] ^= 0x01;
  std::vector<std::uint8_t> long_length = BuildRequest(0x21, 47, "HELLO");
  long_length[1] += 3;  // says three bytes more than follow
  std::vector<std::uint8_t> no_postamble = BuildRequest(0x21, 47, "HELLO");
  no_postamble[4 + 5] = 0x06;
  const Case cases[] = {
      {"wrong check digits", bad_check},
      {"length byte too small", {0x01, 0x23, 0x21, 0x2F, 0x05, 0x30, 0x30, 0x30, 0x30, 0x03}},
      {"length byte larger than the frame", long_length},
      {"postamble missing", no_postamble},
  };
  for (const Case& c : cases) {
    const RawReply r = Exchange(printer, clock, c.bytes);
    EXPECT_TRUE(r.nak) << c.what;
    EXPECT_FALSE(r.frame) << c.what;
  }
  EXPECT_TRUE(printer.requests().empty());
  EXPECT_EQ(printer.device().display_upper(), "");
  // A good frame afterwards is served normally.
  EXPECT_TRUE(Exchange(printer, clock, BuildRequest(0x22, 47, "HELLO")).frame);
  EXPECT_EQ(printer.device().display_upper(), "HELLO");
}

TEST_F(RawPrinter, NoiseAndACutOffFrameBeforeAGoodOneAreIgnored) {
  std::vector<std::uint8_t> bytes = {0x00, 0xFF, 0x16, 0x7A};
  const auto first = BuildRequest(0x30, 47, "FIRST");
  bytes.insert(bytes.end(), first.begin(), first.begin() + 6);  // cut off by the next preamble
  const auto second = BuildRequest(0x31, 35, "SECOND");
  bytes.insert(bytes.end(), second.begin(), second.end());
  const RawReply r = Exchange(printer, clock, bytes);
  ASSERT_TRUE(r.frame);
  EXPECT_EQ(r.sequence, 0x31);
  ASSERT_EQ(printer.requests().size(), 1u);
  EXPECT_EQ(printer.device().display_lower(), "SECOND");
  EXPECT_EQ(printer.device().display_upper(), "");
}

TEST_F(RawPrinter, UnknownCodesAndBadDataSetTheirErrorBits) {
  struct Case {
    int command;
    const char* data;
    std::uint32_t bit;
  };
  const Case cases[] = {
      {200, "", 1u << 1},  // invalid command
      {32, "", 1u << 1},
      {74, "Q", 1u << 0},  // syntax error
      {61, "99-99-99 10:00:00", 1u << 0},
      {90, "", 1u << 0},
      {167, "0,0,x", 1u << 0},
  };
  for (const Case& c : cases) {
    const RawReply r = Exchange(printer, clock, BuildRequest(0x21, c.command, c.data));
    ASSERT_TRUE(r.frame) << c.command;
    std::uint8_t plain[6];
    for (std::size_t i = 0; i < 6; ++i) plain[i] = r.status[i] & 0x7F;
    const std::uint32_t word = MapStatusBytes(plain);
    EXPECT_EQ(word & FailureMask & ~(1u << 27), c.bit) << c.command << " " << c.data;
    EXPECT_NE(word & (1u << 27), 0u) << "general error bit with every error";
  }
}

TEST_F(RawPrinter, BusyPrinterSendsSynAndAReportTakesLongerThanASale) {
  printer.SetOptions(PrinterOptions{1.0, 0});
  Exchange(printer, clock,
           BuildRequest(0x21, 107,
                        "P\xC0"
                        "1,1,1.00,0,A"));
  const RawReply open = Exchange(printer, clock, BuildRequest(0x22, 48, "00001,,00001,I"));
  const RawReply sale = Exchange(printer, clock, BuildRequest(0x23, 58, "1"));
  ASSERT_TRUE(sale.frame);
  Exchange(printer, clock, BuildRequest(0x24, 53, "\tP"));
  Exchange(printer, clock, BuildRequest(0x25, 56, ""));
  const RawReply report = Exchange(printer, clock, BuildRequest(0x26, 69, "0,2"));
  ASSERT_TRUE(report.frame);
  EXPECT_GT(open.syn, 0);
  EXPECT_GT(sale.syn, 0);
  EXPECT_GT(report.syn, 5 * sale.syn);
  // SYN only before the frame, never inside it.
  EXPECT_EQ(report.bytes[static_cast<std::size_t>(report.syn)], 0x01);
}

TEST_F(RawPrinter, WireModelDelaysTheReplyByBothFramesAtTheBaudRate) {
  printer.SetOptions(PrinterOptions{0.0, 9600});
  const auto request = BuildRequest(0x21, 74, "W");
  const std::uint64_t in_before = printer.bytes_in();
  const RawReply r = Exchange(printer, clock, request);
  ASSERT_TRUE(r.frame);
  // 11 request bytes and 17 reply bytes at 10 bits each.
  const double wire_ms = (11 + 17) * 10 * 1000.0 / 9600;
  EXPECT_GE(static_cast<double>(clock.MonotonicMs()), wire_ms - 1.0);
  EXPECT_EQ(printer.bytes_in() - in_before, 11u);
  EXPECT_EQ(r.bytes.size(), 17u);
}

TEST_F(LinkedPrinter, InProcessWireFollowsTheSpeedTheLinkOpensWith) {
  port.WireAtOpenedBaud(true);
  ASSERT_GT(PrnOpenPort(1, 9600), 0);
  const std::uint64_t in = printer.bytes_in();
  const std::uint64_t out = printer.bytes_out();
  const std::int64_t start = clock.MonotonicMs();
  Ok(74, "W");
  EXPECT_EQ(printer.bytes_in() - in, 11u);
  EXPECT_EQ(printer.bytes_out() - out, 17u);
  EXPECT_GE(clock.MonotonicMs() - start, 29) << "28 bytes of 10 bits at 9600 baud";
}

TEST_F(RawPrinter, HostileRequestsAreAnsweredWithoutHarm) {
  // Well-framed requests with random codes and random data bytes: every one gets a whole frame
  // back (or NAK when the data itself holds a terminator), nothing more.
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<std::uint8_t>(seed >> 16);
  };
  for (int i = 0; i < 20000; ++i) {
    const int command = next();
    std::string data(next() % 90, '\0');
    for (char& c : data) c = static_cast<char>(next() | (i % 2 == 0 ? 0x20 : 0));
    if (i % 7 == 0 && !data.empty()) data[0] = static_cast<char>("PDCRFN"[next() % 6]);
    const auto frame = BuildRequest(static_cast<std::uint8_t>(0x20 + i % 95), command, data);
    const RawReply r = Exchange(printer, clock, frame);
    // Codes 1, 3 and 21 are the preamble, the terminator and NAK: no frame can carry them.
    const bool holds_control = command == 0x01 || command == 0x03 || command == 0x15 ||
                               data.find_first_of(std::string("\x01\x03", 2)) != std::string::npos;
    if (!holds_control) {
      ASSERT_TRUE(r.frame) << "command " << command << " data size " << data.size();
      EXPECT_TRUE(r.check_ok);
      EXPECT_EQ(r.command, command);
    }
  }
}

}  // namespace
}  // namespace simtest
