// Why a serial port could not be opened, as the system says it (the reason travels beside the
// entries' -1), and the list of the machine's serial devices that a search goes through.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/byte_channel.h"
#include "platform/serial_ports.h"
#include "tests/serial/pty_pair.h"

namespace serialtest {
namespace {

using molvex::PortFailure;
using molvex::PortOpenError;
using molvex::SerialPortFactory;

// Runs `open` in a child process that has given up root (a root process may open any device),
// and brings back the reason and the group it found.
struct ChildResult {
  int reason = -1;
  std::string group;
};
ChildResult OpenAsUnprivileged(const std::function<PortOpenError()>& open) {
  int out[2];
  if (pipe(out) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(3);
    }
    const PortOpenError e = open();
    const std::string line = std::to_string(static_cast<int>(e.reason)) + " " + e.group;
    if (write(out[1], line.data(), line.size()) < 0) _exit(4);
    _exit(0);
  }
  close(out[1]);
  std::string got;
  char buf[256];
  for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
    got.append(buf, static_cast<std::size_t>(n));
  close(out[0]);
  waitpid(child, nullptr, 0);
  ChildResult r;
  const std::size_t blank = got.find(' ');
  if (blank == std::string::npos) return r;
  r.reason = std::atoi(got.substr(0, blank).c_str());
  r.group = got.substr(blank + 1);
  return r;
}

std::string GroupName(gid_t gid) {
  const group* g = getgrgid(gid);
  return g != nullptr ? g->gr_name : std::to_string(gid);
}

TEST(PortErrorsTest, EveryFailedOpenSaysWhichDeviceAndWhy) {
  PtyPair held;
  PtyPair locked_away;
  ASSERT_TRUE(held.ok() && locked_away.ok());
  // The first device is held by another process (through the same exclusive open).
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    PortOpenError e;
    auto port = molvex::OpenSerialDevice(held.path(), 9600, e);
    if (write(ready[1], port ? "1" : "0", 1) < 0) _exit(1);
    pause();
    _exit(0);
  }
  char flag = '0';
  ASSERT_EQ(read(ready[0], &flag, 1), 1);
  ASSERT_EQ(flag, '1');
  // The second may be opened by its owner and its group only (root is made an ordinary user
  // below); any other user: by nobody.
  const bool root = geteuid() == 0;
  ASSERT_EQ(chmod(locked_away.path().c_str(), root ? 0660 : 0), 0);
  struct stat st {};
  ASSERT_EQ(stat(locked_away.path().c_str(), &st), 0);

  setenv("MOLVEXECR_COM5", "/nonexistent/ttyUSB7", 1);
  setenv("MOLVEXECR_COM6", held.path().c_str(), 1);
  setenv("MOLVEXECR_COM7", "/dev/null", 1);
  setenv("MOLVEXECR_COM8", locked_away.path().c_str(), 1);

  struct Case {
    const char* what;
    std::int32_t port;
    std::int32_t baud;
    PortFailure reason;
    std::string device;
    int system_code;
  };
  const Case cases[] = {
      {"missing device", 5, 9600, PortFailure::NoSuchDevice, "/nonexistent/ttyUSB7", ENOENT},
      {"in use", 6, 9600, PortFailure::InUse, held.path(), EWOULDBLOCK},
      {"not a terminal", 7, 9600, PortFailure::NotSerial, "/dev/null", ENOTTY},
      {"no line speed", 6, 12345, PortFailure::BadSpeed, held.path(), EINVAL},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SerialPortFactory().Open(c.port, c.baud), nullptr) << c.what;
    const PortOpenError e = SerialPortFactory().LastOpenError();
    EXPECT_EQ(e.reason, c.reason) << c.what;
    EXPECT_EQ(e.device, c.device) << c.what;
    EXPECT_EQ(e.mapping, "MOLVEXECR_COM" + std::to_string(c.port)) << c.what;
    EXPECT_EQ(e.system_code, c.system_code) << c.what;
    EXPECT_FALSE(e.system_text.empty()) << c.what;
  }
  // The holder is named with its process number.
  SerialPortFactory().Open(6, 9600);
  EXPECT_NE(SerialPortFactory().LastOpenError().holder.find("process " + std::to_string(holder)),
            std::string::npos)
      << SerialPortFactory().LastOpenError().holder;

  // No permission: the reason and the group that may open the device.
  const ChildResult denied = OpenAsUnprivileged([] {
    SerialPortFactory().Open(8, 9600);
    return SerialPortFactory().LastOpenError();
  });
  EXPECT_EQ(denied.reason, static_cast<int>(PortFailure::NoPermission));
  EXPECT_EQ(denied.group, root ? GroupName(st.st_gid) : "");  // only a group that may open it

  // The default device of a port number, no mapping involved.
  unsetenv("MOLVEXECR_COM40");
  EXPECT_EQ(SerialPortFactory().Open(40, 9600), nullptr);
  EXPECT_EQ(SerialPortFactory().LastOpenError().device, "/dev/ttyS39");
  EXPECT_EQ(SerialPortFactory().LastOpenError().mapping, "");
  EXPECT_EQ(SerialPortFactory().LastOpenError().reason, PortFailure::NoSuchDevice);

  // A successful open leaves nothing to explain.
  kill(holder, SIGTERM);
  waitpid(holder, nullptr, 0);
  molvex::ByteChannel* port = SerialPortFactory().Open(6, 9600);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(SerialPortFactory().LastOpenError().reason, PortFailure::None);
  port->Close();

  for (const char* v : {"MOLVEXECR_COM5", "MOLVEXECR_COM6", "MOLVEXECR_COM7", "MOLVEXECR_COM8"}) {
    unsetenv(v);
  }
  close(ready[0]);
  close(ready[1]);
}

