// ecr-sim as a program on a pseudo-terminal: started, driven through the link's serial port,
// stopped and started again on the same state file.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "link/link.h"
#include "sim/model/device.h"
#include "sim/wire/frame.h"
#include "tests/sim/sim_harness.h"

extern char** environ;

namespace simtest {
namespace {

#ifdef ECR_SIM_PATH

class SimProcess {
 public:
  // Starts ecr-sim with these arguments and waits until `wait_for` exists (when given).
  explicit SimProcess(std::vector<std::string> args, const std::string& wait_for = "") {
    const std::string program = ECR_SIM_PATH;
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    struct stat st {};
    for (int i = 0; i < 100 && !wait_for.empty() && lstat(wait_for.c_str(), &st) != 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~SimProcess() { Stop(); }
  // SIGTERM and wait; returns the exit status.
  int Stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }
  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

// The link's serial port opened on the pseudo-terminal as COM9.
class Wire {
 public:
  explicit Wire(const std::string& path) {
    setenv("MOLVEXECR_COM9", path.c_str(), 1);
    LinkReset();
    LinkSetPortFactory(nullptr);
    open_ = PrnOpenPort(9, 115200) > 0;
  }
  ~Wire() {
    PrnClosePort();
    LinkReset();
  }
  bool is_open() const { return open_; }

  // The error word of the transaction; the reply data into `reply`.
  std::uint32_t Ask(int command, const std::string& data, std::string* reply = nullptr) {
    static std::uint32_t error;
    static std::string text;
    error = 0;
    text.clear();
    PrnExecuteCallback(
        [](RetData& r) {
          error = r.ErrorWord;
          text = r.ReplyData;
        },
        0, command, data.c_str());
    if (reply != nullptr) *reply = text;
    return error;
  }

  static constexpr std::uint32_t kNak = 1u << 25;

 private:
  bool open_ = false;
};

TEST(EcrSimProgram, ServesThePseudoTerminalTakesControlLinesAndKeepsItsState) {
  const std::string dir = ::testing::TempDir() + "/ecr-sim-" + std::to_string(getpid());
  mkdir(dir.c_str(), 0700);
  const std::string link = dir + "/ttyECR1";
  const std::string state = dir + "/state";
  const std::string control = dir + "/control";
  {
    SimProcess sim({"--link", link, "--busy-scale", "0", "--state", state, "--control", control},
                   link);
    ASSERT_TRUE(sim.running());
    Wire wire(link);
    ASSERT_TRUE(wire.is_open());
    EXPECT_EQ(wire.Ask(74, "W") & FailureMask, 0u);
    EXPECT_EQ(wire.Ask(107,
                       "P\xC0"
                       "1,1,2.00,0,TEA") &
                  FailureMask,
              0u);
    EXPECT_EQ(wire.Ask(48, "00001,,00001,I") & FailureMask, 0u);
    EXPECT_EQ(wire.Ask(58, "1*3.000") & FailureMask, 0u);
    EXPECT_EQ(wire.Ask(53, "\tP") & FailureMask, 0u);
    EXPECT_EQ(wire.Ask(56, "") & FailureMask, 0u);
    std::ofstream(control, std::ios::app) << "nak\n";
    EXPECT_EQ(wire.Ask(33, ""), Wire::kNak);
    std::string reply;
    EXPECT_EQ(wire.Ask(113, "", &reply) & FailureMask, 0u);
    EXPECT_EQ(reply, "1");
    EXPECT_EQ(sim.Stop(), 0);
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "the link is removed on exit";
  }
  {
    SimProcess sim({"--link", link, "--busy-scale", "0", "--state", state, "--control", control},
                   link);
    Wire wire(link);
    ASSERT_TRUE(wire.is_open());
    std::string reply;
    EXPECT_EQ(wire.Ask(113, "", &reply) & FailureMask, 0u);
    EXPECT_EQ(reply, "1") << "the receipt counter survived the restart";
    EXPECT_EQ(wire.Ask(65, "0", &reply) & FailureMask, 0u);
    EXPECT_EQ(reply, "1,600,0,0,0,0");
  }
  std::remove(state.c_str());
  std::remove(control.c_str());
  rmdir(dir.c_str());
}

TEST(EcrSimProgram, ServesAnExistingSerialDevice) {
  // A pseudo-terminal stands in for the device: ecr-sim gets its slave, the test is the host on
  // the master side.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string slave = ptsname(master);
  const int slave_fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY);  // raw before anyone writes
  ASSERT_GE(slave_fd, 0);
  termios t{};
  tcgetattr(slave_fd, &t);
  cfmakeraw(&t);
  tcsetattr(slave_fd, TCSANOW, &t);
  SimProcess sim({"--device", slave, "--busy-scale", "0"});
  ASSERT_TRUE(sim.running());
  const auto request = molvex::sim::BuildRequest(0x33, 255, "");
  ASSERT_EQ(write(master, request.data(), request.size()), static_cast<ssize_t>(request.size()));
  std::vector<std::uint8_t> got;
  RawReply reply;
  for (int idle = 0; idle < 50 && !reply.frame;) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) {
      ++idle;
      continue;
    }
    std::uint8_t buf[256];
    const ssize_t n = read(master, buf, sizeof buf);
    if (n > 0) got.insert(got.end(), buf, buf + n);
    if (!got.empty() && got.back() == 0x03) ParseReply(got, reply);
  }
  ASSERT_TRUE(reply.frame);
  EXPECT_TRUE(reply.check_ok);
  EXPECT_EQ(reply.sequence, 0x33);
  EXPECT_EQ(reply.data, molvex::sim::kIdentity);
  EXPECT_EQ(sim.Stop(), 0);
  close(slave_fd);
  close(master);
}

#endif  // ECR_SIM_PATH

}  // namespace
}  // namespace simtest
