// Private to link/.
// State shared by the transaction, the receiver and the decoder (internal to the link).
#pragma once

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

extern Receiver receiver;
extern int silent_cycles;
extern std::int32_t current_command;
extern char request_copy[kRequestCopySize];
extern char reply_copy[kReplyBufferSize];
extern const PrnWatch* watch;
extern bool busy_limit_passed;        // the transaction ended on SYN past the busy limit
extern molvex::ByteChannel* channel;  // never null: a dead channel stands in when no port is open

// The channel that stands in for a port that is closed or failed to open: reads fail at once.
molvex::ByteChannel& DeadChannel();

// Back to the transaction state of a fresh process.
void ResetTransactionState();

}  // namespace link_state
