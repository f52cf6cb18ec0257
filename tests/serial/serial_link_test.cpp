// The link over the platform serial port on a pseudo-terminal, answered by a responder thread.
#include <termios.h>

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "link/link.h"
#include "tests/serial/pty_pair.h"

namespace serialtest {
namespace {

RetData delivered;
int deliveries = 0;
void Keep(RetData& result) {
  delivered = result;
  ++deliveries;
}

class SerialLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    LinkSetPortFactory(nullptr);
    LinkReset();
    deliveries = 0;
  }
  void TearDown() override { LinkReset(); }

  PtyPair pty_;
};

TEST_F(SerialLinkTest, StatusReadThroughThePtyIsFramedAnsweredAndDecoded) {
  pty_.MapAsPort(12);  // two-digit port numbers follow the same rule
  ASSERT_GT(PrnOpenPort(12, 115200), 0);
  termios line{};
  ASSERT_EQ(tcgetattr(pty_.slave(), &line), 0);
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B115200));

  std::string request;
  std::thread printer([&] {
    request = pty_.ReceiveUntil('\x03', 2000);
    pty_.Send(std::string(3, '\x16'));  // busy for a moment
    pty_.Send(ReplyFrame(0x21, 74, "ABC,12", "\x80\x80\x81\x80\x80\x80"));
  });
  EXPECT_EQ(PrnExecuteCallback(Keep, 5, 74, "W"), PRN_OK);
  printer.join();

  EXPECT_EQ(request, std::string("\x01\x25\x21\x4A\x57\x05\x30\x30\x3E\x3C\x03", 11));
  ASSERT_EQ(deliveries, 1);
  EXPECT_EQ(delivered.ErrorWord, 1u << 9);  // status byte 2, bit 0x01
  EXPECT_EQ(delivered.Tag, 5);
  ASSERT_EQ(delivered.FieldCount, 2);
  EXPECT_STREQ(delivered.Fields[0], "ABC");
  EXPECT_STREQ(delivered.Fields[1], "12");
  EXPECT_EQ(delivered.Status[2], 0x01);
}

TEST_F(SerialLinkTest, NakThroughThePtyIsReported) {
  pty_.MapAsPort(1);
  ASSERT_GT(PrnOpenPort(1, 9600), 0);
  std::thread printer([&] {
    pty_.ReceiveUntil('\x03', 2000);
    pty_.Send("\x15");
  });
  EXPECT_EQ(PrnExecuteCallback(Keep, 0, 74, "W"), PRN_OK);
  printer.join();
  ASSERT_EQ(deliveries, 1);
  EXPECT_EQ(delivered.ErrorWord, kErrNak);
}

TEST_F(SerialLinkTest, HungUpLineEndsTheTransactionAsUnanswered) {
  pty_.MapAsPort(1);
  ASSERT_GT(PrnOpenPort(1, 9600), 0);
  pty_.HangUp();
  EXPECT_EQ(PrnExecuteCallback(Keep, 0, 74, "W"), PRN_OK);
  ASSERT_EQ(deliveries, 1);
  EXPECT_EQ(delivered.ErrorWord, kErrNoReply);
}

TEST_F(SerialLinkTest, FailedOpenAfterAGoodOneReleasesTheDeviceForTheNextOpen) {
  pty_.MapAsPort(1);
  setenv("MOLVEXECR_COM2", "/nonexistent/tty", 1);
  ASSERT_GT(PrnOpenPort(1, 9600), 0);
  EXPECT_FALSE(DeviceIsFree(pty_.path()));
  EXPECT_EQ(PrnOpenPort(2, 9600), -1);
  EXPECT_EQ(PrnOpenPort(1, 12345), -1);  // device found, speed refused
  EXPECT_TRUE(DeviceIsFree(pty_.path()));
  EXPECT_GT(PrnOpenPort(1, 9600), 0);
  PrnClosePort();
  EXPECT_TRUE(DeviceIsFree(pty_.path()));
  unsetenv("MOLVEXECR_COM2");
}

// A link of its own on another device beside the process's link: each keeps its device; the
// process link opening another port gives up its first one only.
TEST_F(SerialLinkTest, TwoLinksKeepTheirOwnDevices) {
  PtyPair second;
  PtyPair third;
  ASSERT_TRUE(second.ok() && third.ok());
  pty_.MapAsPort(1);
  second.MapAsPort(2);
  third.MapAsPort(3);
  ASSERT_GT(PrnOpenPort(1, 9600), 0);
  Link own;
  ASSERT_GT(own.Open(2, 9600), 0);
  EXPECT_FALSE(DeviceIsFree(pty_.path()));
  EXPECT_FALSE(DeviceIsFree(second.path()));
  ASSERT_GT(PrnOpenPort(3, 9600), 0);
  EXPECT_TRUE(DeviceIsFree(pty_.path()));
  EXPECT_FALSE(DeviceIsFree(second.path()));
  EXPECT_FALSE(DeviceIsFree(third.path()));
  own.Close();
  EXPECT_TRUE(DeviceIsFree(second.path()));
  EXPECT_FALSE(DeviceIsFree(third.path()));
}

}  // namespace
}  // namespace serialtest
