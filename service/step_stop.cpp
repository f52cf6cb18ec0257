#include "service/step_stop.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace molvex::service {
namespace {

void StopHere() {
#ifndef _WIN32
  kill(getpid(), SIGSTOP);
#endif
}

}  // namespace

void StepStop(std::string_view step, std::string_view phase) {
  static const std::string target = [] {
    const char* value = std::getenv("MOLVEXECR_SERVICE_STOP_AT");
    return std::string(value == nullptr ? "" : value);
  }();
  if (target.empty()) return;
  if (phase == "after" && target == step) {
    StopHere();
  } else if (phase == "before" && target.size() == step.size() + 7 &&
             target.compare(0, step.size(), step) == 0 && target.ends_with(":during")) {
    std::thread([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      StopHere();
    }).detach();
  }
}

}  // namespace molvex::service
