// One printer transaction: frame the request, send it, wait for the reply, decode, deliver.
#include <atomic>
#include <cstring>

#include "link/frame_bytes.h"
#include "link/link_state.h"

std::atomic<std::uint8_t> LinkReady{0};
std::uint8_t SequenceCounter = 0;
std::uint8_t LinkFlags = 0;
bool ReplyEnded = false;
RetData LinkResult;

namespace link_state {

std::int32_t current_command = 0;
char request_copy[kRequestCopySize];
const PrnWatch* watch = nullptr;
bool busy_limit_passed = false;

}  // namespace link_state

namespace {

using namespace link_state;

PrnCallback stored_callback = nullptr;
PrnWindow stored_window = 0;
PrnPostMessage message_poster = nullptr;
molvex::Clock* link_clock = nullptr;
std::int32_t busy_limit_ms = kPrnBusyLimitDefaultMs;
// Held from the start of a transaction until its result is ready, so that two threads can
// never run transactions over each other even while the receiver has already set LinkReady.
std::atomic_flag transaction_running;

constexpr std::uintptr_t kLowestCallbackAddress = 0xFFFF;

std::size_t BuildFrame(std::int32_t command, const char* data, std::size_t n,
                       std::uint8_t (&frame)[kFrameBufferSize]) {
  frame[0] = kFramePreamble;
  frame[1] = static_cast<std::uint8_t>(0x20 + n + 4);
  frame[2] = static_cast<std::uint8_t>(SequenceCounter % 95 + 0x20);
  frame[3] = static_cast<std::uint8_t>(command);
  std::memcpy(frame + 4, data, n);
  frame[4 + n] = kFramePostamble;
  frame[9 + n] = kFrameTerminator;
  unsigned sum = 0;
  for (std::size_t i = 1; i <= 4 + n; ++i) sum += frame[i];
  for (std::size_t i = 0; i < 4; ++i) {  // last digit first
    frame[8 + n - i] = static_cast<std::uint8_t>((sum & 0xF) + 0x30);
    sum >>= 4;
  }
  return n + 10;
}

molvex::Clock& LinkClock() {
  return link_clock != nullptr ? *link_clock : molvex::SystemClock();
}

// Waits until the reply has ended, NAK came, or a limit passed: 50 empty reads (100 ms each) or
// kPrnSilenceMs by the clock without progress in a reply frame, or SYN past the busy limit.
// Bytes that make no frame are not progress, and neither is a frame that is given up: its time
// counts as silence, so noise, endless broken frames and replies to other requests end the wait
// like silence. SYN outside a frame is progress until the busy limit.
void WaitForReply() {
  molvex::Clock& clock = LinkClock();
  const std::int64_t started = clock.MonotonicMs();
  std::int64_t quiet_since = started;        // the last progress
  std::int64_t frame_quiet_since = started;  // as it was when the open frame began
  int frame_silent_cycles = 0;
  bool in_frame = false;
  busy_limit_passed = false;
  silent_cycles = 0;
  const auto give_up_frame = [&] {
    if (!in_frame) return;
    quiet_since = frame_quiet_since;
    silent_cycles = frame_silent_cycles;
    in_frame = false;
  };
  while (silent_cycles < kSilentCyclesLimit) {
    while (!ReplyEnded && PrnReceiveByte() == 1) {
      const std::int64_t now = clock.MonotonicMs();
      switch (receiver.effect) {
        case ByteEffect::FrameStart:  // not progress itself: only what follows it
          give_up_frame();
          frame_quiet_since = quiet_since;
          frame_silent_cycles = silent_cycles;
          in_frame = true;
          break;
        case ByteEffect::FrameByte:
          quiet_since = now;
          silent_cycles = 0;
          break;
        case ByteEffect::FrameDropped:
          give_up_frame();
          break;
        case ByteEffect::Syn:
          if (now - started >= busy_limit_ms) {
            busy_limit_passed = true;
            return;
          }
          quiet_since = now;
          silent_cycles = 0;
          break;
        case ByteEffect::Noise:
        case ByteEffect::Ended:
          break;
      }
      if (now - quiet_since >= kPrnSilenceMs) break;
    }
    // NAK, a reply that ended (or a wrong byte where its terminator belongs), or the silence.
    if (LinkReady == 1 || ReplyEnded) break;
    if (clock.MonotonicMs() - quiet_since >= kPrnSilenceMs) break;
    ++silent_cycles;
  }
}

void Deliver() {
  if (reinterpret_cast<std::uintptr_t>(stored_callback) > kLowestCallbackAddress) {
    stored_callback(LinkResult);
  } else if (message_poster != nullptr) {
    message_poster(stored_window, kPrnResultMessage, static_cast<std::uintptr_t>(current_command),
                   reinterpret_cast<std::intptr_t>(&LinkResult));
  }
}

}  // namespace

