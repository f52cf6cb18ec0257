// Private to link/.
// The state of a Link, shared by its transaction, receiver and decoder (internal to the link).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "link/link.h"

namespace link_state {

constexpr std::size_t kFrameBufferSize = 96;
constexpr std::size_t kRequestCopySize = 192;
constexpr std::size_t kReplyBufferSize = 300;  // the longest reply data is 212 bytes
constexpr int kSilentCyclesLimit = 50;

// Receiver states, in the order a reply frame passes them.
enum ReceiverStateNumber : int {
  kIdle = 0,
  kLength = 1,
  kSequence = 2,
  kCommandByte = 3,
  kData = 4,
  kSeparator = 5,
  kStatusBytes = 6,
  kPostamble = 7,
  kCheckDigits = 8,
  kTerminator = 9,
};

// What the last byte read did to the reply (the wait's limits depend on it).
enum class ByteEffect : std::uint8_t {
  Noise,         // no frame began or went on: the byte is not progress
  Syn,           // SYN outside a frame: the printer is busy
  FrameStart,    // a preamble: a frame begins (an open one is given up)
  FrameByte,     // the open frame went on
  FrameDropped,  // the open frame was given up: broken, or the answer to another request
  Ended,         // the reply ended (terminator, a wrong byte in its place, or NAK)
};

struct Receiver {
  int state = kIdle;
  std::uint8_t current = 0;
  std::uint8_t index = 0;
  std::uint8_t data_length = 0;
  std::uint8_t reply_sequence = 0;
  std::uint8_t reply_command = 0;
  char reply_data[kReplyBufferSize] = {};
  std::uint8_t status[6] = {};
  std::uint32_t running_sum = 0;
  std::uint32_t received_check = 0;
  std::size_t raw_length = 0;    // bytes kept in LinkResult.RawReply
  std::uint32_t syn_bytes = 0;   // SYN bytes read during the transaction
  bool header_received = false;  // the open frame's sequence and command bytes are in
  ByteEffect effect = ByteEffect::Noise;
};

// Everything one Link owns: the port's channel, the receiver, the counters and flags, the
// result record and the copies of request and reply.
struct LinkCore {
  std::atomic<std::uint8_t> ready{0};  // 1: a transaction may start
  std::uint8_t sequence = 0;           // incremented at the start of every transaction
  std::uint8_t flags = 0;              // 4 NAK, 8 terminator out of place, +1 check mismatch
  bool reply_ended = false;            // the receiver passed the terminator state
  RetData result{};
  Receiver receiver;
  int silent_cycles = 0;
  std::int32_t current_command = 0;
  char request_copy[kRequestCopySize] = {};
  char reply_copy[kReplyBufferSize] = {};
  bool busy_limit_passed = false;  // the transaction ended on SYN past the busy limit
  molvex::ByteChannel* channel;    // never null: a dead channel stands in when no port is open
  molvex::PortFactory* port_factory = nullptr;  // nullptr: the platform serial ports
  PrnCallback stored_callback = nullptr;
  PrnWindow stored_window = 0;
  molvex::Clock* clock = nullptr;  // nullptr: the system clock
  std::int32_t busy_limit_ms = kPrnBusyLimitDefaultMs;
  // Held from the start of a transaction until its result is ready, so that two threads can
  // never run transactions over each other even while the receiver has already set `ready`.
  std::atomic_flag transaction_running;

  LinkCore();
};

// The receiver and the decoder of one link (driven by its transaction).
std::int32_t ReceiveByte(LinkCore& link);
void DecodeReply(LinkCore& link);

// Who watches the transactions of every link of the process (the protocol trace).
extern const PrnWatch* watch;

// The process link's receiver and reply copy (its fuzzers check where the fields point).
extern Receiver& receiver;
extern char (&reply_copy)[kReplyBufferSize];

// The channel that stands in for a port that is closed or failed to open: reads fail at once.
molvex::ByteChannel& DeadChannel();

// Back to the transaction state of a fresh link.
void ResetTransactionState(LinkCore& link);

}  // namespace link_state
