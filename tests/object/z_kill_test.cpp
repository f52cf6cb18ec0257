// A process killed at any step of a Z report's writes: what it leaves on the disk and what a
// restart makes of it. Each run is a child process that closes the day on its own virtual
// printer and dies (SIGKILL, no clean-up) at the n-th step of the durable writes and log lines;
// a second child then starts afresh and opens the port, as the till would after the crash, on a
// printer that still serves the last Z report's data (as a printer does until its next one).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "platform/durable_file.h"
#include "tests/object/report_fixture.h"

namespace molvex::testing {
namespace {

int kill_at = 0;      // the step at which the child dies; 0: none
int steps_taken = 0;  // steps passed so far in this process
std::FILE* step_log = nullptr;

bool StepHook(const char* step, const std::string& path) {
  ++steps_taken;
  if (step_log != nullptr) std::fprintf(step_log, "%s %s\n", step, path.c_str());
  if (steps_taken == kill_at) raise(SIGKILL);
  return true;
}

class ZKillTest : public ReportTest {
 protected:
  void TearDown() override {
    SetWriteStepHook(nullptr);
    ReportTest::TearDown();
  }

  // Runs `body` in a child process; returns its wait status.
  template <class Body>
  static int InChild(Body body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      body();
      _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }

  // The day closed in a child that dies at step `at` (0: runs to its end); its steps are
  // listed in `steps_file` when one is given.
  int CloseDayDyingAt(int at, const std::filesystem::path& steps_file = {}) {
    return InChild([&] {
      kill_at = at;
      if (!steps_file.empty()) step_log = std::fopen(steps_file.c_str(), "w");
      if (step_log != nullptr) std::setvbuf(step_log, nullptr, _IONBF, 0);
      SetWriteStepHook(&StepHook);
      OpenWithSettings();
      VARIANT_BOOL result = 0;
      Bstr password("0");
      EXPECT_EQ(obj.ZReport(password.get(), &result), S_OK);
    });
  }

  // A new process opens the port: the restart after the crash. The printer still serves the
  // data of its last Z report (`zdata`; empty when it never closed a day).
  int Restart(const std::string& zdata) {
    return InChild([&] {
      port.device().state().z_data = zdata;
      clock.SetLocal(LocalDateTime{2026, 12, 11, 8, 0, 0});
      OpenWithSettings();
    });
  }

  std::vector<std::string> Spooled() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
      if (e.path().extension() == ".zsp") names.push_back(e.path().filename().string());
    }
    return names;
  }

  void Clear() {
    for (const auto& e : std::filesystem::directory_iterator(dir)) std::filesystem::remove(e);
  }
};

TEST_F(ZKillTest, AKillAtAnyWriteLeavesNoArchiveOrAWholeOneAndARestartArchivesTheDay) {
  // A run to the end: the steps and the archive that a kill must not spoil.
  const std::filesystem::path steps_file = dir.parent_path() / (dir.filename().string() + ".steps");
  ASSERT_EQ(CloseDayDyingAt(0, steps_file), 0);
  const std::string name = "202612102205123.zre";
  ASSERT_EQ(Archives(dir), std::vector<std::string>{name});
  const std::string whole = FileBytes(dir / name);
  ASSERT_NE(whole.find("\nZ=1\n"), std::string::npos);
  std::vector<std::string> steps;
  {
    std::ifstream in(steps_file);
    for (std::string line; std::getline(in, line);) steps.push_back(line);
  }
  std::filesystem::remove(steps_file);
  // The report command goes out once the mark of the sent report has its name and its folder
  // is flushed: a kill from the next step on comes after the printer closed the day.
  const auto marked = std::find_if(steps.begin(), steps.end(), [](const std::string& s) {
    return s.rfind("name ", 0) == 0 && s.find("zreport.pending") != std::string::npos;
  });
  ASSERT_NE(marked, steps.end());
  const auto first_closed = static_cast<std::size_t>(marked - steps.begin()) + 3;
  ASSERT_GE(steps.size(), 15u);

  for (std::size_t at = 1; at <= steps.size(); ++at) {
    SCOPED_TRACE("killed at step " + std::to_string(at) + ": " + steps[at - 1]);
    Clear();
    const int died = CloseDayDyingAt(static_cast<int>(at));
    ASSERT_TRUE(WIFSIGNALED(died) && WTERMSIG(died) == SIGKILL) << died;
    // No archive, or a whole one; never a part of one.
    for (const std::string& archive : Archives(dir)) EXPECT_EQ(FileBytes(dir / archive), whole);
    EXPECT_LE(Archives(dir).size(), 1u);

    const bool closed = at >= first_closed;
    ASSERT_EQ(Restart(closed ? whole : ""), 0);
    if (!closed) {
      // Killed before the report went out: the day is open, there is nothing to archive.
      EXPECT_EQ(Archives(dir), std::vector<std::string>{});
    } else {
      // The day's archive, once, under the name it had when the day was closed.
      EXPECT_EQ(Archives(dir), std::vector<std::string>{name});
      EXPECT_EQ(FileBytes(dir / name), whole);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "zreport.pending"));
    EXPECT_EQ(Spooled(), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace molvex::testing
