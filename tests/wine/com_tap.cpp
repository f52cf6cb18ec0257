// A recording tap on a serial line, for the end-to-end runs: it offers a new pseudo-terminal at
// LINK, relays every byte between it and DEVICE (the virtual printer's terminal) and appends
// the bytes that go towards DEVICE to LOG, so that a test can see exactly what the host sent.
// Usage: com_tap LINK DEVICE LOG        (runs until SIGINT or SIGTERM; removes LINK on exit)
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

volatile std::sig_atomic_t stop = 0;
void OnSignal(int) {
  stop = 1;
}

bool MakeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool WriteAll(int fd, const char* data, ssize_t n) {
  while (n > 0) {
    const ssize_t w = write(fd, data, static_cast<size_t>(n));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    data += w;
    n -= w;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: com_tap LINK DEVICE LOG\n");
    return 2;
  }
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 1;
  const char* slaveName = ptsname(master);
  // Our own slave descriptor keeps the master readable while the host has the port closed.
  const int slave = slaveName != nullptr ? open(slaveName, O_RDWR | O_NOCTTY) : -1;
  const int device = open(argv[2], O_RDWR | O_NOCTTY);
  const int log = open(argv[3], O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (slave < 0 || device < 0 || log < 0 || !MakeRaw(slave) || !MakeRaw(device)) {
    std::perror("com_tap");
    return 1;
  }
  unlink(argv[1]);
  if (symlink(slaveName, argv[1]) != 0) {
    std::perror("com_tap: symlink");
    return 1;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::printf("com_tap: %s -> %s, host bytes to %s\n", argv[1], argv[2], argv[3]);
  std::fflush(stdout);

  char buffer[4096];
  while (!stop) {
    pollfd fds[2] = {{master, POLLIN, 0}, {device, POLLIN, 0}};
    if (poll(fds, 2, 200) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents & POLLIN) {
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n > 0 && !(WriteAll(device, buffer, n) && WriteAll(log, buffer, n))) break;
    }
    if (fds[1].revents & POLLIN) {
      const ssize_t n = read(device, buffer, sizeof buffer);
      if (n > 0 && !WriteAll(master, buffer, n)) break;
    }
    if ((fds[1].revents & (POLLHUP | POLLERR)) && !(fds[1].revents & POLLIN)) break;
  }
  unlink(argv[1]);
  return 0;
}
