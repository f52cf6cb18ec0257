// The platform serial port opened on a pseudo-terminal: the real termios path.
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "platform/byte_channel.h"
#include "platform/posix/serial_device.h"
#include "tests/serial/pty_pair.h"

namespace serialtest {
namespace {

using molvex::ByteChannel;
using molvex::ReadStatus;
using molvex::SerialPortFactory;

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    pty_.MapAsPort(3);
  }
  void TearDown() override {
    if (port_ != nullptr) port_->Close();
  }
  ByteChannel* OpenPort(std::int32_t baud = 9600) {
    port_ = SerialPortFactory().Open(3, baud);
    return port_;
  }

  PtyPair pty_;
  ByteChannel* port_ = nullptr;
};

// Opens port 3 in a child process: 0 when the open failed, 1 when it succeeded.
int OpenInAnotherProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(SerialPortFactory().Open(3, 9600) != nullptr ? 1 : 0);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SerialDeviceTest, PortNumbersNameTtySDevicesUnlessTheEnvironmentNamesAnother) {
  unsetenv("MOLVEXECR_COM1");
  unsetenv("MOLVEXECR_COM12");
  EXPECT_EQ(molvex::SerialDevicePath(1), "/dev/ttyS0");
  EXPECT_EQ(molvex::SerialDevicePath(12), "/dev/ttyS11");
  EXPECT_EQ(molvex::SerialDevicePath(0), "");
  EXPECT_EQ(molvex::SerialDevicePath(-3), "");
  setenv("MOLVEXECR_COM12", "/dev/ttyUSB0", 1);
  EXPECT_EQ(molvex::SerialDevicePath(12), "/dev/ttyUSB0");
  EXPECT_EQ(molvex::SerialDevicePath(1), "/dev/ttyS0");  // only that port is remapped
  setenv("MOLVEXECR_COM12", "", 1);
  EXPECT_EQ(molvex::SerialDevicePath(12), "/dev/ttyS11");
  unsetenv("MOLVEXECR_COM12");
}

TEST(SerialDeviceTest, OnlyBaudRatesWithASpeedConstantAreAccepted) {
  struct Case {
    std::int32_t baud;
    bool known;
    speed_t speed;
  };
  const Case cases[] = {{9600, true, B9600},    {19200, true, B19200}, {115200, true, B115200},
                        {12345, false, B0},     {0, false, B0},        {-9600, false, B0},
                        {2147483647, false, B0}};
  for (const Case& c : cases) {
    unsigned speed = 0;
    EXPECT_EQ(molvex::SerialSpeedFor(c.baud, speed), c.known) << c.baud;
    if (c.known) {
      EXPECT_EQ(speed, c.speed) << c.baud;
    }
  }
}

TEST_F(SerialPortTest, OpenSetsRaw8N1WithoutFlowControlAtTheCallersSpeed) {
  for (const auto& [baud, speed] : {std::pair{19200, B19200}, std::pair{115200, B115200}}) {
    ByteChannel* port = OpenPort(baud);
    ASSERT_NE(port, nullptr) << baud;
    EXPECT_GT(port->Handle(), 2);
    termios line{};
    ASSERT_EQ(tcgetattr(pty_.slave(), &line), 0);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(cfgetispeed(&line), speed);
    EXPECT_EQ(cfgetospeed(&line), speed);
    port->Close();  // the device is the port's until it is closed
    port_ = nullptr;
  }
}

TEST_F(SerialPortTest, ReadTimesOutWhenSilentAndDeliversBytesFromTheOtherSide) {
  ByteChannel* port = OpenPort();
  ASSERT_NE(port, nullptr);
  std::uint8_t byte = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port->ReadByte(byte), ReadStatus::Timeout);
  const auto waited = std::chrono::steady_clock::now() - start;
  std::printf("empty read returned after %.1f ms\n",
              std::chrono::duration<double, std::milli>(waited).count());

  // A byte sent while the read waits ends the wait with that byte; control bytes pass as data.
  std::thread printer([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pty_.Send(std::string("\x03\x11\x13\x0d\x00\xff", 6));
  });
  std::string got;
  for (int reads = 0; got.size() < 6 && reads < 50; ++reads) {  // a slow sender is waited for
    const ReadStatus status = port->ReadByte(byte);
    if (status == ReadStatus::Byte) {
      got += static_cast<char>(byte);
    } else {
      EXPECT_EQ(status, ReadStatus::Timeout);
    }
  }
  printer.join();
  EXPECT_EQ(got, std::string("\x03\x11\x13\x0d\x00\xff", 6));
  EXPECT_EQ(port->ReadByte(byte), ReadStatus::Timeout);
}

