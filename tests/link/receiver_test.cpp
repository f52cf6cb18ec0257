// The receiver and the wait: complete replies, busy printers, silence, NAK, broken frames.
#include <gtest/gtest.h>

#include <cstring>

#include "link/link.h"
#include "tests/link/scripted_channel.h"

namespace {

using linktest::ReplyFrame;
using linktest::ScriptedChannel;

int callbacks = 0;
void Count(RetData&) {
  ++callbacks;
}

class ReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    callbacks = 0;
    linktest::OpenScripted(channel);
  }
  void TearDown() override {
    LinkReset();
    LinkSetPortFactory(nullptr);
  }
  // Runs one transaction and returns how many reads it took.
  int Run(std::int32_t command = 74, const char* data = "W") {
    const int before = channel.reads;
    EXPECT_EQ(PrnExecuteCallback(Count, 0, command, data), PRN_OK);
    EXPECT_EQ(LinkReady, 1);
    EXPECT_FALSE(ReplyEnded);
    return channel.reads - before;
  }
  ScriptedChannel channel;
};

TEST_F(ReceiverTest, CompleteReplyIsDecodedAndEndsTheWaitAtTheTerminator) {
  const std::string frame = ReplyFrame(0x21, 74, "12,ab", "\x80\x80\x88\x80\x80\x80");
  channel.Bytes(frame);
  EXPECT_EQ(Run(), static_cast<int>(frame.size()));
  EXPECT_EQ(callbacks, 1);
  EXPECT_EQ(LinkResult.ErrorWord, 1u << 10);
  EXPECT_EQ(LinkResult.Status[2], 0x08);
  ASSERT_EQ(LinkResult.FieldCount, 2);
  EXPECT_STREQ(LinkResult.Fields[0], "12");
  EXPECT_STREQ(LinkResult.Fields[1], "ab");
  EXPECT_STREQ(LinkResult.ReplyData, "12,ab");
  EXPECT_STREQ(LinkResult.RequestData, "W");
  EXPECT_EQ(LinkResult.Command, 74);
  EXPECT_EQ(std::string(LinkResult.RawReply), frame);
}

TEST_F(ReceiverTest, ReplyWithoutDataGoesStraightToTheSeparator) {
  channel.Bytes(ReplyFrame(0x21, 45, ""));
  Run(45, "");
  EXPECT_EQ(LinkResult.ErrorWord, 0u);
  EXPECT_EQ(LinkResult.FieldCount, 0);
}

TEST_F(ReceiverTest, SynBytesKeepTheCallWaitingAndStayOutOfTheRawReply) {
  // 49 silent cycles, then SYN, again and again: far more than 50 cycles in all.
  for (int i = 0; i < 10; ++i) {
    channel.Silence(49);
    channel.Bytes("\x16");
  }
  const std::string frame = ReplyFrame(0x21, 74, "ok");
  channel.Bytes("\x16\x16" + frame);
  Run();
  EXPECT_EQ(LinkResult.ErrorWord, 0u);
  EXPECT_EQ(std::string(LinkResult.RawReply), frame);
}

TEST_F(ReceiverTest, FiftySilentCyclesEndTheCallAsUnanswered) {
  EXPECT_EQ(Run(), 50);
  EXPECT_EQ(LinkResult.ErrorWord, kErrNoReply);
  EXPECT_EQ(LinkResult.FieldCount, 0);
  EXPECT_EQ(callbacks, 1);
}

TEST_F(ReceiverTest, NakEndsAtTheNextSilentCycleWithOnlyTheNakBit) {
  // An earlier reply left status bits behind: the NAK result must not show them.
  channel.Bytes(ReplyFrame(0x21, 74, "", "\xFF\xFF\xFF\xFF\xFF\xFF"));
  Run();
  ASSERT_NE(LinkResult.ErrorWord, 0u);
  channel.Bytes("\x15");
  EXPECT_EQ(Run(), 2);  // the NAK, then one silent read
  EXPECT_EQ(LinkResult.ErrorWord, kErrNak);
  EXPECT_EQ(LinkFlags, 4);
}

TEST_F(ReceiverTest, CheckMismatchSetsBit24) {
  channel.Bytes(linktest::ReplyFrameBadCheck(0x21, 74, "1"));
  Run();
  EXPECT_EQ(LinkResult.ErrorWord, kErrChecksum);
  EXPECT_EQ(LinkFlags, 1);
}

