#include "tests/serial/pty_pair.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

namespace serialtest {

PtyPair::PtyPair() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
  const char* name = ptsname(master_);
  if (name == nullptr) return;
  path_ = name;
  slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
}

PtyPair::~PtyPair() {
  if (!mapped_.empty()) unsetenv(mapped_.c_str());
  if (slave_ >= 0) close(slave_);
  HangUp();
}

void PtyPair::MapAsPort(std::int32_t port) {
  mapped_ = "MOLVEXECR_COM" + std::to_string(port);
  setenv(mapped_.c_str(), path_.c_str(), 1);
}

void PtyPair::HangUp() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

bool PtyPair::Send(const std::string& bytes) const {
  return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

std::string PtyPair::ReceiveUntil(char last, int timeout_ms) const {
  std::string got;
  for (;;) {
    pollfd entry{master_, POLLIN, 0};
    if (poll(&entry, 1, timeout_ms) <= 0) return got;
    char byte = 0;
    if (read(master_, &byte, 1) != 1) return got;
    got += byte;
    if (byte == last) return got;
  }
}

bool PtyPair::WaitPending(int count, int timeout_ms) const {
  for (int waited = 0; waited <= timeout_ms; waited += 5) {
    int pending = 0;
    if (ioctl(slave_, FIONREAD, &pending) == 0 && pending >= count) return true;
    usleep(5000);
  }
  return false;
}

bool DeviceIsFree(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);
  return free;
}

int OpenDescriptorCount() {
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int count = 0;
  while (readdir(dir) != nullptr) ++count;
  closedir(dir);
  return count;
}

}  // namespace serialtest
