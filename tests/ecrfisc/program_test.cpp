// The ecrfisc program against ecr-sim on a pseudo-terminal: the probe's exit status and a JSON
// session through the real serial port.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
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

extern char** environ;

namespace {

class SimOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/ecrfisc-test-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir_ = templ;
    link_ = dir_ + "/com1";
    std::vector<std::string> args = {ECR_SIM_PATH, "--link", link_, "--busy-scale", "0"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ASSERT_EQ(posix_spawn(&sim_, ECR_SIM_PATH, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    struct stat st {};
    for (int i = 0; i < 250 && lstat(link_.c_str(), &st) != 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  void TearDown() override {
    if (sim_ > 0) {
      kill(sim_, SIGTERM);
      waitpid(sim_, nullptr, 0);
    }
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }

  // Runs ecrfisc with COM1 on the simulator; returns its exit status and standard output.
  // `environment`: further variable assignments for the program.
  int Ecrfisc(const std::string& arguments, std::string& output,
              const std::string& environment = "") {
    const std::string command = "MOLVEXECR_COM1='" + link_ + "' MOLVEXECR_DIR='" + dir_ + "' " +
                                environment + " " + ECRFISC_PATH + " " + arguments;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) output.append(buf, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string dir_;
  std::string link_;
  pid_t sim_ = -1;
};

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
