#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace molvex {
namespace {

bool Usable(const std::string& path) {
  return !path.empty() && path.find('\0') == std::string::npos;
}

// Writes all bytes and closes the file; true when both worked.
bool WriteAndClose(std::FILE* file, std::string_view bytes) {
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

// The C library's text mode is the platform's own: CR LF line ends on Windows, none elsewhere.
bool WriteWith(const std::string& path, const char* mode, std::string_view bytes) {
  if (!Usable(path)) return false;
  std::FILE* file = std::fopen(path.c_str(), mode);
  if (file == nullptr) return false;
  return WriteAndClose(file, bytes);
}

// Creates the file exclusively and opens it as a text-mode stream: nullptr with `exists` set
// when the name is taken.
std::FILE* OpenNew(const std::string& path, bool& exists) {
#ifdef _WIN32
  const int fd =
      _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT, _S_IREAD | _S_IWRITE);
  const char* mode = "wt";
#else
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  const char* mode = "w";
#endif
  if (fd < 0) {
    exists = errno == EEXIST;
    return nullptr;
  }
#ifdef _WIN32
  std::FILE* file = _fdopen(fd, mode);
  if (file == nullptr) _close(fd);
#else
  std::FILE* file = fdopen(fd, mode);
  if (file == nullptr) close(fd);
#endif
  if (file == nullptr) std::remove(path.c_str());  // ours, and empty
  return file;
}

}  // namespace

bool AppendTextFile(const std::string& path, std::string_view text) {
  return WriteWith(path, "at+", text);
}

bool WriteTextFile(const std::string& path, std::string_view bytes) {
  return WriteWith(path, "wt", bytes);
}

NewFile CreateNewTextFile(const std::string& path, std::string_view bytes) {
  if (!Usable(path)) return NewFile::Failed;
  bool exists = false;
  std::FILE* file = OpenNew(path, exists);
  if (file == nullptr) return exists ? NewFile::Exists : NewFile::Failed;
  if (WriteAndClose(file, bytes)) return NewFile::Written;
  std::remove(path.c_str());
  return NewFile::Failed;
}

}  // namespace molvex
