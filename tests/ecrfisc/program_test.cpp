// The ecrfisc program against ecr-sim on a pseudo-terminal: the probe's exit status, a JSON
// session through the real serial port, the reason of a port that does not open, and the
// search for the printer over several devices.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/sim_on_pty.h"

namespace {

using testsupport::Shell;
using testsupport::SimOnPty;
using testsupport::StartSim;

TEST_F(SimOnPty, ProbeAnswersZeroWhenThePrinterIsThereAndOneWhenTheLineIsWrong) {
  std::string out;
  EXPECT_EQ(Ecrfisc("--port 1 --speed 115200 --probe", out), 0) << out;
  EXPECT_NE(out.find("IsPresent: Result = true"), std::string::npos) << out;
  EXPECT_NE(out.find("GetSerNumber: Number = \""), std::string::npos) << out;

  std::string wrongSpeed;
  EXPECT_EQ(Ecrfisc("--port 1 --speed 38400 --probe", wrongSpeed), 1) << wrongSpeed;
  EXPECT_NE(wrongSpeed.find("SetComPort: Result = -1"), std::string::npos) << wrongSpeed;
}

TEST_F(SimOnPty, JsonSessionFromArgumentsOverTheSerialPort) {
  std::string out;
  const int rc = Ecrfisc(
      "--json --state 'SetComPort 1 115200' 'DisplayUP \"Привет, мир\"' 'IsPresent' 'Nope'", out);
  EXPECT_EQ(rc, 2) << out;  // one line could not be run
  std::vector<nlohmann::json> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(nlohmann::json::parse(out.substr(start, end - start)));
  }
  ASSERT_EQ(lines.size(), 4u) << out;
  EXPECT_EQ(lines[1]["call"], "DisplayUP");
  EXPECT_EQ(lines[1]["out"]["Result"], -1);
  EXPECT_EQ(lines[2]["out"]["Result"], -1);
  EXPECT_EQ(lines[2]["state"]["StatusBytes"], 0);
  EXPECT_TRUE(lines[3].contains("usage_error"));
}

TEST_F(SimOnPty, APortThatDoesNotOpenIsExplainedBesideItsResults) {
  std::string out;
  const std::string missing = "MOLVEXECR_COM5='" + dir_ + "/ttyUSB9' ";
  EXPECT_EQ(Shell(missing + ECRFISC_PATH + " --port 5 --probe", out), 1) << out;
  EXPECT_EQ(out.substr(0, out.find('\n')), "SetComPort: Result = -1");
  EXPECT_NE(
      out.find("  port error: port 5 is " + dir_ + "/ttyUSB9 (MOLVEXECR_COM5): no such device"),
      std::string::npos)
      << out;
  EXPECT_NE(out.find("Name another device for port 5 with MOLVEXECR_COM5="), std::string::npos);

  // A port that did not open is an exit status of its own; after --port nothing more runs.
  std::string calls;
  EXPECT_EQ(Shell(missing + ECRFISC_PATH + " --port 5 IsPresent", calls), 3) << calls;
  EXPECT_EQ(calls.find("IsPresent"), std::string::npos) << calls;
  std::string expected;
  EXPECT_EQ(Shell(missing + ECRFISC_PATH + " 'SetComPort 5 9600 => Result = -1'", expected), 0)
      << "a line that says the port will not open: " << expected;

  std::string json;
  EXPECT_EQ(Shell(missing + ECRFISC_PATH + " --json 'SetComPort 5 9600'", json), 3) << json;
  const auto line = nlohmann::json::parse(json);
  EXPECT_EQ(line["out"]["Result"], -1);
  EXPECT_EQ(line["error"]["reason"], "no-such-device");
  EXPECT_EQ(line["error"]["device"], dir_ + "/ttyUSB9");
  EXPECT_EQ(line["error"]["mapping"], "MOLVEXECR_COM5");
}

// Frames of command 74 "W" (status read) in what a device received, and everything else.
void CountStatusReads(const std::string& bytes, int& reads, std::string& other) {
  reads = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    if (bytes.compare(i, 1, "\x01") == 0 && i + 11 <= bytes.size() && bytes[i + 1] == 0x25 &&
        bytes[i + 3] == 74 && bytes[i + 4] == 'W' && bytes[i + 5] == 0x05 &&
        bytes[i + 10] == 0x03) {
      ++reads;
      i += 11;
    } else {
      other += bytes[i++];
    }
  }
}

