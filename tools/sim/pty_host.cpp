#include "tools/sim/pty_host.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "tools/sim/control.h"
#include "tools/sim/device_state.h"
#include "tools/sim/virtual_printer.h"

namespace molvex::sim {

namespace {
volatile std::sig_atomic_t stop_requested = 0;

void OnStopSignal(int) {
  stop_requested = 1;
}

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool MakeRaw(int fd, int baud) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (baud > 0) {
    speed_t speed = B115200;
    switch (baud) {
      case 1200:
        speed = B1200;
        break;
      case 2400:
        speed = B2400;
        break;
      case 4800:
        speed = B4800;
        break;
      case 9600:
        speed = B9600;
        break;
      case 19200:
        speed = B19200;
        break;
      case 38400:
        speed = B38400;
        break;
      case 57600:
        speed = B57600;
        break;
      default:
        break;
    }
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
  }
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

// Follows a file that others append lines to.
class ControlFile {
 public:
  explicit ControlFile(std::string path) : path_(std::move(path)) {
    if (!path_.empty()) std::ofstream(path_, std::ios::trunc);  // start empty
  }
  void Poll(VirtualPrinter& printer) {
    if (path_.empty()) return;
    std::ifstream in(path_, std::ios::binary);
    if (!in) return;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < offset_) offset_ = 0;  // truncated: read again from the start
    if (size == offset_) return;
    in.seekg(offset_);
    std::string chunk(static_cast<std::size_t>(size - offset_), '\0');
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    chunk.resize(static_cast<std::size_t>(in.gcount()));
    pending_ += chunk;
    offset_ += static_cast<std::streamoff>(chunk.size());
    std::size_t nl;
    while ((nl = pending_.find('\n')) != std::string::npos) {
      const std::string line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      const std::string problem = ApplyControl(printer, line);
      std::fprintf(stderr, "ecr-sim: control \"%s\"%s%s\n", line.c_str(),
                   problem.empty() ? "" : ": ", problem.c_str());
      if (line.rfind("stats", 0) == 0) {
        std::fprintf(stderr, "ecr-sim: %llu bytes in, %llu bytes out, %zu requests\n",
                     static_cast<unsigned long long>(printer.bytes_in()),
                     static_cast<unsigned long long>(printer.bytes_out()),
                     printer.requests().size());
      }
    }
    if (pending_.size() > 4096) pending_.clear();  // no line end in sight: drop it
  }

 private:
  std::string path_;
  std::streamoff offset_ = 0;
  std::string pending_;
};

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

bool OpenDevice(const std::string& path, int baud, Port& port) {
  port.fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (port.fd < 0 || !MakeRaw(port.fd, baud)) return false;
  port.where = path;
  return true;
}
}  // namespace

bool ParseClockOption(const std::string& text, std::optional<LocalDateTime>& fixed) {
  if (text == "system") {
    fixed.reset();
    return true;
  }
  LocalDateTime t{};
  char tail = 0;
  if (std::sscanf(text.c_str(), "fixed:%4d-%2d-%2dT%2d:%2d%c", &t.year, &t.month, &t.day, &t.hour,
                  &t.minute, &tail) != 5) {
    return false;
  }
  if (t.year < 2000 || t.year > 2099 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 ||
      t.hour > 23 || t.minute > 59 || t.hour < 0 || t.minute < 0) {
    return false;
  }
  fixed = t;
  return true;
}

int RunHost(const HostOptions& options) {
  VirtualPrinter printer(SystemClock(), PrinterOptions{options.busy_scale, options.baud});
  Device& device = printer.device();
  device.SetFixedTime(options.fixed_clock);
  if (!options.state.empty()) {
    std::ifstream exists(options.state);
    if (exists && !LoadState(device.state(), options.state)) {
      std::fprintf(stderr, "ecr-sim: %s is not a state file of this printer\n",
                   options.state.c_str());
      return 1;
    }
    const std::string path = options.state;
    device.SetStateChanged([&device, path] {
      if (!SaveState(device.state(), path)) {
        std::fprintf(stderr, "ecr-sim: cannot write %s\n", path.c_str());
      }
    });
  }
  const std::string paper = options.paper;
  const bool show = options.show;
  device.SetPaperSink([paper, show](const std::string& text) {
    if (!paper.empty()) {
      std::ofstream out(paper, std::ios::binary | std::ios::app);
      out << text;
    }
    if (show) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      std::fflush(stdout);
    }
  });

  Port port;
  const bool opened = !options.link.empty() ? OpenPseudoTerminal(options.link, port)
                                            : OpenDevice(options.device, options.baud, port);
  if (!opened) {
    std::fprintf(stderr, "ecr-sim: cannot open the port: %s\n", std::strerror(errno));
    return 1;
  }
  fcntl(port.fd, F_SETFL, fcntl(port.fd, F_GETFL) | O_NONBLOCK);

  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  ControlFile control(options.control);
  std::printf("ecr-sim: listening on %s (busy scale %g, %s)\n", port.where.c_str(),
              options.busy_scale,
              options.baud > 0 ? ("wire at " + std::to_string(options.baud) + " baud").c_str()
                               : "no wire model");
  std::fflush(stdout);

  std::uint8_t buffer[512];
  std::vector<std::uint8_t> out;
  while (stop_requested == 0) {
    std::int64_t now = NowNs();
    const std::int64_t due = printer.NextDueNs();
    int wait_ms = 50;  // the control file is looked at least this often
    if (due != kNever) {
      const std::int64_t ms = due <= now ? 0 : (due - now + 999'999) / 1'000'000;
      if (ms < wait_ms) wait_ms = static_cast<int>(ms);
    }
    pollfd p{port.fd, POLLIN, 0};
    const int ready = poll(&p, 1, wait_ms);
    control.Poll(printer);
    now = NowNs();
    if (ready > 0 && (p.revents & POLLIN) != 0) {
      const ssize_t n = read(port.fd, buffer, sizeof buffer);
      if (n > 0) printer.Receive(buffer, static_cast<std::size_t>(n), now);
    }
    out.clear();
    std::uint8_t b = 0;
    while (printer.Take(now, b)) out.push_back(b);
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
  std::fprintf(stderr, "ecr-sim: stopped (%llu bytes in, %llu bytes out)\n",
               static_cast<unsigned long long>(printer.bytes_in()),
               static_cast<unsigned long long>(printer.bytes_out()));
  return 0;
}

}  // namespace molvex::sim
