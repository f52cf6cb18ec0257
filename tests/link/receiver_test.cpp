// The receiver and the wait: complete replies, busy printers, silence, NAK, broken frames.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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
    LinkSetClock(nullptr);
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
  channel.Bytes(cut + ReplyFrame(0x21, 74, "second"));
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
  channel.Bytes(bad_sequence.substr(0, bad_sequence.size() - 1) + ReplyFrame(0x22, 74, "b"));
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
  // The rest of the old frame makes no frame (the state was reset): it does not reset the count.
  channel.Bytes(std::string("\x21") + "J" + "a");
  EXPECT_EQ(Run(), 2 + 1 + 3 + 49);
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

// Streams that never make a reply to the request end the call like silence: five seconds after
// the request, however fast the bytes come.
TEST_F(ReceiverTest, EndlessStreamsWithoutAReplyEndAsUnansweredAfterFiveSeconds) {
  std::string late = ReplyFrame(0x7E, 74, "7,7");   // another sequence
  std::string other = ReplyFrame(0x21, 56, "7,7");  // another command
  const struct {
    const char* name;
    std::string unit;
    std::int64_t ms_each;
  } cases[] = {
      {"scale on the wrong port", "GARBAGE 12.50 kg\r\n", 1},
      {"preambles", "\x01", 1},
      {"frames cut short", ReplyFrame(0x21, 74, "12").substr(0, 6), 1},
      {"replies with another sequence", late, 1},
      {"replies to another command", other, 1},
      {"one noise byte a second", "\xFF", 1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    linktest::OpenScripted(channel);
    channel.script.clear();
    for (int i = 0; i < 20000; ++i) channel.Bytes(c.unit, c.ms_each);
    const std::int64_t before = channel.clock.MonotonicMs();
    Run();
    const std::int64_t waited = channel.clock.MonotonicMs() - before;
    EXPECT_EQ(LinkResult.ErrorWord, kErrNoReply);
    EXPECT_EQ(LinkResult.FieldCount, 0);
    EXPECT_GE(waited, kPrnSilenceMs);
    EXPECT_LT(waited, kPrnSilenceMs + 1000);
    EXPECT_FALSE(channel.script.empty());  // the stream was still coming
  }
}

// A busy printer keeps the call waiting with SYN up to the busy limit, counted from the request;
// SYN past it ends the call with a bit of its own.
TEST_F(ReceiverTest, SynKeepsTheCallOnlyUpToTheBusyLimit) {
  const struct {
    std::int32_t limit_ms;  // 0: the default
    int syn_count;          // one every 60 ms
    bool reply_after;
    std::uint32_t error_word;
  } cases[] = {
      {0, 1990, true, 0},  // 119.4 s of SYN, then the reply: within the default 120 s
      {0, 100000, false, kErrBusyLimit},
      {3000, 40, true, 0},
      {3000, 100000, false, kErrBusyLimit},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.limit_ms);
    SCOPED_TRACE(c.syn_count);
    linktest::OpenScripted(channel);
    channel.script.clear();
    if (c.limit_ms > 0) LinkSetBusyLimit(c.limit_ms);
    channel.Bytes(std::string(static_cast<std::size_t>(c.syn_count), '\x16'), 60);
    if (c.reply_after) channel.Bytes(ReplyFrame(0x21, 74, "ok"));
    const std::int64_t before = channel.clock.MonotonicMs();
    Run();
    EXPECT_EQ(LinkResult.ErrorWord, c.error_word);
    if (c.error_word == kErrBusyLimit) {
      const std::int32_t limit = c.limit_ms > 0 ? c.limit_ms : kPrnBusyLimitDefaultMs;
      const std::int64_t waited = channel.clock.MonotonicMs() - before;
      EXPECT_GE(waited, limit);
      EXPECT_LE(waited, limit + 60);
      EXPECT_EQ(LinkResult.FieldCount, 0);
    } else {
      EXPECT_STREQ(LinkResult.ReplyData, "ok");
    }
  }
}

std::vector<std::string> dropped_frames;
void KeepDropped(std::uint8_t sequence, std::uint8_t command, const char* data) {
  dropped_frames.push_back(std::to_string(sequence) + " " + std::to_string(command) + " " + data);
}
void IgnoreStarted(std::int32_t, const char*) {}
void IgnoreEnded(const RetData&, std::uint32_t) {}

// A reply frame whose sequence or command byte is not the request's answers another request: it
// is dropped (the watch is told) and the request's own reply that follows is taken.
TEST_F(ReceiverTest, ReplyToAnotherRequestIsDroppedAndTheOwnReplyTaken) {
  const PrnWatch watch{&IgnoreStarted, &IgnoreEnded, &KeepDropped};
  LinkSetWatch(&watch);
  const struct {
    std::uint8_t sequence;
    std::uint8_t command;
  } strangers[] = {{0x22, 74}, {0x21, 56}, {0x7E, 0}};
  for (const auto& stranger : strangers) {
    SCOPED_TRACE(static_cast<int>(stranger.sequence));
    linktest::OpenScripted(channel);
    dropped_frames.clear();
    channel.Bytes(ReplyFrame(stranger.sequence, stranger.command, "7,7") +
                  ReplyFrame(0x21, 74, "own"));
    Run();
    EXPECT_EQ(LinkResult.ErrorWord, 0u);
    EXPECT_STREQ(LinkResult.ReplyData, "own");
    EXPECT_EQ(dropped_frames, std::vector<std::string>{std::to_string(stranger.sequence) + " " +
                                                       std::to_string(stranger.command) + " 7,7"});
  }
  LinkSetWatch(nullptr);
}

// The reply to a request that ended unanswered comes late, during the next request: it is not
// taken as that request's answer.
TEST_F(ReceiverTest, LateReplyToTheRequestBeforeIsNotTaken) {
  Run(45, "");
  ASSERT_EQ(LinkResult.ErrorWord, kErrNoReply);
  const std::uint8_t first = 0x21;
  ASSERT_EQ(linktest::NextSequence(), 0x22);
  channel.Bytes(ReplyFrame(first, 45, ""));  // late: the status read comes after it
  channel.Silence(10);
  channel.Bytes(ReplyFrame(0x22, 74, "now"));
  Run(74, "W");
  EXPECT_EQ(LinkResult.ErrorWord, 0u);
  EXPECT_STREQ(LinkResult.ReplyData, "now");

  // Only the late reply: the request stays unanswered.
  channel.Bytes(ReplyFrame(0x22, 74, "old"));
  Run(74, "W");
  EXPECT_EQ(LinkResult.ErrorWord, kErrNoReply);
  EXPECT_EQ(LinkResult.FieldCount, 0);
}

}  // namespace
