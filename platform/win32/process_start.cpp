#include "platform/process_start.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <vector>

namespace molvex {

ProgramStart StartProgram(const std::string& path) {
  if (path.empty()) return ProgramStart::Missing;
  // The full path first: the shell looks a bare or relative name up along its search path.
  const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return ProgramStart::Missing;
  std::vector<char> full(needed + 1);
  const DWORD length = GetFullPathNameA(path.c_str(), needed + 1, full.data(), nullptr);
  if (length == 0 || length > needed) return ProgramStart::Missing;
  const DWORD attributes = GetFileAttributesA(full.data());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ProgramStart::Missing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return ProgramStart::Failed;
  // No owner window, the default verb, no parameters, no working directory of its own.
  const HINSTANCE result =
      ShellExecuteA(nullptr, nullptr, full.data(), nullptr, nullptr, SW_SHOWNORMAL);
  // Values up to 32 are error codes.
  return reinterpret_cast<std::intptr_t>(result) > 32 ? ProgramStart::Started
                                                      : ProgramStart::Failed;
}

}  // namespace molvex
