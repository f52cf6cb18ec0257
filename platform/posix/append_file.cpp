#include "platform/append_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace molvex {

struct AppendFile::Handle {
  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
};

AppendFile::AppendFile(std::string path) : path_(std::move(path)), handle_(new Handle) {}

AppendFile::~AppendFile() {
  Close();
}

std::int64_t AppendFile::Open() {
  Handle& h = *handle_;
  struct stat named {};
  if (h.fd >= 0 && lstat(path_.c_str(), &named) == 0 && named.st_dev == h.device &&
      named.st_ino == h.inode) {
    return named.st_size;
  }
  // Moved, deleted or not yet open. O_NONBLOCK: a FIFO without a reader refuses at once
  // instead of holding the caller. O_NOFOLLOW: a symbolic link in the file's place is refused
  // (ELOOP), so the trace never writes through it to a file somebody else chose.
  Close();
  h.fd = open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW,
              0666);
  if (h.fd < 0) return -1;
  struct stat opened {};
  if (fstat(h.fd, &opened) != 0) {
    const int error = errno;
    Close();
    errno = error;
    return -1;
  }
  h.device = opened.st_dev;
  h.inode = opened.st_ino;
  return opened.st_size;
}

bool AppendFile::Append(std::string_view text) {
  const int fd = handle_->fd;
  if (fd < 0) {
    errno = EBADF;
    return false;
  }
  while (!text.empty()) {
    const ssize_t written = write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = EIO;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void AppendFile::Close() {
  if (handle_->fd >= 0) close(handle_->fd);
  handle_->fd = -1;
}

}  // namespace molvex
