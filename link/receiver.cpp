// The reply receiver: one byte per call, a ten-state machine over the reply frame.
#include "link/frame_bytes.h"
#include "link/link_state.h"

namespace link_state {

Receiver& receiver = Link::Process().core().receiver;

}  // namespace link_state

namespace {

using namespace link_state;

void AppendRaw(LinkCore& s, std::uint8_t b) {
  // The raw text keeps its first bytes; what does not fit is dropped.
  Receiver& r = s.receiver;
  if (r.raw_length + 1 < sizeof s.result.RawReply) {
    s.result.RawReply[r.raw_length++] = static_cast<char>(b);
    s.result.RawReply[r.raw_length] = '\0';
  }
}

void RunHandler(LinkCore& s, std::uint8_t b) {
  Receiver& r = s.receiver;
  switch (r.state) {
    case kIdle:
      if (b == kFramePreamble) r.state = kLength;
      r.running_sum = 0;
      r.header_received = false;
      break;
    case kLength:
      if (b >= 0x2B) {
        r.data_length = static_cast<std::uint8_t>(b - 0x2B);
        r.running_sum += b;
        r.state = kSequence;
      } else {
        r.state = kIdle;
      }
      break;
    case kSequence:
      if (b >= 0x20) {
        r.reply_sequence = static_cast<std::uint8_t>(b - 0x20);
        r.running_sum += b;
        r.state = kCommandByte;
      } else {
        r.state = kIdle;
      }
      break;
    case kCommandByte:
      r.reply_command = b;
      r.header_received = true;
      r.index = 0;
      r.running_sum += b;
      r.reply_data[0] = '\0';
      r.state = r.data_length > 0 ? kData : kSeparator;
      break;
    case kData:
      if (r.index < r.data_length) {
        r.reply_data[r.index++] = static_cast<char>(b);
        r.reply_data[r.index] = '\0';  // a frame cut short still leaves a proper text
        r.running_sum += b;
      }
      if (r.index == r.data_length) r.state = kSeparator;
      break;
    case kSeparator:
      if (b == kFrameSeparator) {
        r.index = 0;
        r.running_sum += kFrameSeparator;
        r.state = kStatusBytes;
      } else {
        r.state = kIdle;
      }
      break;
    case kStatusBytes:
      if (r.index < 6) {
        r.status[r.index++] = b;
        r.running_sum += b;
      }
      if (r.index == 6) r.state = kPostamble;
      break;
    case kPostamble:
      if (b == kFramePostamble) {
        r.index = 0;
        r.received_check = 0;
        r.running_sum += kFramePostamble;
        r.state = kCheckDigits;
      } else {
        r.state = kIdle;
      }
      break;
    case kCheckDigits:
      if (r.index < 4) {
        // Digits are not validated: each contributes its value less 0x30.
        r.received_check = r.received_check * 16u + (static_cast<std::uint32_t>(b) - 0x30u);
        ++r.index;
      }
      if (r.index == 4) r.state = kTerminator;
      break;
    case kTerminator:
    default:
      r.state = kIdle;
      s.reply_ended = true;
      if (b == kFrameTerminator) s.ready = 1;
      break;
  }
}

// A whole frame that answers another request: a late reply to an earlier one, or a device that
// answers with its own sequence and command.
bool AnswersAnotherRequest(const LinkCore& s) {
  const Receiver& r = s.receiver;
  return r.header_received && (r.reply_sequence != s.sequence % 95 ||
                               r.reply_command != static_cast<std::uint8_t>(s.current_command));
}

void DropFrame(LinkCore& s) {
  Receiver& r = s.receiver;
  if (watch != nullptr && watch->dropped != nullptr) {
    watch->dropped(static_cast<std::uint8_t>(r.reply_sequence + 0x20), r.reply_command,
                   r.reply_data);
  }
  r.state = kIdle;
  r.header_received = false;
  r.effect = ByteEffect::FrameDropped;
}

}  // namespace

std::int32_t link_state::ReceiveByte(LinkCore& s) {
  Receiver& r = s.receiver;
  std::uint8_t b = 0;
  const molvex::ReadStatus got = s.channel->ReadByte(b);
  if (got != molvex::ReadStatus::Byte) {
    if (got == molvex::ReadStatus::Error) {
      s.channel->ClearError();
      r.state = kIdle;
      r.header_received = false;
    }
    return 0;
  }
  r.current = b;
  if (b != kFrameSyn) {
    AppendRaw(s, b);
  } else {
    ++r.syn_bytes;
  }
  const bool in_frame = r.state != kIdle;

  // Preamble, terminator and NAK act in every state; any other byte goes to the state's handler
  // (SYN and the separators included).
  if (b == kFramePreamble) {
    r.state = kIdle;
    RunHandler(s, b);
    r.effect = ByteEffect::FrameStart;
  } else if (b == kFrameTerminator) {
    if (AnswersAnotherRequest(s)) {
      DropFrame(s);
      return 1;
    }
    if (r.state != kTerminator) s.flags = 8;
    r.state = kTerminator;
    RunHandler(s, b);
    r.effect = ByteEffect::Ended;
  } else if (b == kFrameNak) {
    r.state = kIdle;
    s.flags = 4;
    s.ready = 1;
    r.effect = ByteEffect::Ended;
  } else {
    RunHandler(s, b);
    if (s.reply_ended) {
      r.effect = ByteEffect::Ended;
    } else if (r.state != kIdle) {
      r.effect = ByteEffect::FrameByte;
    } else if (in_frame) {
      r.effect = ByteEffect::FrameDropped;
    } else {
      r.effect = b == kFrameSyn ? ByteEffect::Syn : ByteEffect::Noise;
    }
  }
  return 1;
}
