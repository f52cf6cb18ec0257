// Private to sim/.
// ecr-sim's serving loop: the virtual printer on a port (a pseudo-terminal or a serial device on
// POSIX, a COM port on Windows), and the parts of it that every platform shares.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/wire/virtual_printer.h"

namespace molvex::sim {

struct HostOptions {
  std::string link;    // create a pseudo-terminal and make this path a symlink to it (POSIX)
  std::string device;  // or serve on this existing serial device (Windows: COM1, COM2, ...)
  int baud = 0;        // wire model speed; 0: bytes pass as fast as the system moves them
  double busy_scale = 1.0;
  std::string state;    // state file, kept across restarts
  std::string paper;    // UTF-8 file that gets every printed document
  bool show = false;    // printed documents to standard output too
  std::string control;  // control file: one command a line, appended by whoever arms faults
  std::optional<LocalDateTime> fixed_clock;
  // Articles keyed in on the printer before it serves: "NUMBER,TAX,GROUP,PRICE,NAME" (UTF-8).
  std::vector<std::string> articles;
};

// "fixed:YYYY-MM-DDTHH:MM" or "system"; false when it is neither.
bool ParseClockOption(const std::string& text, std::optional<LocalDateTime>& fixed);

// The printer's clock, state file, paper and articles as the options say; false (and a
// message) when the state file is not one of this printer or an article is refused.
bool PreparePrinter(VirtualPrinter& printer, const HostOptions& options);

// Follows a file that others append command lines to (emptied at the start).
class ControlFile {
 public:
  explicit ControlFile(std::string path);
  // Applies the lines appended since the last look. The file is looked at when bytes came from
  // the host (a line written before a request applies to that request) and otherwise every
  // 50 ms, not at every byte the printer sends.
  void Poll(VirtualPrinter& printer, std::int64_t now_ns, bool bytes_came);

 private:
  std::string path_;
  std::int64_t next_look_ns_ = 0;
  long long offset_ = 0;
  std::string pending_;
};

// Pieces of the serving loop of every port:
std::int64_t HostNowNs();  // the steady clock the virtual printer runs on
// How long the loop may wait for the port: until the printer's next byte is due, at most 50 ms
// (the control file is looked at this often). In nanoseconds, and in whole milliseconds rounded
// up for ports that wait no finer.
std::int64_t WaitNs(const VirtualPrinter& printer, std::int64_t now_ns);
int WaitMs(const VirtualPrinter& printer, std::int64_t now_ns);
// The printer's bytes that are due by now, into `out` (emptied first).
void TakeDue(VirtualPrinter& printer, std::int64_t now_ns, std::vector<std::uint8_t>& out);
// The lines on the console at the start and at the end.
void AnnounceListening(const std::string& where, const HostOptions& options);
void AnnounceStopped(const VirtualPrinter& printer);

// Serves until stopped (SIGINT or SIGTERM; Ctrl+C on Windows); returns the exit code.
int RunHost(const HostOptions& options);

}  // namespace molvex::sim
