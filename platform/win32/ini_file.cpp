#include "platform/ini_file.h"

#include <windows.h>

namespace molvex {

std::uint32_t ReadIniString(const char* section, const char* key, const char* default_value,
                            char* buffer, std::uint32_t size, const char* path) {
  if (buffer == nullptr || size == 0) return 0;
  return GetPrivateProfileStringA(section, key, default_value, buffer, size, path);
}

}  // namespace molvex
