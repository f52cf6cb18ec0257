// Request frames, the transaction's refusals, delivery of the result and the port's life.
#include <gtest/gtest.h>

#include <stdexcept>

#include "link/link.h"
#include "tests/link/scripted_channel.h"

namespace {

using linktest::Hex;
using linktest::ScriptedChannel;

int callbacks = 0;
void CountingCallback(RetData&) {
  ++callbacks;
}

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    callbacks = 0;
    linktest::OpenScripted(channel);
  }
  void TearDown() override {
    LinkReset();
    LinkSetPortFactory(nullptr);
    LinkSetClock(nullptr);
    LinkSetMessagePoster(nullptr);
  }
  ScriptedChannel channel;
};

TEST_F(FrameTest, StatusReadOfTheFirstTransactionIsTheWorkedExample) {
  ASSERT_EQ(PrnExecuteCallback(CountingCallback, 0, 74, "W"), PRN_OK);
  ASSERT_EQ(channel.writes.size(), 1u);
  EXPECT_EQ(Hex(channel.writes[0]), "01 25 21 4A 57 05 30 30 3E 3C 03");
  EXPECT_GE(channel.flushes, 1);
  EXPECT_GE(channel.discards, 1);
}

TEST_F(FrameTest, EmptyDataGivesTenBytesWithLengthByte0x24) {
  PrnExecuteCallback(CountingCallback, 0, 45, "");
  ASSERT_EQ(channel.writes.size(), 1u);
  const std::string& f = channel.writes[0];
  ASSERT_EQ(f.size(), 10u);
  EXPECT_EQ(static_cast<std::uint8_t>(f[1]), 0x24);
  EXPECT_EQ(f[4], '\x05');
  EXPECT_EQ(f[9], '\x03');
}

TEST_F(FrameTest, CheckDigitsAboveNineUseColonToQuestionMark) {
  // Sum 0x24 + 0x21 + 0x7F + 0x05 = 0xC9: the digits 0 0 < 9.
  PrnExecuteCallback(CountingCallback, 0, 0x7F, "");
  EXPECT_EQ(channel.writes[0].substr(5, 4), "00<9");
  const std::string& f = channel.writes[0];
  unsigned sum = 0;
  for (std::size_t i = 1; i < f.size() - 5; ++i) sum += static_cast<std::uint8_t>(f[i]);
  for (int k = 0; k < 4; ++k) {
    const unsigned nibble = (sum >> (12 - 4 * k)) & 0xF;
    EXPECT_EQ(static_cast<unsigned>(static_cast<std::uint8_t>(f[f.size() - 5 + k])), 0x30 + nibble);
  }
  const std::string digits = f.substr(f.size() - 5, 4);
  EXPECT_EQ(digits.find_first_of("ABCDEF"), std::string::npos);
  EXPECT_NE(digits.find_first_of(":;<=>?"), std::string::npos) << Hex(digits);
}

TEST_F(FrameTest, SequenceByteRunsThroughNinetyFiveValuesAndWrapsWithTheCounter) {
  std::vector<std::uint8_t> seen;
  for (int i = 1; i <= 257; ++i) {
    PrnExecuteCallback(CountingCallback, 0, 74, "W");
    seen.push_back(static_cast<std::uint8_t>(channel.writes.back()[2]));
  }
  EXPECT_EQ(seen[0], 0x21);    // counter 1
  EXPECT_EQ(seen[93], 0x7E);   // counter 94
  EXPECT_EQ(seen[94], 0x20);   // counter 95
  EXPECT_EQ(seen[95], 0x21);   // counter 96
  EXPECT_EQ(seen[254], 0x61);  // counter 255
  EXPECT_EQ(seen[255], 0x20);  // counter wrapped to 0
  EXPECT_EQ(seen[256], 0x21);
  for (std::uint8_t s : seen) {
    EXPECT_GE(s, 0x20);
    EXPECT_LE(s, 0x7E);
  }
}

TEST_F(FrameTest, DataTextOfEightyFiveBytesIsSentAndLongerIsRefusedUntouched) {
  const std::string longest(85, 'a');
  ASSERT_EQ(PrnExecuteCallback(CountingCallback, 0, 54, longest.c_str()), PRN_OK);
  ASSERT_EQ(channel.writes.size(), 1u);
  EXPECT_EQ(channel.writes[0].size(), 95u);
  EXPECT_EQ(static_cast<std::uint8_t>(channel.writes[0][1]), 0x20 + 85 + 4);

  const std::uint8_t counter = SequenceCounter;
  const std::string too_long(86, 'a');
  EXPECT_EQ(PrnExecuteCallback(CountingCallback, 0, 54, too_long.c_str()), PRN_DATA_TOO_LONG);
  const std::string huge(100000, 'b');
  EXPECT_EQ(PrnExecuteCallback(CountingCallback, 0, 54, huge.c_str()), PRN_DATA_TOO_LONG);
  EXPECT_EQ(channel.writes.size(), 1u);
  EXPECT_EQ(SequenceCounter, counter);
  EXPECT_EQ(callbacks, 1);
  EXPECT_EQ(LinkReady, 1);
}