TEST_F(SerialPortTest, WritesWholeBlocksUnchangedAndDiscardDropsPendingInput) {
  ByteChannel* port = OpenPort();
  ASSERT_NE(port, nullptr);
  std::string block;
  for (int i = 0; i < 256; ++i) block += static_cast<char>(i);
  block += '\x03';
  ASSERT_TRUE(port->Write(reinterpret_cast<const std::uint8_t*>(block.data()), block.size()));
  port->Flush();
  std::string seen;
  while (seen.size() < block.size()) {
    const std::string part = pty_.ReceiveUntil('\x03', 1000);
    if (part.empty()) break;
    seen += part;
  }
  EXPECT_EQ(seen, block);

  ASSERT_TRUE(pty_.Send("stale"));
  ASSERT_TRUE(pty_.WaitPending(5, 2000));
  port->Discard();
  std::uint8_t byte = 0;
  EXPECT_EQ(port->ReadByte(byte), ReadStatus::Timeout);
}

TEST_F(SerialPortTest, ABurstComesOutByteByByteAndDiscardDropsWhatWasReadAhead) {
  ByteChannel* port = OpenPort();
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(pty_.Send("first burst"));
  ASSERT_TRUE(pty_.WaitPending(11, 2000));
  std::uint8_t byte = 0;
  std::string got;
  while (got.size() < 5 && port->ReadByte(byte) == ReadStatus::Byte) got += static_cast<char>(byte);
  EXPECT_EQ(got, "first");
  port->Discard();  // the rest of the burst was taken off the line with the first byte
  EXPECT_EQ(port->ReadByte(byte), ReadStatus::Timeout);

  ASSERT_TRUE(pty_.Send("ok"));
  got.clear();
  for (int reads = 0; got.size() < 2 && reads < 20; ++reads) {
    if (port->ReadByte(byte) == ReadStatus::Byte) got += static_cast<char>(byte);
  }
  EXPECT_EQ(got, "ok");
  EXPECT_EQ(port->ReadByte(byte), ReadStatus::Timeout);
}

TEST_F(SerialPortTest, ReadFailsOnceTheOtherSideHangsUp) {
  ByteChannel* port = OpenPort();
  ASSERT_NE(port, nullptr);
  pty_.HangUp();
  std::uint8_t byte = 0;
  EXPECT_EQ(port->ReadByte(byte), ReadStatus::Error);
  port->ClearError();
  EXPECT_EQ(port->ReadByte(byte), ReadStatus::Error);
  const std::uint8_t frame[] = {1, 2, 3};
  EXPECT_FALSE(port->Write(frame, sizeof frame));
}

TEST_F(SerialPortTest, AnOpenPortKeepsTheDeviceToItselfUntilClosed) {
  ASSERT_NE(OpenPort(), nullptr);
  EXPECT_FALSE(DeviceIsFree(pty_.path()));
  EXPECT_EQ(OpenInAnotherProcess(), 0);
  port_->Close();
  port_ = nullptr;
  EXPECT_TRUE(DeviceIsFree(pty_.path()));
  EXPECT_EQ(OpenInAnotherProcess(), 1);
}

TEST_F(SerialPortTest, FailedOpensReturnNothingAndLeaveNoDescriptorBehind) {
  const int before = OpenDescriptorCount();
  setenv("MOLVEXECR_COM7", "/nonexistent/tty", 1);
  setenv("MOLVEXECR_COM8", "/dev/null", 1);  // opens, but is no terminal
  unsetenv("MOLVEXECR_COM40");
  struct Case {
    std::int32_t port;
    std::int32_t baud;
  };
  for (const Case& c : {Case{7, 9600}, Case{8, 9600}, Case{40, 9600}, Case{0, 9600}, Case{-1, 9600},
                        Case{3, 12345}, Case{3, 0}}) {
    EXPECT_EQ(SerialPortFactory().Open(c.port, c.baud), nullptr) << c.port << " " << c.baud;
  }
  unsetenv("MOLVEXECR_COM7");
  unsetenv("MOLVEXECR_COM8");
  EXPECT_EQ(OpenDescriptorCount(), before);
  EXPECT_TRUE(DeviceIsFree(pty_.path()));
}

// One process may drive several printers: each open has a device of its own, a failed open
// touches none of the others, and a port closed is free for the next open.
TEST_F(SerialPortTest, EachOpenHasItsOwnDeviceAndAFailedOpenLeavesTheOthersAlone) {
  PtyPair other;
  ASSERT_TRUE(other.ok());
  other.MapAsPort(4);
  ByteChannel* first = OpenPort();
  ASSERT_NE(first, nullptr);
  ByteChannel* second = SerialPortFactory().Open(4, 9600);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_FALSE(DeviceIsFree(pty_.path()));
  EXPECT_FALSE(DeviceIsFree(other.path()));

  EXPECT_EQ(SerialPortFactory().Open(4, 12345), nullptr);  // device found, speed refused
  EXPECT_FALSE(DeviceIsFree(pty_.path()));
  EXPECT_FALSE(DeviceIsFree(other.path()));

  const std::uint8_t byte = 0x55;
  ASSERT_TRUE(second->Write(&byte, 1));
  EXPECT_EQ(other.ReceiveUntil(0x55, 1000), "\x55");
  second->Close();
  EXPECT_TRUE(DeviceIsFree(other.path()));
  EXPECT_FALSE(DeviceIsFree(pty_.path()));
  ByteChannel* again = SerialPortFactory().Open(4, 9600);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, first);
  again->Close();
}

}  // namespace
}  // namespace serialtest
