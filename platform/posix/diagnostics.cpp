#include "platform/diagnostics.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace molvex {

std::int64_t CurrentProcessId() {
  return static_cast<std::int64_t>(getpid());
}

void WriteNotice(std::string_view text) {
  const std::string line = std::string(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace molvex
