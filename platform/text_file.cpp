#include "platform/text_file.h"

#include <cstdio>

namespace molvex {
namespace {

// The C library's text mode is the platform's own: CR LF line ends on Windows, none elsewhere.
bool WriteWith(const std::string& path, const char* mode, std::string_view bytes) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  std::FILE* file = std::fopen(path.c_str(), mode);
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

}  // namespace

bool AppendTextFile(const std::string& path, std::string_view text) {
  return WriteWith(path, "at+", text);
}

bool WriteTextFile(const std::string& path, std::string_view bytes) {
  return WriteWith(path, "wt", bytes);
}

}  // namespace molvex