std::string Drain(int fd) {
  std::string got;
  char buf[512];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) return got;
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return got;
    got.append(buf, static_cast<std::size_t>(n));
  }
}

// Two virtual printers at different line speeds, a device that never answers, and one that
// another program holds.
class FindOnPtys : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/ecrfisc-find-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir_ = templ;
    slow_ = StartSim({"--link", dir_ + "/ttyUSB0", "--baud", "9600", "--busy-scale", "0"},
                     dir_ + "/ttyUSB0");
    fast_ = StartSim({"--link", dir_ + "/ttyACM3", "--baud", "115200", "--busy-scale", "0",
                      "--control", dir_ + "/control"},
                     dir_ + "/ttyACM3");
    ASSERT_GT(slow_, 0);
    ASSERT_GT(fast_, 0);
    for (int* master : {&silent_, &held_}) {
      *master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
      ASSERT_GE(*master, 0);
      ASSERT_EQ(grantpt(*master), 0);
      ASSERT_EQ(unlockpt(*master), 0);
    }
    silent_slave_ = open(ptsname(silent_), O_RDWR | O_NOCTTY | O_CLOEXEC);  // keeps it readable
    ASSERT_EQ(symlink(ptsname(silent_), (dir_ + "/ttyS1").c_str()), 0);
    ASSERT_EQ(symlink(ptsname(held_), (dir_ + "/ttyS2").c_str()), 0);
    // Held as ecrfisc holds a port: an exclusive lock on an open descriptor.
    held_slave_ = open(ptsname(held_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(flock(held_slave_, LOCK_EX | LOCK_NB), 0);
  }
  void TearDown() override {
    for (pid_t p : {slow_, fast_}) {
      if (p > 0) {
        kill(p, SIGTERM);
        waitpid(p, nullptr, 0);
      }
    }
    for (int fd : {silent_slave_, held_slave_, silent_, held_}) {
      if (fd >= 0) close(fd);
    }
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  int Find(const std::string& arguments, std::string& output) {
    return Shell("MOLVEXECR_DEVICE_DIR='" + dir_ + "' MOLVEXECR_COM7='" + dir_ + "/ttyACM3' " +
                     ECRFISC_PATH + " --find " + arguments,
                 output);
  }

  std::string dir_;
  pid_t slow_ = -1;
  pid_t fast_ = -1;
  int silent_ = -1;
  int silent_slave_ = -1;
  int held_ = -1;
  int held_slave_ = -1;
};

TEST_F(FindOnPtys, FindsEachPrinterAtItsSpeedAndSaysWhatTheOtherDevicesDid) {
  std::string out;
  EXPECT_EQ(Find("", out), 0) << out;
  const std::string d = dir_;
  const std::string expected_lines[] = {
      "ecrfisc: looking for the printer on 4 serial devices at 115200, 57600, 19200, 9600 baud",
      "  " + d +
          "/ttyACM3 (port 7, MOLVEXECR_COM7): printer at 115200 baud, serial number LT00012345",
      "  " + d + "/ttyS1: no answer",
      "  " + d + "/ttyS2: in use by another program (",
      "  " + d + "/ttyUSB0: printer at 9600 baud, serial number LT00012345",
      "  " + d +
          "/ttyACM3 (port 7, MOLVEXECR_COM7) at 115200 baud: ecrfisc --port 7 --speed 115200 "
          "--probe",
      "  " + d + "/ttyUSB0 at 9600 baud: MOLVEXECR_COM1=" + d +
          "/ttyUSB0 ecrfisc --port 1 --speed 9600 --probe",
  };
  std::size_t from = 0;
  for (const std::string& l : expected_lines) {
    const std::size_t at = out.find(l, from);
    EXPECT_NE(at, std::string::npos) << l << "\n" << out;
    if (at != std::string::npos) from = at + l.size();
  }
  EXPECT_NE(out.find("(ecrfisc_program, process " + std::to_string(getpid()) + "), skipped"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("2 printers found"), std::string::npos) << out;
  // The silent device got one status read at each speed, and nothing else.
  int reads = 0;
  std::string other;
  CountStatusReads(Drain(silent_), reads, other);
  EXPECT_EQ(reads, 4);
  EXPECT_EQ(other, "");
  // Nothing went to the device another program holds.
  EXPECT_EQ(Drain(held_), "");

  // One speed, JSON: the printer at another speed does not answer.
  std::string json;
  EXPECT_EQ(Find("--speed 9600 --json", json), 0) << json;
  std::vector<nlohmann::json> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = json.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(nlohmann::json::parse(json.substr(start, end - start)));
  }
  ASSERT_EQ(lines.size(), 5u) << json;
  EXPECT_EQ(lines[0]["device"], d + "/ttyACM3");
  EXPECT_EQ(lines[0]["ports"], nlohmann::json::array({7}));
  EXPECT_EQ(lines[0]["result"], "no-answer");
  EXPECT_EQ(lines[1]["result"], "no-answer");
  EXPECT_EQ(lines[2]["result"], "in-use");
  EXPECT_EQ(lines[2]["error"]["reason"], "in-use");
  EXPECT_EQ(lines[3]["device"], d + "/ttyUSB0");
  EXPECT_EQ(lines[3]["result"], "printer");
  EXPECT_EQ(lines[3]["speed"], 9600);
  EXPECT_EQ(lines[3]["serial"], "LT00012345");
  EXPECT_EQ(lines[4]["summary"]["printers"], 1);
  CountStatusReads(Drain(silent_), reads, other);
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(other, "");

  // No printer answering: exit status 1; a speed the object does not take: 2.
  kill(slow_, SIGTERM);
  waitpid(slow_, nullptr, 0);
  slow_ = -1;
  std::string none;
  EXPECT_EQ(Find("--speed 9600", none), 1) << none;
  EXPECT_NE(none.find("no printer found"), std::string::npos) << none;
  std::string refused;
  EXPECT_EQ(Find("--speed 38400 2>&1", refused), 2) << refused;

  // A printer at work sends only SYN: said so, and no other speed is tried on it.
  std::system(("echo syn-forever >> '" + dir_ + "/control'").c_str());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // read every 50 ms
  std::string busy;
  EXPECT_EQ(Find("--json", busy), 1) << busy;
  const auto first = nlohmann::json::parse(busy.substr(0, busy.find('\n')));
  EXPECT_EQ(first["result"], "busy") << busy;
  EXPECT_EQ(first["speed"], 115200) << busy;
}

// The sale example as it stands, on a printer with the two articles it sells.
class SaleExample : public SimOnPty {
 protected:
  SaleExample() {
    extra_sim_args_ = {"--article", "1,А,1,12.50,Хлеб", "--article", "2,Б,1,30.00,Молоко"};
  }
};

TEST_F(SaleExample, EveryCallGivesWhatItsLineSays) {
  const std::string sale = std::string(EXAMPLES_DIR) + "/sale.txt";
  std::string out;
  EXPECT_EQ(Ecrfisc("--port 1 --speed 115200 --echo --script '" + sale + "'", out), 0) << out;
  EXPECT_EQ(out.find("NOT AS EXPECTED"), std::string::npos) << out;
  EXPECT_NE(out.find("> SellArticul \"Сок яблочный 1 л\""), std::string::npos) << out;
  EXPECT_NE(out.find("CloseNonFiscReceipt: Result = true"), std::string::npos) << out;

  // The same sale again: the juice is found where it was programmed, and a line that expects
  // what the call does not give ends the run with 1.
  std::string second;
  EXPECT_EQ(Ecrfisc("--port 1 --script '" + sale + "'", second), 0) << second;
  std::string wrong;
  EXPECT_EQ(Ecrfisc("--port 1 'NumbRec => Value = 1'", wrong), 1) << wrong;
  EXPECT_NE(wrong.find("NumbRec: Value = 2"), std::string::npos) << wrong;
  EXPECT_NE(wrong.find("NOT AS EXPECTED: Value = 1"), std::string::npos) << wrong;
}

TEST_F(SimOnPty, TraceFromTheCommandLineOrTheEnvironment) {
  const std::string by_option = dir_ + "/option.log";
  const std::string by_environment = dir_ + "/environment.log";
  std::string out;
  ASSERT_EQ(Ecrfisc("--trace '" + by_option + "' --port 1 IsPresent", out), 0) << out;
  ASSERT_EQ(Ecrfisc("--port 1 IsPresent", out, "MOLVEXECR_TRACE='" + by_environment + "'"), 0)
      << out;
  for (const std::string& path : {by_option, by_environment}) {
    SCOPED_TRACE(path);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find(" SetComPort(NumPort=1, Speed=115200)\n"), std::string::npos)
        << text.str();
    EXPECT_NE(text.str().find(" IsPresent()\n  74 "), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("  = Result=true, StatusBytes=0, GetError=0\n"), std::string::npos)
        << text.str();
  }
}

}  // namespace
