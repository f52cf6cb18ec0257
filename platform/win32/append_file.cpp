#include "platform/append_file.h"

#include <cerrno>
#include <cstdio>
#include <utility>

namespace molvex {

struct AppendFile::Handle {
  std::FILE* file = nullptr;
};

AppendFile::AppendFile(std::string path) : path_(std::move(path)), handle_(new Handle) {}

AppendFile::~AppendFile() {
  Close();
}

std::int64_t AppendFile::Open() {
  Close();
  std::FILE* file = std::fopen(path_.c_str(), "a");
  if (file == nullptr) return -1;
  handle_->file = file;
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  return _ftelli64(file);
}

bool AppendFile::Append(std::string_view text) {
  std::FILE* file = handle_->file;
  if (file == nullptr) {
    errno = EBADF;
    return false;
  }
  handle_->file = nullptr;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

void AppendFile::Close() {
  if (handle_->file != nullptr) std::fclose(handle_->file);
  handle_->file = nullptr;
}

}  // namespace molvex
