#include "platform/diagnostics.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace molvex {

std::int64_t CurrentProcessId() {
  return static_cast<std::int64_t>(GetCurrentProcessId());
}

void WriteNotice(std::string_view text) {
  const std::string line = std::string(text) + "\n";
  OutputDebugStringA(line.c_str());
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace molvex
