#include "platform/settings_dir.h"

#include <cstdlib>

namespace molvex {

std::string SettingsDirectory() {
  const char* from_env = std::getenv("MOLVEXECR_DIR");
  std::string dir = from_env != nullptr && *from_env != '\0' ? from_env : "/var/lib/molvexecr";
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

char PathSeparator() {
  return '/';
}

}  // namespace molvex