TEST(LinkBeforeOpen, TransactionIsRefusedAndDeliversNothing) {
  LinkReset();
  callbacks = 0;
  EXPECT_EQ(PrnExecuteCallback(CountingCallback, 0, 74, "W"), PRN_BUSY);
  EXPECT_EQ(PrnExecute(0, CountingCallback, 0, 74, "W"), PRN_BUSY);
  EXPECT_EQ(callbacks, 0);
  EXPECT_EQ(SequenceCounter, 0);
}

TEST_F(FrameTest, ResultGoesToTheStoredCallbackEvenWhenAWindowIsGiven) {
  static int posted = 0;
  posted = 0;
  LinkSetMessagePoster([](PrnWindow, std::uint32_t, std::uintptr_t, std::intptr_t) { ++posted; });
  PrnExecuteCallback(CountingCallback, 0, 74, "W");
  PrnExecute(0x1234, nullptr, 0, 74, "W");
  EXPECT_EQ(callbacks, 2);
  EXPECT_EQ(posted, 0);
}

TEST_F(FrameTest, WithoutCallbackTheResultIsPostedToTheWindow) {
  static PrnWindow window = 0;
  static std::uint32_t message = 0;
  static std::uintptr_t wparam = 0;
  static std::intptr_t lparam = 0;
  LinkSetMessagePoster([](PrnWindow w, std::uint32_t m, std::uintptr_t wp, std::intptr_t lp) {
    window = w;
    message = m;
    wparam = wp;
    lparam = lp;
  });
  // A stored value of 0xFFFF or below counts as no callback.
  PrnExecute(0x4321, reinterpret_cast<PrnCallback>(0x1000), 5, 62, "");
  EXPECT_EQ(window, 0x4321u);
  EXPECT_EQ(message, 0x1099u);
  EXPECT_EQ(wparam, 62u);
  EXPECT_EQ(lparam, reinterpret_cast<std::intptr_t>(&LinkResult));
  EXPECT_EQ(LinkResult.Tag, 5);
}

void NestedCallback(RetData& r) {
  ++callbacks;
  if (r.Command == 74) PrnExecuteCallback(NestedCallback, 0, 62, "");
}

TEST_F(FrameTest, CallbackMayStartTheNextTransaction) {
  EXPECT_EQ(PrnExecuteCallback(NestedCallback, 0, 74, "W"), PRN_OK);
  EXPECT_EQ(callbacks, 2);
  EXPECT_EQ(channel.writes.size(), 2u);
  EXPECT_EQ(LinkResult.Command, 62);
}

TEST_F(FrameTest, OpenWhileOpenClosesTheOldPortFirst) {
  EXPECT_EQ(PrnOpenPort(2, 9600), 7);
  EXPECT_EQ(channel.closes, 1);
  EXPECT_EQ(channel.opened_port, 2);
  EXPECT_EQ(channel.opened_baud, 9600);
}

TEST_F(FrameTest, FailedOpenReturnsMinusOneButTransactionsEndAsUnanswered) {
  channel.refuse_open = true;
  EXPECT_EQ(PrnOpenPort(3, 115200), -1);
  EXPECT_EQ(LinkReady, 1);
  EXPECT_EQ(PrnExecuteCallback(CountingCallback, 0, 74, "W"), PRN_OK);
  EXPECT_EQ(LinkResult.ErrorWord, kErrNoReply);
  EXPECT_EQ(callbacks, 1);
}

TEST_F(FrameTest, AfterCloseATransactionStillRunsAndEndsWithNoReply) {
  PrnClosePort();
  EXPECT_EQ(channel.closes, 1);
  EXPECT_EQ(PrnExecuteCallback(CountingCallback, 0, 74, "W"), PRN_OK);
  EXPECT_EQ(LinkResult.ErrorWord, kErrNoReply);
  EXPECT_TRUE(channel.writes.empty());  // nothing reaches the closed device
}

class ThrowingChannel final : public molvex::ByteChannel, public molvex::PortFactory {
 public:
  molvex::ByteChannel* Open(std::int32_t, std::int32_t) override { return this; }
  bool Write(const std::uint8_t*, std::size_t) override { throw std::runtime_error("unplugged"); }
  void Flush() override {}
  void Discard() override {}
  molvex::ReadStatus ReadByte(std::uint8_t&) override { return molvex::ReadStatus::Timeout; }
  void ClearError() override {}
  void Close() override {}
  std::int32_t Handle() const override { return 9; }
};

TEST(LinkAfterAThrowingChannel, NextTransactionIsNotRefused) {
  LinkReset();
  ThrowingChannel throwing;
  LinkSetPortFactory(&throwing);
  PrnOpenPort(1, 9600);
  EXPECT_THROW(PrnExecuteCallback(CountingCallback, 0, 74, "W"), std::runtime_error);
  EXPECT_EQ(LinkReady, 1);
  ScriptedChannel good;
  LinkSetPortFactory(&good);
  PrnOpenPort(1, 9600);
  EXPECT_EQ(PrnExecuteCallback(CountingCallback, 0, 74, "W"), PRN_OK);
  EXPECT_EQ(good.writes.size(), 1u);
  LinkReset();
  LinkSetPortFactory(nullptr);
  LinkSetClock(nullptr);
}

}  // namespace
