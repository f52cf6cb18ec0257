#include "platform/files.h"

#include <sys/stat.h>

namespace molvex {

bool FileExists(const char* path) {
  if (path == nullptr) return false;
  struct stat info {};
  return stat(path, &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace molvex