std::int32_t PrnExecuteWnd(PrnWindow window, std::int32_t tag, std::int32_t command,
                           const char* data) {
  if (data == nullptr) data = "";
  const std::size_t n = strnlen(data, kPrnMaxData + 1);
  if (n > static_cast<std::size_t>(kPrnMaxData)) return PRN_DATA_TOO_LONG;
  if (LinkReady == 0) return PRN_BUSY;
  if (transaction_running.test_and_set()) return PRN_BUSY;
  // Should the channel throw, the link must not stay busy for ever.
  struct Release {
    bool armed = true;
    ~Release() {
      if (!armed) return;
      LinkReady = 1;
      transaction_running.clear();
    }
  } release;

  std::memcpy(request_copy, data, n);
  request_copy[n] = '\0';
  current_command = command;
  LinkResult.Command = command;
  LinkResult.Tag = tag;
  ++SequenceCounter;
  LinkResult.ErrorWord = 0;
  LinkResult.FieldCount = 0;
  std::memset(receiver.status, 0, sizeof receiver.status);
  stored_window = window;

  LinkReady = 0;
  LinkFlags = 0;
  receiver.reply_data[0] = '\0';
  receiver.raw_length = 0;
  receiver.syn_bytes = 0;
  LinkResult.RawReply[0] = '\0';
  if (watch != nullptr) watch->started(command, request_copy);

  std::uint8_t frame[kFrameBufferSize];
  const std::size_t frame_length = BuildFrame(command, data, n, frame);
  channel->Flush();
  channel->Discard();
  channel->Write(frame, frame_length);  // a failed write shows up as silence

  WaitForReply();
  ReplyEnded = false;
  receiver.raw_length = 0;
  PrnDecodeReply();
  if (watch != nullptr) watch->ended(LinkResult, receiver.syn_bytes);
  LinkReady = 1;
  transaction_running.clear();
  release.armed = false;
  Deliver();
  return PRN_OK;
}

std::int32_t PrnExecuteCallback(PrnCallback callback, std::int32_t tag, std::int32_t command,
                                const char* data) {
  stored_callback = callback;
  return PrnExecuteWnd(0, tag, command, data);
}

std::int32_t PrnExecute(PrnWindow window, PrnCallback callback, std::int32_t tag,
                        std::int32_t command, const char* data) {
  if (window == 0) return PrnExecuteCallback(callback, tag, command, data);
  return PrnExecuteWnd(window, tag, command, data);
}

void LinkSetMessagePoster(PrnPostMessage poster) {
  message_poster = poster;
}

void LinkSetWatch(const PrnWatch* w) {
  watch = w;
}

void LinkSetClock(molvex::Clock* clock) {
  link_clock = clock;
}

void LinkSetBusyLimit(std::int32_t ms) {
  busy_limit_ms = ms >= 1 ? ms : kPrnBusyLimitDefaultMs;
}

void link_state::ResetTransactionState() {
  LinkReady = 0;
  SequenceCounter = 0;
  LinkFlags = 0;
  ReplyEnded = false;
  LinkResult = RetData{};
  receiver = Receiver{};
  silent_cycles = 0;
  busy_limit_passed = false;
  busy_limit_ms = kPrnBusyLimitDefaultMs;
  current_command = 0;
  request_copy[0] = '\0';
  reply_copy[0] = '\0';
  stored_callback = nullptr;
  stored_window = 0;
  transaction_running.clear();
}
