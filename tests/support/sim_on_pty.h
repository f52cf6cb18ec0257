// ecr-sim on a pseudo-terminal for tests of the programs: the simulator started with its link
// in a fresh directory, and ecrfisc run against it as port 1. The including test defines
// ECR_SIM_PATH and ECRFISC_PATH.
#pragma once

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
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace testsupport {

// Starts ecr-sim with these arguments (output discarded) and waits for its link; -1 on failure.
inline pid_t StartSim(std::vector<std::string> args, const std::string& link) {
  args.insert(args.begin(), ECR_SIM_PATH);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, ECR_SIM_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  struct stat st {};
  for (int i = 0; i < 250 && lstat(link.c_str(), &st) != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return pid;
}

// Runs a shell command line; returns its exit status and standard output.
inline int Shell(const std::string& command, std::string& output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) output.append(buf, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The simulator on `link_` in the fresh directory `dir_`, which is also the settings directory
// of the ecrfisc runs.
class SimOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/ecrfisc-test-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir_ = templ;
    link_ = dir_ + "/com1";
    std::vector<std::string> args = {"--link", link_, "--busy-scale", "0"};
    args.insert(args.end(), extra_sim_args_.begin(), extra_sim_args_.end());
    sim_ = StartSim(args, link_);
    ASSERT_GT(sim_, 0);
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
    return Shell("MOLVEXECR_COM1='" + link_ + "' MOLVEXECR_DIR='" + dir_ + "' " + environment +
                     " " + ECRFISC_PATH + " " + arguments,
                 output);
  }

  std::string dir_;
  std::string link_;
  pid_t sim_ = -1;
  std::vector<std::string> extra_sim_args_;  // set by a derived fixture before SetUp
};

}  // namespace testsupport
