// ecr-sim on POSIX: the virtual printer on a pseudo-terminal or a serial device.
#include "sim/host/host.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "platform/posix/serial_device.h"
#include "sim/wire/virtual_printer.h"

namespace molvex::sim {

namespace {
volatile std::sig_atomic_t stop_requested = 0;

void OnStopSignal(int) {
  stop_requested = 1;
}

bool MakeRaw(int fd, int baud) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (baud > 0) {
    unsigned speed = 0;
    if (!SerialSpeedFor(baud, speed)) speed = B115200;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
  }
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

struct Port {
  int fd = -1;
  int slave_fd = -1;  // kept open so that the master never reads EIO while no client is there
  std::string where;
};

bool OpenPseudoTerminal(const std::string& link, Port& port) {
  port.fd = posix_openpt(O_RDWR | O_NOCTTY);
  if (port.fd < 0 || grantpt(port.fd) != 0 || unlockpt(port.fd) != 0) return false;
  const char* slave = ptsname(port.fd);
  if (slave == nullptr) return false;
  const std::string slave_name = slave;
  port.slave_fd = open(slave_name.c_str(), O_RDWR | O_NOCTTY);
  if (port.slave_fd < 0 || !MakeRaw(port.slave_fd, 0)) return false;
  struct stat st {};
  if (lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      std::fprintf(stderr, "ecr-sim: %s exists and is not a symlink\n", link.c_str());
      return false;
    }
    unlink(link.c_str());
  }
  if (symlink(slave_name.c_str(), link.c_str()) != 0) {
    std::fprintf(stderr, "ecr-sim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
    return false;
  }
  port.where = link + " -> " + slave_name;
  return true;
}

// A pseudo-terminal carries bytes at any speed. A printer modelled at `baud` hears a client that
// set another speed as noise on a real line; such bytes are dropped, so the client's request
// goes unanswered as it would there.
bool ClientAtSpeed(int slave_fd, int baud) {
  unsigned expected = 0;
  termios t{};
  if (!SerialSpeedFor(baud, expected) || tcgetattr(slave_fd, &t) != 0) return true;
  return cfgetospeed(&t) == static_cast<speed_t>(expected);
}

bool OpenDevice(const std::string& path, int baud, Port& port) {
  port.fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (port.fd < 0 || !MakeRaw(port.fd, baud)) return false;
  port.where = path;
  return true;
}
}  // namespace

int RunHost(const HostOptions& options) {
  VirtualPrinter printer(SystemClock(), PrinterOptions{options.busy_scale, options.baud});
  if (!PreparePrinter(printer, options)) return 1;

  Port port;
  const bool opened = !options.link.empty() ? OpenPseudoTerminal(options.link, port)
                                            : OpenDevice(options.device, options.baud, port);
  if (!opened) {
    std::fprintf(stderr, "ecr-sim: cannot open the port: %s\n", std::strerror(errno));
    return 1;
  }
  fcntl(port.fd, F_SETFL, fcntl(port.fd, F_GETFL) | O_NONBLOCK);

#ifdef __linux__
  // Timers of this thread fire on time, not up to 50 us later (the default slack).
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  ControlFile control(options.control);
  AnnounceListening(port.where, options);

  std::uint8_t buffer[512];
  std::vector<std::uint8_t> out;
  while (stop_requested == 0) {
    // Waits to the nanosecond: a reply byte leaves when its wire time says, not at the next
    // millisecond.
    pollfd p{port.fd, POLLIN, 0};
    const std::int64_t wait_ns = WaitNs(printer, HostNowNs());
    const timespec wait{static_cast<time_t>(wait_ns / 1'000'000'000),
                        static_cast<long>(wait_ns % 1'000'000'000)};
    const int ready = ppoll(&p, 1, &wait, nullptr);
    const std::int64_t now = HostNowNs();
    control.Poll(printer, now, ready > 0);
    if (ready > 0 && (p.revents & POLLIN) != 0) {
      const ssize_t n = read(port.fd, buffer, sizeof buffer);
      const bool heard =
          port.slave_fd < 0 || options.baud <= 0 || ClientAtSpeed(port.slave_fd, options.baud);
      if (n > 0 && heard) printer.Receive(buffer, static_cast<std::size_t>(n), now);
    }
    TakeDue(printer, now, out);
    std::size_t sent = 0;
    while (sent < out.size() && stop_requested == 0) {
      const ssize_t w = write(port.fd, out.data() + sent, out.size() - sent);
      if (w > 0) {
        sent += static_cast<std::size_t>(w);
      } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
        break;
      } else {
        pollfd o{port.fd, POLLOUT, 0};
        poll(&o, 1, 10);
      }
    }
  }
  if (!options.link.empty()) unlink(options.link.c_str());
  AnnounceStopped(printer);
  return 0;
}

}  // namespace molvex::sim
