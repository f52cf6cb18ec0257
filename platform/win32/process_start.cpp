#include "platform/process_start.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdint>

namespace molvex {

bool StartProgram(const std::string& path) {
  // No owner window, the default verb, no parameters, no working directory of its own.
  const HINSTANCE result =
      ShellExecuteA(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<std::intptr_t>(result) > 32;  // values up to 32 are error codes
}

}  // namespace molvex
