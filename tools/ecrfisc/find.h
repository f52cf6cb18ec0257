// ecrfisc --find: looks for the printer on every serial device of the machine.
//
// Each device is opened at each speed in turn (exclusively, so a port that another program holds
// is skipped and said so) and asked for its status once (command 74 "W"), with a short time-out.
// Nothing else is sent to a device that did not answer that read as the printer does; a printer
// that answered is asked for its serial number (command 90 "0", which reads and prints nothing).
// One port at one speed never takes more than a second.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace molvex::ecrfisc {

struct FindOptions {
  std::vector<std::int32_t> speeds;  // tried in this order; a device stops at the first answer
  std::string device_dir = "/dev";   // where the serial devices are looked for (POSIX)
  bool json = false;                 // one JSON object a device, then a summary object
};

// Time limits of one port at one speed: the status read waits for its reply this long; the
// serial-number read ends by the second limit. A read in progress may add its own 100 ms.
inline constexpr int kFindStatusWaitMs = 400;
inline constexpr int kFindAttemptLimitMs = 850;

// What one device gave.
struct FindResult {
  // Busy: only SYN came back (what the printer sends while it works), no reply in time.
  enum class Outcome { Printer, NoAnswer, Unavailable, InUse, Busy };
  std::string device;
  std::vector<std::int32_t> ports;
  std::string mapping;
  Outcome outcome = Outcome::NoAnswer;
  std::int32_t speed = 0;        // Printer, Busy: the speed it answered at
  std::string serial;            // Printer: its serial number (UTF-8), empty when not read
  std::uint32_t error_word = 0;  // Printer: the error word of its status reply
  std::string reason;            // Unavailable, InUse: why, in words
  std::string reason_key;        // the reason as the JSON names it
  std::int64_t ms = 0;           // time spent on the device, every speed
};

// Runs the search, prints it and returns the results (every device, in the order tried).
std::vector<FindResult> RunFind(std::ostream& out, const FindOptions& options);

}  // namespace molvex::ecrfisc
