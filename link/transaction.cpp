// One printer transaction: frame the request, send it, wait for the reply, decode, deliver.
#include <atomic>
#include <cstring>

#include "link/frame_bytes.h"
#include "link/link_state.h"

std::atomic<std::uint8_t>& LinkReady = Link::Process().core().ready;
std::uint8_t& SequenceCounter = Link::Process().core().sequence;
std::uint8_t& LinkFlags = Link::Process().core().flags;
bool& ReplyEnded = Link::Process().core().reply_ended;
RetData& LinkResult = Link::Process().core().result;

namespace link_state {

const PrnWatch* watch = nullptr;

}  // namespace link_state

namespace {

using link_state::ByteEffect;
using link_state::kFrameBufferSize;
using link_state::LinkCore;

PrnPostMessage message_poster = nullptr;

constexpr std::uintptr_t kLowestCallbackAddress = 0xFFFF;

std::size_t BuildFrame(std::uint8_t sequence, std::int32_t command, const char* data, std::size_t n,
                       std::uint8_t (&frame)[kFrameBufferSize]) {
  frame[0] = kFramePreamble;
  frame[1] = static_cast<std::uint8_t>(0x20 + n + 4);
  frame[2] = static_cast<std::uint8_t>(sequence % 95 + 0x20);
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

// Waits until the reply has ended, NAK came, or a limit passed: 50 empty reads (100 ms each) or
// kPrnSilenceMs by the clock without progress in a reply frame, or SYN past the busy limit.
// Bytes that make no frame are not progress, and neither is a frame that is given up: its time
// counts as silence, so noise, endless broken frames and replies to other requests end the wait
// like silence. SYN outside a frame is progress until the busy limit.
void WaitForReply(LinkCore& s) {
  molvex::Clock& clock = s.clock != nullptr ? *s.clock : molvex::SystemClock();
  const std::int64_t started = clock.MonotonicMs();
  std::int64_t quiet_since = started;        // the last progress
  std::int64_t frame_quiet_since = started;  // as it was when the open frame began
  int frame_silent_cycles = 0;
  bool in_frame = false;
  s.busy_limit_passed = false;
  s.silent_cycles = 0;
  const auto give_up_frame = [&] {
    if (!in_frame) return;
    quiet_since = frame_quiet_since;
    s.silent_cycles = frame_silent_cycles;
    in_frame = false;
  };
  while (s.silent_cycles < link_state::kSilentCyclesLimit) {
    while (!s.reply_ended && link_state::ReceiveByte(s) == 1) {
      const std::int64_t now = clock.MonotonicMs();
      switch (s.receiver.effect) {
        case ByteEffect::FrameStart:  // not progress itself: only what follows it
          give_up_frame();
          frame_quiet_since = quiet_since;
          frame_silent_cycles = s.silent_cycles;
          in_frame = true;
          break;
        case ByteEffect::FrameByte:
          quiet_since = now;
          s.silent_cycles = 0;
          break;
        case ByteEffect::FrameDropped:
          give_up_frame();
          break;
        case ByteEffect::Syn:
          if (now - started >= s.busy_limit_ms) {
            s.busy_limit_passed = true;
            return;
          }
          quiet_since = now;
          s.silent_cycles = 0;
          break;
        case ByteEffect::Noise:
        case ByteEffect::Ended:
          break;
      }
      if (now - quiet_since >= kPrnSilenceMs) break;
    }
    // NAK, a reply that ended (or a wrong byte where its terminator belongs), or the silence.
    if (s.ready == 1 || s.reply_ended) break;
    if (clock.MonotonicMs() - quiet_since >= kPrnSilenceMs) break;
    ++s.silent_cycles;
  }
}

void Deliver(LinkCore& s) {
  if (reinterpret_cast<std::uintptr_t>(s.stored_callback) > kLowestCallbackAddress) {
    s.stored_callback(s.result);
  } else if (message_poster != nullptr) {
    message_poster(s.stored_window, kPrnResultMessage,
                   static_cast<std::uintptr_t>(s.current_command),
                   reinterpret_cast<std::intptr_t>(&s.result));
  }
}

}  // namespace

std::int32_t Link::Run(PrnWindow window, std::int32_t tag, std::int32_t command, const char* data,
                       std::size_t n, bool deliver) {
  LinkCore& s = *core_;
  if (s.ready == 0) return PRN_BUSY;
  if (s.transaction_running.test_and_set()) return PRN_BUSY;
  // Should the channel throw, the link must not stay busy for ever.
  struct Release {
    LinkCore& s;
    bool armed = true;
    ~Release() {
      if (!armed) return;
      s.ready = 1;
      s.transaction_running.clear();
    }
  } release{s};

  std::memcpy(s.request_copy, data, n);
  s.request_copy[n] = '\0';
  s.current_command = command;
  s.result.Command = command;
  s.result.Tag = tag;
  ++s.sequence;
  s.result.ErrorWord = 0;
  s.result.FieldCount = 0;
  std::memset(s.receiver.status, 0, sizeof s.receiver.status);
  s.stored_window = window;

  s.ready = 0;
  s.flags = 0;
  s.receiver.reply_data[0] = '\0';
  s.receiver.raw_length = 0;
  s.receiver.syn_bytes = 0;
  s.result.RawReply[0] = '\0';
  const PrnWatch* const w = link_state::watch;
  if (w != nullptr) w->started(command, s.request_copy);

  std::uint8_t frame[kFrameBufferSize];
  const std::size_t frame_length = BuildFrame(s.sequence, command, data, n, frame);
  s.channel->Flush();
  s.channel->Discard();
  s.channel->Write(frame, frame_length);  // a failed write shows up as silence

  WaitForReply(s);
  s.reply_ended = false;
  s.receiver.raw_length = 0;
  link_state::DecodeReply(s);
  if (w != nullptr) w->ended(s.result, s.receiver.syn_bytes);
  s.ready = 1;
  s.transaction_running.clear();
  release.armed = false;
  if (deliver) Deliver(s);
  return PRN_OK;
}

std::int32_t Link::ExecuteWnd(PrnWindow window, std::int32_t tag, std::int32_t command,
                              const char* data) {
  if (data == nullptr) data = "";
  const std::size_t n = strnlen(data, kPrnMaxData + 1);
  if (n > static_cast<std::size_t>(kPrnMaxData)) return PRN_DATA_TOO_LONG;
  return Run(window, tag, command, data, n, true);
}

std::int32_t Link::ExecuteCallback(PrnCallback callback, std::int32_t tag, std::int32_t command,
                                   const char* data) {
  core_->stored_callback = callback;
  return ExecuteWnd(0, tag, command, data);
}

std::int32_t Link::Execute(PrnWindow window, PrnCallback callback, std::int32_t tag,
                           std::int32_t command, const char* data) {
  if (window == 0) return ExecuteCallback(callback, tag, command, data);
  return ExecuteWnd(window, tag, command, data);
}

std::int32_t Link::Transact(const PrnRequest& request) {
  const std::int32_t refused = request.Refusal();
  if (refused != PRN_OK) return refused;
  if (request.length > static_cast<std::size_t>(kPrnMaxData)) return PRN_DATA_TOO_LONG;
  return Run(0, 0, request.command, request.data, request.length, false);
}

std::int32_t Link::Transact(std::int32_t command, const char* data) {
  if (data == nullptr) data = "";
  const std::size_t n = strnlen(data, kPrnMaxData + 1);
  if (n > static_cast<std::size_t>(kPrnMaxData)) return PRN_DATA_TOO_LONG;
  return Run(0, 0, command, data, n, false);
}

const RetData& Link::Result() const {
  return core_->result;
}

void Link::SetClock(molvex::Clock* clock) {
  core_->clock = clock;
}

void Link::SetBusyLimit(std::int32_t ms) {
  core_->busy_limit_ms = ms >= 1 ? ms : kPrnBusyLimitDefaultMs;
}

std::int32_t Link::ReceiveByte() {
  return link_state::ReceiveByte(*core_);
}

void Link::DecodeReply() {
  link_state::DecodeReply(*core_);
}

std::int32_t PrnExecuteWnd(PrnWindow window, std::int32_t tag, std::int32_t command,
                           const char* data) {
  return Link::Process().ExecuteWnd(window, tag, command, data);
}

std::int32_t PrnExecuteCallback(PrnCallback callback, std::int32_t tag, std::int32_t command,
                                const char* data) {
  return Link::Process().ExecuteCallback(callback, tag, command, data);
}

std::int32_t PrnExecute(PrnWindow window, PrnCallback callback, std::int32_t tag,
                        std::int32_t command, const char* data) {
  return Link::Process().Execute(window, callback, tag, command, data);
}

std::int32_t PrnReceiveByte() {
  return Link::Process().ReceiveByte();
}

void PrnDecodeReply() {
  Link::Process().DecodeReply();
}

void LinkSetMessagePoster(PrnPostMessage poster) {
  message_poster = poster;
}

void LinkSetWatch(const PrnWatch* w) {
  link_state::watch = w;
}

void LinkSetClock(molvex::Clock* clock) {
  Link::Process().SetClock(clock);
}

void LinkSetBusyLimit(std::int32_t ms) {
  Link::Process().SetBusyLimit(ms);
}

void link_state::ResetTransactionState(LinkCore& s) {
  s.ready = 0;
  s.sequence = 0;
  s.flags = 0;
  s.reply_ended = false;
  s.result = RetData{};
  s.receiver = Receiver{};
  s.silent_cycles = 0;
  s.busy_limit_passed = false;
  s.busy_limit_ms = kPrnBusyLimitDefaultMs;
  s.current_command = 0;
  s.request_copy[0] = '\0';
  s.reply_copy[0] = '\0';
  s.stored_callback = nullptr;
  s.stored_window = 0;
  s.transaction_running.clear();
}