TEST(PortErrorsTest, ADeviceOpenedByNameKeepsToItselfAndAnswersWithTheSameReasons) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  PortOpenError error;
  auto first = molvex::OpenSerialDevice(pty.path(), 57600, error);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(error.reason, PortFailure::None);
  EXPECT_EQ(molvex::OpenSerialDevice(pty.path(), 57600, error), nullptr);
  EXPECT_EQ(error.reason, PortFailure::InUse);
  EXPECT_EQ(error.device, pty.path());
  first.reset();  // the device is released with its channel
  EXPECT_NE(molvex::OpenSerialDevice(pty.path(), 57600, error), nullptr);
  EXPECT_EQ(molvex::OpenSerialDevice("/nonexistent/tty", 57600, error), nullptr);
  EXPECT_EQ(error.reason, PortFailure::NoSuchDevice);
}

TEST(SerialDeviceListTest, MappingsAndDevicesOnceEachNumberedPortsFirst) {
  char templ[] = "/tmp/serial-list-XXXXXX";
  ASSERT_NE(mkdtemp(templ), nullptr);
  const std::string dir = templ;
  PtyPair a;
  PtyPair b;
  ASSERT_TRUE(a.ok() && b.ok());
  ASSERT_EQ(symlink(a.path().c_str(), (dir + "/ttyUSB1").c_str()), 0);
  ASSERT_EQ(symlink(b.path().c_str(), (dir + "/ttyACM0").c_str()), 0);
  for (const char* other : {"ttyS", "ttyUSBx", "ttyX1", "console"}) {
    ASSERT_EQ(symlink(b.path().c_str(), (dir + "/" + other).c_str()), 0);
  }
  ASSERT_EQ(symlink("/nonexistent", (dir + "/ttyS10").c_str()), 0);
  setenv("MOLVEXECR_COM3", (dir + "/ttyUSB1").c_str(), 1);  // the same device as ttyUSB1
  setenv("MOLVEXECR_COM12", a.path().c_str(), 1);           // and again, by its own name
  setenv("MOLVEXECR_COM2", "", 1);                          // empty: no mapping
  setenv("MOLVEXECR_COMX", "/dev/null", 1);                 // not a port number

  const auto list = molvex::ListSerialDevices(dir);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].path, dir + "/ttyUSB1");  // found once, under the mapping's name
  EXPECT_EQ(list[0].ports, (std::vector<std::int32_t>{3, 12}));
  EXPECT_EQ(list[0].mapping, "MOLVEXECR_COM3");
  EXPECT_EQ(list[1].path, dir + "/ttyS10");  // port 11 is /dev/ttyS10, not this one
  EXPECT_TRUE(list[1].ports.empty());
  EXPECT_EQ(list[2].path, dir + "/ttyACM0");
  EXPECT_TRUE(list[2].ports.empty());

  for (const char* v : {"MOLVEXECR_COM3", "MOLVEXECR_COM12", "MOLVEXECR_COM2", "MOLVEXECR_COMX"}) {
    unsetenv(v);
  }
  std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
}  // namespace serialtest
