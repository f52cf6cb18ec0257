#include "platform/files.h"

#include <windows.h>

namespace molvex {

bool FileExists(const char* path) {
  if (path == nullptr) return false;
  OFSTRUCT info{};
  return OpenFile(path, &info, OF_EXIST) != HFILE_ERROR;
}

}  // namespace molvex