TEST_F(ReceiverTest, TerminatorInsideTheDataEndsTheReplyAndIsJudgedByItsCheck) {
  std::string frame = ReplyFrame(0x21, 74, "123456");
  frame = frame.substr(0, 6) + "\x03";  // preamble, length, sequence, command, "12", terminator
  channel.Bytes(frame);
  EXPECT_EQ(Run(), 7);
  EXPECT_EQ(LinkResult.ErrorWord, kErrChecksum);
  EXPECT_EQ(LinkFlags, 9);
  EXPECT_STREQ(LinkResult.ReplyData, "12");
}

TEST_F(ReceiverTest, WrongByteInTheTerminatorPlaceEndsAsUnansweredWithoutFurtherReads) {
  std::string frame = ReplyFrame(0x21, 74, "1");
  frame.back() = 'x';
  channel.Bytes(frame + ReplyFrame(0x21, 74, "2"));  // a later frame is not read any more
  EXPECT_EQ(Run(), static_cast<int>(frame.size()));
  EXPECT_EQ(LinkResult.ErrorWord, kErrNoReply);
}

TEST_F(ReceiverTest, PreambleInsideAFrameStartsItAgain) {
  const std::string cut = ReplyFrame(0x21, 74, "first").substr(0, 7);
  channel.Bytes(cut + ReplyFrame(0x22, 74, "second"));
  Run();
  EXPECT_EQ(LinkResult.ErrorWord, 0u);
  EXPECT_STREQ(LinkResult.ReplyData, "second");
}

TEST_F(ReceiverTest, ShortLengthOrSequenceByteDropsTheFrame) {
  std::string bad_length = ReplyFrame(0x21, 74, "a");
  bad_length[1] = 0x2A;
  channel.Bytes(bad_length.substr(0, bad_length.size() - 1));  // without its terminator
  Run();
  EXPECT_EQ(LinkResult.ErrorWord, kErrNoReply);

  const std::string bad_sequence = ReplyFrame(0x1F, 74, "a");
  channel.Bytes(bad_sequence.substr(0, bad_sequence.size() - 1) + ReplyFrame(0x21, 74, "b"));
  Run();
  EXPECT_EQ(LinkResult.ErrorWord, 0u);  // the frame that follows is taken
  EXPECT_STREQ(LinkResult.ReplyData, "b");
}

TEST_F(ReceiverTest, DroppedFrameEndingInItsTerminatorIsNeverASuccess) {
  // The dropped frame's terminator ends the wait; no check digits were received for it.
  std::string bad_length = ReplyFrame(0x21, 74, "a");
  bad_length[1] = 0x2A;
  channel.Bytes(bad_length);
  Run();
  EXPECT_EQ(LinkResult.ErrorWord, kErrChecksum);
  EXPECT_EQ(LinkResult.FieldCount, 0);
}

TEST_F(ReceiverTest, ReadErrorClearsThePortAndCountsAsASilentCycle) {
  channel.Bytes("\x01\x2C");  // a frame begins
  channel.ReadError();
  channel.Bytes(std::string("\x21") + "J" + "a");  // rest of the old frame: the state was reset
  EXPECT_EQ(Run(), 2 + 1 + 3 + 50);
  EXPECT_EQ(channel.error_clears, 1);
  EXPECT_EQ(LinkResult.ErrorWord, kErrNoReply);
}

TEST_F(ReceiverTest, LongestReplyIsKeptWhole) {
  std::string data(212, 'x');
  data[100] = ',';
  channel.Bytes(ReplyFrame(0x21, 74, data));
  Run();
  EXPECT_EQ(LinkResult.ErrorWord, 0u);
  EXPECT_EQ(std::strlen(LinkResult.ReplyData), 212u);
  EXPECT_EQ(LinkResult.FieldCount, 2);
  EXPECT_EQ(std::strlen(LinkResult.Fields[1]), 111u);
}

TEST_F(ReceiverTest, NoiseBeyondTheRawReplySizeIsDropped) {
  channel.Bytes(std::string(400, 'n'));
  Run();
  EXPECT_EQ(std::strlen(LinkResult.RawReply), 317u);
  EXPECT_EQ(LinkResult.RawReply[317], '\0');
}

}  // namespace
