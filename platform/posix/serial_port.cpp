// The POSIX serial port: a tty in raw 8N1 at the caller's speed, used exclusively.
//
// Reads wait with poll() for at most 100 ms and then take one byte without blocking. poll()
// was chosen over VMIN 0 / VTIME 1 because it tells a time-out (nothing arrived) from a line
// that hung up (POLLHUP, or a read that returns end of file), which VTIME reports alike.
//
// Exclusive use: TIOCEXCL makes any further open() of the tty fail with EBUSY, but Linux lets a
// privileged process through regardless. An exclusive flock() on the descriptor is honoured for
// every user, so a second open through this port (in this or another process) fails either way.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/byte_channel.h"
#include "platform/posix/serial_device.h"
#include "platform/serial_ports.h"

namespace molvex {

namespace {

constexpr int kReadTimeoutMs = 100;

std::int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Waits until the descriptor is ready for `events` or `timeout_ms` passed; returns the revents
// (0 on time-out, -1 on failure). Interrupted waits resume with the time that is left.
int WaitFor(int fd, short events, int timeout_ms) {
  const std::int64_t deadline = NowMs() + timeout_ms;
  for (;;) {
    pollfd entry{fd, events, 0};
    const std::int64_t left = deadline - NowMs();
    const int ready = poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
    if (ready > 0) return entry.revents;
    if (ready == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

bool ConfigureLine(int fd, speed_t speed) {
  termios line{};
  if (tcgetattr(fd, &line) != 0) return false;
  cfmakeraw(&line);
  line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  line.c_cflag |= CS8 | CLOCAL | CREAD;
  line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  // Reads are paced by poll(); a read itself returns at once with what is there.
  line.c_cc[VMIN] = 0;
  line.c_cc[VTIME] = 0;
  if (cfsetispeed(&line, speed) != 0 || cfsetospeed(&line, speed) != 0) return false;
  return tcsetattr(fd, TCSANOW, &line) == 0;
}

class PosixSerialPort final : public ByteChannel {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override { Release(); }
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // Taken by an open of the factory until Close hands it back (read by other threads' opens).
  bool TryTake() { return !held_.exchange(true); }
  void HandBack() { held_ = false; }

  // Opens, locks and sets up the device; on failure `error` says why (errno of the failed step).
  bool Open(const std::string& device, speed_t speed, PortOpenError& error) {
    int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      DescribeOpenFailure(device, errno, error);
      return false;
    }
    // Keep the standard descriptors free, so that the handle is never 0, 1 or 2.
    if (fd < 3) {
      const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
      const int err = errno;
      close(fd);
      if (moved < 0) {
        DescribeOpenFailure(device, err, error);
        return false;
      }
      fd = moved;
    }
    const bool ready = flock(fd, LOCK_EX | LOCK_NB) == 0 && ioctl(fd, TIOCEXCL) == 0 &&
                       ConfigureLine(fd, speed) && tcflush(fd, TCIOFLUSH) == 0;
    if (!ready) {
      const int err = errno;
      close(fd);  // releases the lock as well
      DescribeOpenFailure(device, err, error);
      return false;
    }
    fd_ = fd;
    return true;
  }

  bool Write(const std::uint8_t* data, std::size_t size) override {
    if (fd_ < 0) return false;
    const std::int64_t deadline = NowMs() + kPortWriteTimeoutMs;
    std::size_t done = 0;
    while (done < size) {
      const ssize_t written = write(fd_, data + done, size - done);
      if (written > 0) {
        done += static_cast<std::size_t>(written);
        continue;
      }
      if (written < 0 && errno == EINTR) continue;
      if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
      const std::int64_t left = deadline - NowMs();
      if (left <= 0) return false;
      const int ready = WaitFor(fd_, POLLOUT, static_cast<int>(left));
      if (ready < 0 || (ready & (POLLERR | POLLHUP | POLLNVAL)) != 0) return false;
    }
    return true;
  }

  void Flush() override {
    if (fd_ >= 0) tcdrain(fd_);
  }

  void Discard() override {
    if (fd_ >= 0) tcflush(fd_, TCIOFLUSH);
    pending_ = taken_ = 0;
  }

  // One byte a call, as the receiver wants them; underneath, one read takes whatever has
  // arrived, so that a reply that came in a burst costs one system call, not two a byte.
  ReadStatus ReadByte(std::uint8_t& byte) override {
    if (fd_ < 0) return ReadStatus::Error;
    if (taken_ < pending_) {
      byte = buffer_[taken_++];
      return ReadStatus::Byte;
    }
    const int ready = WaitFor(fd_, POLLIN, kReadTimeoutMs);
    if (ready < 0 || (ready & (POLLERR | POLLNVAL)) != 0) return ReadStatus::Error;
    if (ready == 0) return ReadStatus::Timeout;
    for (;;) {
      const ssize_t got = read(fd_, buffer_, sizeof buffer_);
      if (got > 0) {
        pending_ = static_cast<std::size_t>(got);
        taken_ = 1;
        byte = buffer_[0];
        return ReadStatus::Byte;
      }
      if (got < 0 && errno == EINTR) continue;
      // Readable but nothing to read: the line hung up (end of file) or the read failed.
      if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && (ready & POLLHUP) == 0) {
        return ReadStatus::Timeout;
      }
      return ReadStatus::Error;
    }
  }

  // A tty keeps no error state that a read leaves behind (raw mode passes framing and parity
  // errors on as data), so there is nothing to re-arm; a hung-up line stays failed until the
  // port is opened again.
  void ClearError() override {}

  void Close() override { Release(); }

  std::int32_t Handle() const override { return fd_; }

 private:
  void Release() {
    if (fd_ < 0) return;
    tcdrain(fd_);
    tcflush(fd_, TCIOFLUSH);
    close(fd_);  // the exclusive use ends with the last descriptor of the tty
    fd_ = -1;
    pending_ = taken_ = 0;
    HandBack();
  }

  int fd_ = -1;
  std::uint8_t buffer_[256] = {};  // bytes read from the line and not yet handed out
  std::size_t pending_ = 0;
  std::size_t taken_ = 0;
  std::atomic<bool> held_{false};
};

// Opens `device` into `port` at `baud`; false and `error` filled when it cannot.
bool OpenInto(PosixSerialPort& port, const std::string& device, std::int32_t baud,
              PortOpenError& error) {
  unsigned speed = 0;
  if (!SerialSpeedFor(baud, speed)) {
    error.device = device;
    error.reason = PortFailure::BadSpeed;
    error.system_code = EINVAL;
    error.system_text = "no line speed " + std::to_string(baud);
    return false;
  }
  return port.Open(device, static_cast<speed_t>(speed), error);
}

// Each open gets a port of its own, so that one process can drive several printers, each link
// on its own device; a link closes its port before it opens another. A closed port is used
// again by a later open. Opens from several threads are serialised; why an open failed is kept
// for the thread that asked.
class PosixSerialPorts final : public PortFactory {
 public:
  ByteChannel* Open(std::int32_t port, std::int32_t baud) override {
    PortOpenError& error = LastError();
    error = PortOpenError{};
    const PortDevice device = SerialPortDevice(port);
    if (device.path.empty()) {
      error.reason = PortFailure::NoSuchDevice;
      error.system_code = ENOENT;
      error.system_text = "port numbers start at 1";
      return nullptr;
    }
    const std::lock_guard<std::mutex> hold(mutex_);
    PosixSerialPort* free_port = nullptr;
    for (const auto& p : ports_) {
      if (p->TryTake()) {
        free_port = p.get();
        break;
      }
    }
    if (free_port == nullptr) {
      free_port = ports_.emplace_back(new PosixSerialPort).get();
      free_port->TryTake();
    }
    const bool opened = OpenInto(*free_port, device.path, baud, error);
    error.mapping = device.mapping;
    if (!opened) free_port->HandBack();
    return opened ? free_port : nullptr;
  }

  PortOpenError LastOpenError() const override { return LastError(); }

 private:
  static PortOpenError& LastError() {
    thread_local PortOpenError error;
    return error;
  }

  std::mutex mutex_;
  std::vector<std::unique_ptr<PosixSerialPort>> ports_;
};

}  // namespace

PortFactory& SerialPortFactory() {
  static PosixSerialPorts ports;
  return ports;
}

std::unique_ptr<ByteChannel> OpenSerialDevice(const std::string& device, std::int32_t baud,
                                              PortOpenError& error) {
  error = PortOpenError{};
  auto port = std::make_unique<PosixSerialPort>();
  if (!OpenInto(*port, device, baud, error)) return nullptr;
  return port;
}

}  // namespace molvex
