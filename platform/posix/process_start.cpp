#include "platform/process_start.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace molvex {

// The program runs on its own: an intermediate child starts it and ends at once, so the
// program belongs to init and never lingers as a zombie of this long-running process. The
// start counts as accepted when the program file can be executed at all. execv takes a relative
// path against the current directory and never searches PATH.
ProgramStart StartProgram(const std::string& path) {
  if (path.empty() || access(path.c_str(), F_OK) != 0) return ProgramStart::Missing;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || access(path.c_str(), X_OK) != 0) {
    return ProgramStart::Failed;
  }
  const pid_t child = fork();
  if (child < 0) return ProgramStart::Failed;
  if (child == 0) {
    // Only async-signal-safe calls between fork and exec.
    const pid_t program = fork();
    if (program == 0) {
      char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
      execv(path.c_str(), argv);
      _exit(127);
    }
    _exit(program < 0 ? 1 : 0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ProgramStart::Started
                                                       : ProgramStart::Failed;
}

}  // namespace molvex
