// Port numbers to device names, baud rates to termios speeds, the serial devices of the machine
// and the reasons of a failed open.
#include "platform/posix/serial_device.h"

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/serial_ports.h"

extern char** environ;

namespace molvex {

namespace {

constexpr char kMappingPrefix[] = "MOLVEXECR_COM";

std::string MappingName(std::int32_t port) {
  return kMappingPrefix + std::to_string(port);
}

// The device itself, symbolic links followed; the path as given when it cannot be resolved.
std::string Resolved(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string out = real;
  std::free(real);
  return out;
}

PortFailure FailureFor(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return PortFailure::NoSuchDevice;
    case EIO:
    case ENXIO:
    case ENODEV:
      return PortFailure::NoHardware;
    case EACCES:
    case EPERM:
    case EROFS:
      return PortFailure::NoPermission;
    case EBUSY:
    case EWOULDBLOCK:
      return PortFailure::InUse;
    case ENOTTY:
    case EINVAL:
      return PortFailure::NotSerial;
    default:
      return PortFailure::Other;
  }
}

// The group whose members may read and write the device (empty when the group may not).
std::string GroupOf(const std::string& device) {
  struct stat st {};
  if (stat(device.c_str(), &st) != 0) return {};
  if ((st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) return {};
  char buffer[4096];
  group entry{};
  group* found = nullptr;
  if (getgrgid_r(st.st_gid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) {
    return std::to_string(st.st_gid);
  }
  return found->gr_name;
}

std::string ProcessName(const std::string& pid) {
  std::ifstream comm("/proc/" + pid + "/comm");
  std::string name;
  std::getline(comm, name);
  return name.empty() ? "process " + pid : name + ", process " + pid;
}

bool IsNumber(const char* text) {
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
  }
  return true;
}

// The process holding an exclusive lock on the device (/proc/locks lists the lock's owner with
// the device's MAJOR:MINOR:inode as "%02x:%02x:%lu"), or else another process with the device
// open; empty when neither is found.
std::string FindHolder(const std::string& device) {
#ifdef __linux__
  struct stat target {};
  if (stat(device.c_str(), &target) != 0) return {};
  char id[64];
  std::snprintf(id, sizeof id, "%02x:%02x:%llu", major(target.st_dev), minor(target.st_dev),
                static_cast<unsigned long long>(target.st_ino));
  const std::string self = std::to_string(getpid());
  std::ifstream locks("/proc/locks");
  for (std::string line; std::getline(locks, line);) {
    if (line.find("->") != std::string::npos) continue;  // a waiter, not the holder
    std::istringstream words(line);
    std::string word;
    std::string previous;
    while (words >> word) {
      if (word == id && IsNumber(previous.c_str()) && previous != self) {
        return ProcessName(previous);
      }
      previous = word;
    }
  }
  DIR* processes = opendir("/proc");
  if (processes == nullptr) return {};
  std::string holder;
  while (holder.empty()) {
    const dirent* process = readdir(processes);
    if (process == nullptr) break;
    if (!IsNumber(process->d_name) || self == process->d_name) continue;
    const std::string fds = std::string("/proc/") + process->d_name + "/fd";
    DIR* list = opendir(fds.c_str());
    if (list == nullptr) continue;  // gone, or not ours to look at
    while (const dirent* fd = readdir(list)) {
      struct stat st {};
      if (IsNumber(fd->d_name) && stat((fds + "/" + fd->d_name).c_str(), &st) == 0 &&
          S_ISCHR(st.st_mode) && st.st_rdev == target.st_rdev) {
        holder = ProcessName(process->d_name);
        break;
      }
    }
    closedir(list);
  }
  closedir(processes);
  return holder;
#else
  (void)device;
  return {};
#endif
}

// The family and number of a serial device's name ("ttyUSB3": family 1, number 3); false for
// other names.
bool SerialName(const char* name, int& family, int& number) {
  static constexpr const char* kFamilies[] = {"ttyS", "ttyUSB", "ttyACM"};
  for (int f = 0; f < 3; ++f) {
    const std::size_t n = std::strlen(kFamilies[f]);
    if (std::strncmp(name, kFamilies[f], n) != 0 || !IsNumber(name + n)) continue;
    const char* digits = name + n;
    const auto parsed = std::from_chars(digits, digits + std::strlen(digits), number);
    if (parsed.ec != std::errc()) return false;
    family = f;
    return true;
  }
  return false;
}

}  // namespace

PortDevice SerialPortDevice(std::int32_t port) {
  if (port < 1) return {};
  const std::string variable = MappingName(port);
  const char* chosen = std::getenv(variable.c_str());
  if (chosen != nullptr && chosen[0] != '\0') return {chosen, variable};
  return {"/dev/ttyS" + std::to_string(static_cast<std::int64_t>(port) - 1), {}};
}

std::string SerialDevicePath(std::int32_t port) {
  return SerialPortDevice(port).path;
}

bool SerialSpeedFor(std::int32_t baud, unsigned& speed) {
  struct Rate {
    std::int32_t baud;
    speed_t speed;
  };
  static constexpr Rate kRates[] = {
      {50, B50},         {75, B75},     {110, B110},   {134, B134},     {150, B150},
      {200, B200},       {300, B300},   {600, B600},   {1200, B1200},   {1800, B1800},
      {2400, B2400},     {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400},
#ifdef B57600
      {57600, B57600},
#endif
#ifdef B115200
      {115200, B115200},
#endif
#ifdef B230400
      {230400, B230400},
#endif
#ifdef B460800
      {460800, B460800},
#endif
#ifdef B921600
      {921600, B921600},
#endif
  };
  for (const Rate& rate : kRates) {
    if (rate.baud == baud) {
      speed = static_cast<unsigned>(rate.speed);
      return true;
    }
  }
  return false;
}

void DescribeOpenFailure(const std::string& device, int err, PortOpenError& error) {
  error.device = device;
  error.reason = FailureFor(err);
  error.system_code = err;
  error.system_text = std::strerror(err);
  if (error.reason == PortFailure::NoPermission) error.group = GroupOf(device);
  if (error.reason == PortFailure::InUse) error.holder = FindHolder(device);
}

std::vector<SerialDeviceEntry> ListSerialDevices(const std::string& dir) {
  struct Found {
    std::string path;
    std::string device;  // resolved
    int family;          // 0 mapping, 1 ttyS, 2 ttyUSB, 3 ttyACM
    int number;
  };
  std::vector<Found> found;
  std::vector<std::int32_t> numbers;  // every port number that may name one of them

  const std::size_t prefix = std::strlen(kMappingPrefix);
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const char* text = *entry;
    if (std::strncmp(text, kMappingPrefix, prefix) != 0) continue;
    const char* digits = text + prefix;
    std::int32_t port = 0;
    const auto parsed = std::from_chars(digits, digits + std::strlen(digits), port);
    if (parsed.ec != std::errc() || parsed.ptr == digits || *parsed.ptr != '=' || port < 1) {
      continue;
    }
    const PortDevice named = SerialPortDevice(port);
    if (named.mapping.empty()) continue;  // set but empty: the port has its default device
    found.push_back({named.path, Resolved(named.path), 0, port});
    numbers.push_back(port);
  }
  if (DIR* folder = opendir(dir.c_str())) {
    while (const dirent* entry = readdir(folder)) {
      int family = 0;
      int number = 0;
      if (!SerialName(entry->d_name, family, number)) continue;
      const std::string path = (dir.empty() || dir.back() == '/' ? dir : dir + "/") + entry->d_name;
      found.push_back({path, Resolved(path), family + 1, number});
      if (family == 0 && number < INT32_MAX) numbers.push_back(number + 1);
    }
    closedir(folder);
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.family != b.family ? a.family < b.family : a.number < b.number;
  });
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());

  // The device each port number names, resolved once.
  struct Numbered {
    std::int32_t number;
    std::string device;
    std::string mapping;
  };
  std::vector<Numbered> numbered;
  numbered.reserve(numbers.size());
  for (const std::int32_t n : numbers) {
    PortDevice named = SerialPortDevice(n);
    numbered.push_back({n, Resolved(named.path), std::move(named.mapping)});
  }

  std::vector<SerialDeviceEntry> out;
  std::vector<std::string> seen;
  for (const Found& f : found) {
    if (std::find(seen.begin(), seen.end(), f.device) != seen.end()) continue;
    seen.push_back(f.device);
    SerialDeviceEntry entry{f.path, {}, {}};
    for (const Numbered& n : numbered) {
      if (n.device != f.device) continue;
      if (entry.ports.empty()) entry.mapping = n.mapping;
      entry.ports.push_back(n.number);
    }
    out.push_back(std::move(entry));
  }
  // Devices with a port number first, by their number; the others in the order found.
  std::stable_sort(out.begin(), out.end(),
                   [](const SerialDeviceEntry& a, const SerialDeviceEntry& b) {
                     if (a.ports.empty() != b.ports.empty()) return !a.ports.empty();
                     return !a.ports.empty() && a.ports.front() < b.ports.front();
                   });
  return out;
}

}  // namespace molvex
