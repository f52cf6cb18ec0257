// The virtual printer on the wire: request bytes in, reply bytes out, each byte with the moment
// it is due. Wraps the Device with frame parsing, busy times, SYN while busy, the wire speed
// model and the faults that tests arm.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/model/device.h"
#include "sim/wire/frame.h"

namespace molvex::sim {

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kSynIntervalNs = 60'000'000;  // one SYN every 60 ms while busy

// Faults armed for the next requests, one request each, in the order armed.
enum class Fault {
  Nak,              // answer NAK, do not execute
  BadCheck,         // execute, reply with wrong check digits
  Silence,          // no answer at all, do not execute
  Syn,              // execute, SYN for `ms` before the reply
  SynForever,       // do not execute, SYN without end (until cleared or power off)
  Garbage,          // do not execute, a text that makes no frame without end (a scale's)
  Noise,            // execute, noise bytes before the preamble
  CutFrame,         // execute, half a reply frame, then the whole frame after a new preamble
  EarlyTerminator,  // execute, a terminator in the middle of the status bytes ends the frame
  WrongTerminator,  // execute, a wrong byte where the terminator belongs
  SlowPieces,       // execute, the reply in pieces of 4 bytes, `ms` apart
  PrinterError,     // do not execute, answer with the mechanism-error status
  Stranger,         // execute, a whole frame of another sequence and command 56 before the reply
};

struct PrinterOptions {
  double busy_scale = 1.0;  // multiplies every busy time; 0 answers at once
  std::int32_t baud = 0;    // models the wire at this speed (8N1, 10 bits a byte); 0: no model
};

struct LoggedRequest {
  std::uint8_t sequence = 0;
  int command = 0;
  std::string data;
};

class VirtualPrinter {
 public:
  explicit VirtualPrinter(Clock& calendar, PrinterOptions options = {});

  // Bytes written to the printer at `now_ns` (monotonic nanoseconds).
  void Receive(const std::uint8_t* data, std::size_t size, std::int64_t now_ns);
  // When the next reply byte is due, or kNever.
  std::int64_t NextDueNs() const;
  // The next byte if it is due at `now_ns`.
  bool Take(std::int64_t now_ns, std::uint8_t& byte);
  // Drops the bytes that are already due (they sit in the host's receive buffer).
  void DiscardArrived(std::int64_t now_ns);

  void Arm(Fault fault, int count = 1, int ms = 0);
  // The fault for the next request with this command code, whatever requests come before it;
  // it goes before the faults armed for the next requests.
  void ArmFor(int command, Fault fault, int ms = 0);
  // The next reply to `command` carries exactly this data and these status bytes (sent as given);
  // the command is not executed.
  void ArmReply(int command, const std::string& data, const std::array<std::uint8_t, 6>& status);
  void ClearFaults();
  std::size_t armed() const { return faults_.size(); }

  // Power: while off nothing is received or sent; on again, the open receipt is kept or voided.
  void PowerOff();
  void PowerOn(bool keep_receipt = true);
  bool powered() const { return powered_; }

  void SetOptions(const PrinterOptions& options) { options_ = options; }
  const PrinterOptions& options() const { return options_; }

  Device& device() { return device_; }
  const std::vector<LoggedRequest>& requests() const { return requests_; }
  void ClearRequests() { requests_.clear(); }
  std::uint64_t bytes_in() const { return bytes_in_; }
  std::uint64_t bytes_out() const { return bytes_out_; }

 private:
  struct Armed {
    Fault fault;
    int ms;
  };
  struct Out {
    std::int64_t due_ns;
    std::uint8_t byte;
  };

  void Handle(const Request& request, std::int64_t at_ns);
  void Send(const std::vector<std::uint8_t>& bytes, std::int64_t at_ns, std::int64_t gap_ns = 0,
            std::size_t piece = 0);
  std::int64_t ByteNs() const;
  std::int64_t HungIntervalNs() const;

  Device device_;
  PrinterOptions options_;
  RequestParser parser_;
  std::int64_t frame_start_ns_ = 0;
  std::deque<Out> out_;
  std::int64_t line_free_ns_ = 0;
  bool hung_ = false;  // SynForever or Garbage: requests are ignored, the stream goes on
  bool garbage_ = false;
  std::size_t garbage_at_ = 0;
  std::int64_t next_hung_syn_ns_ = 0;  // the hung stream's next byte
  bool powered_ = true;
  std::deque<Armed> faults_;
  std::map<int, std::deque<Armed>> faults_for_;  // by command code
  std::map<int, std::deque<std::pair<std::string, std::array<std::uint8_t, 6>>>> replies_;
  std::vector<LoggedRequest> requests_;
  std::uint64_t bytes_in_ = 0;
  std::uint64_t bytes_out_ = 0;
};

}  // namespace molvex::sim
