#include "platform/append_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace molvex {
namespace {

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    default:
      return EIO;
  }
}

// Opens the file for appending, created when missing. A reparse point in its place (a symbolic
// link, a junction, a mount point) is opened as itself and then refused, so the trace never
// writes through it to a file somebody else chose.
std::FILE* OpenForAppend(const std::string& path) {
  const HANDLE handle =
      CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    errno = ErrnoOf(GetLastError());
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(handle, &info) == 0 ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    CloseHandle(handle);
    errno = ELOOP;
    return nullptr;
  }
  // Text mode as before: each line ends in CR LF.
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_APPEND | _O_TEXT);
  if (fd < 0) {
    CloseHandle(handle);
    errno = EIO;
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "a");
  if (file == nullptr) _close(fd);
  return file;
}

}  // namespace

struct AppendFile::Handle {
  std::FILE* file = nullptr;
};

AppendFile::AppendFile(std::string path) : path_(std::move(path)), handle_(new Handle) {}

AppendFile::~AppendFile() {
  Close();
}

std::int64_t AppendFile::Open() {
  Close();
  std::FILE* file = OpenForAppend(path_);
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
