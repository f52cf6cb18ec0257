#include "platform/ini_file.h"

#include <ini.h>

#include <strings.h>
#include <cstring>
#include <string>

namespace molvex {
namespace {

struct Lookup {
  const char* section;
  const char* key;
  bool found = false;
  std::string value;
};

int OnEntry(void* user, const char* section, const char* name, const char* value) {
  auto* lookup = static_cast<Lookup*>(user);
  if (lookup->found) return 1;
  if (strcasecmp(section, lookup->section) != 0 || strcasecmp(name, lookup->key) != 0) return 1;
  lookup->found = true;
  lookup->value = value != nullptr ? value : "";
  return 1;
}

// Windows drops one pair of matching quotes around a value.
void Unquote(std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
}

std::uint32_t CopyCut(const char* text, std::size_t length, char* buffer, std::uint32_t size) {
  const std::size_t n = length < size - 1 ? length : size - 1;
  std::memcpy(buffer, text, n);
  buffer[n] = '\0';
  return static_cast<std::uint32_t>(n);
}

}  // namespace

std::uint32_t ReadIniString(const char* section, const char* key, const char* default_value,
                            char* buffer, std::uint32_t size, const char* path) {
  if (buffer == nullptr || size == 0) return 0;
  if (default_value == nullptr) default_value = "";
  if (section != nullptr && key != nullptr && path != nullptr) {
    Lookup lookup{section, key, false, {}};
    // A file that cannot be opened counts as an empty one; a line the reader cannot parse is
    // skipped and the rest of the file still read.
    ini_parse(path, OnEntry, &lookup);
    if (lookup.found) {
      Unquote(lookup.value);
      return CopyCut(lookup.value.data(), lookup.value.size(), buffer, size);
    }
  }
  return CopyCut(default_value, std::strlen(default_value), buffer, size);
}

}  // namespace molvex
