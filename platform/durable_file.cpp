// The parts of the durable files that are the same on every platform: the step hook and the
// reading back through the C library.
#include <cstdio>

#include "platform/durable_file.h"

namespace molvex {
namespace {

WriteStepHook step_hook = nullptr;

}  // namespace

void SetWriteStepHook(WriteStepHook hook) {
  step_hook = hook;
}

bool PassWriteStep(const char* step, const std::string& path) {
  return step_hook == nullptr || step_hook(step, path);
}

bool ReadWholeFile(const std::string& path, FileMode mode, std::string& bytes) {
  bytes.clear();
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  std::FILE* file = std::fopen(path.c_str(), mode == FileMode::Text ? "rt" : "rb");
  if (file == nullptr) return false;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  const bool read = std::ferror(file) == 0;
  std::fclose(file);
  return read;
}

}  // namespace molvex
