#include "sim/wire/virtual_printer.h"

#include <algorithm>

namespace molvex::sim {

namespace {
constexpr std::ptrdiff_t kRequestLog = 100000;  // the older half is dropped beyond this
const std::uint8_t kNoise[] = {0x00, 0xFF, 0x7F, 0x55, 0xAA, 0x10, 0x20, 0x99};
// What a scale on the printer's port sends over and over.
constexpr char kGarbage[] = "GARBAGE 12.50 kg\r\n";
constexpr std::int64_t kGarbageMinIntervalNs = 1'000'000;  // at least 1 ms: a fake clock moves
}  // namespace

VirtualPrinter::VirtualPrinter(Clock& calendar, PrinterOptions options)
    : device_(calendar), options_(options) {}

std::int64_t VirtualPrinter::ByteNs() const {
  return options_.baud > 0 ? 10'000'000'000LL / options_.baud : 0;
}

std::int64_t VirtualPrinter::HungIntervalNs() const {
  return garbage_ ? std::max(ByteNs(), kGarbageMinIntervalNs) : kSynIntervalNs;
}

void VirtualPrinter::Receive(const std::uint8_t* data, std::size_t size, std::int64_t now_ns) {
  for (std::size_t i = 0; i < size; ++i) {
    ++bytes_in_;
    if (!powered_) continue;
    const std::uint8_t byte = data[i];
    if (byte == kPreamble) frame_start_ns_ = now_ns;
    const RequestParser::Result result = parser_.Feed(byte);
    if (result == RequestParser::Result::None) continue;
    // A request is complete no sooner than its own wire time after its first byte.
    const std::int64_t wire = static_cast<std::int64_t>(parser_.frame_size()) * ByteNs();
    const std::int64_t at = std::max(now_ns, frame_start_ns_ + wire);
    if (result == RequestParser::Result::BadFrame) {
      if (!hung_) Send({kNak}, at);
    } else {
      Handle(parser_.request(), at);
    }
  }
}

void VirtualPrinter::Handle(const Request& request, std::int64_t at) {
  requests_.push_back(LoggedRequest{request.sequence, request.command, request.data});
  if (static_cast<std::ptrdiff_t>(requests_.size()) > kRequestLog) {  // keep the newer half
    requests_.erase(requests_.begin(), requests_.begin() + kRequestLog / 2);
  }
  if (hung_) return;

  Armed armed{Fault::Noise, -1};  // ms -1: nothing armed
  auto for_command = faults_for_.find(request.command);
  if (for_command != faults_for_.end() && !for_command->second.empty()) {
    armed = for_command->second.front();
    for_command->second.pop_front();
  } else if (!faults_.empty()) {
    armed = faults_.front();
    faults_.pop_front();
  }
  const bool faulted = armed.ms >= 0;
  if (faulted) {
    switch (armed.fault) {
      case Fault::Silence:
        return;
      case Fault::Nak:
        Send({kNak}, at);
        return;
      case Fault::SynForever:
      case Fault::Garbage:
        hung_ = true;
        garbage_ = armed.fault == Fault::Garbage;
        next_hung_syn_ns_ = at + HungIntervalNs();
        return;
      default:
        break;
    }
  }

  std::string data;
  std::uint8_t status[6];
  std::int64_t busy_ns = 0;
  auto canned = replies_.find(request.command);
  if (canned != replies_.end() && !canned->second.empty()) {
    data = canned->second.front().first;
    std::copy(canned->second.front().second.begin(), canned->second.front().second.end(), status);
    canned->second.pop_front();
    busy_ns = static_cast<std::int64_t>(BusyMs(request.command) * options_.busy_scale * 1e6);
  } else if (faulted && armed.fault == Fault::PrinterError) {
    device_.Status(Bit(Condition::MechanismError), status);
    busy_ns = static_cast<std::int64_t>(10 * options_.busy_scale * 1e6);
  } else {
    const Reply reply = device_.Execute(request);
    data = reply.data;
    device_.Status(reply.errors, status);
    busy_ns = static_cast<std::int64_t>(reply.busy_ms * options_.busy_scale * 1e6);
  }
  if (faulted && armed.fault == Fault::Syn)
    busy_ns = static_cast<std::int64_t>(armed.ms) * 1'000'000;

  std::vector<std::uint8_t> frame = BuildReply(request.sequence, request.command, data, status);
  std::int64_t gap = 0;
  std::size_t piece = 0;
  if (faulted) {
    switch (armed.fault) {
      case Fault::BadCheck: {
        std::uint8_t& digit = frame[frame.size() - 2];
        digit = digit == 0x3F ? 0x30 : static_cast<std::uint8_t>(digit + 1);
        break;
      }
      case Fault::Noise:
        frame.insert(frame.begin(), std::begin(kNoise), std::end(kNoise));
        break;
      case Fault::CutFrame: {
        std::vector<std::uint8_t> cut(
            frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(frame.size() / 2));
        frame.insert(frame.begin(), cut.begin(), cut.end());
        break;
      }
      case Fault::EarlyTerminator: {
        const std::size_t separator = 4 + data.size();
        frame.resize(separator + 3);  // separator and two status bytes
        frame.push_back(kTerminator);
        break;
      }
      case Fault::WrongTerminator:
        frame.back() = 0x7F;
        break;
      case Fault::SlowPieces:
        gap = static_cast<std::int64_t>(armed.ms) * 1'000'000;
        piece = 4;
        break;
      case Fault::Stranger: {
        // The answer to another request: the next sequence number, command 56, "7,7".
        const auto other =
            static_cast<std::uint8_t>(request.sequence == 0x7E ? 0x20 : request.sequence + 1);
        const std::vector<std::uint8_t> stranger = BuildReply(other, 56, "7,7", status);
        frame.insert(frame.begin(), stranger.begin(), stranger.end());
        break;
      }
      default:
        break;
    }
  }
  // SYN while busy, then the reply.
  for (std::int64_t t = kSynIntervalNs; t < busy_ns; t += kSynIntervalNs) Send({kSyn}, at + t);
  Send(frame, at + busy_ns, gap, piece);
}

void VirtualPrinter::Send(const std::vector<std::uint8_t>& bytes, std::int64_t at_ns,
                          std::int64_t gap_ns, std::size_t piece) {
  std::int64_t due = at_ns;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (piece > 0 && i > 0 && i % piece == 0) due += gap_ns;
    // A byte is there for the host once its stop bit has passed.
    const std::int64_t arrives = std::max(due, line_free_ns_) + ByteNs();
    line_free_ns_ = arrives;
    out_.push_back(Out{arrives, bytes[i]});
  }
}

std::int64_t VirtualPrinter::NextDueNs() const {
  std::int64_t next = out_.empty() ? kNever : out_.front().due_ns;
  if (hung_) next = std::min(next, next_hung_syn_ns_);
  return next;
}

bool VirtualPrinter::Take(std::int64_t now_ns, std::uint8_t& byte) {
  if (hung_ && next_hung_syn_ns_ <= now_ns &&
      (out_.empty() || next_hung_syn_ns_ <= out_.front().due_ns)) {
    byte = garbage_ ? static_cast<std::uint8_t>(kGarbage[garbage_at_++ % (sizeof kGarbage - 1)])
                    : kSyn;
    next_hung_syn_ns_ += HungIntervalNs();
    ++bytes_out_;
    return true;
  }
  if (out_.empty() || out_.front().due_ns > now_ns) return false;
  byte = out_.front().byte;
  out_.pop_front();
  ++bytes_out_;
  return true;
}

void VirtualPrinter::DiscardArrived(std::int64_t now_ns) {
  while (!out_.empty() && out_.front().due_ns <= now_ns) out_.pop_front();
  if (hung_ && next_hung_syn_ns_ <= now_ns) next_hung_syn_ns_ = now_ns + HungIntervalNs();
}

void VirtualPrinter::Arm(Fault fault, int count, int ms) {
  for (int i = 0; i < count; ++i) faults_.push_back(Armed{fault, std::max(ms, 0)});
}

void VirtualPrinter::ArmFor(int command, Fault fault, int ms) {
  faults_for_[command].push_back(Armed{fault, std::max(ms, 0)});
}

void VirtualPrinter::ArmReply(int command, const std::string& data,
                              const std::array<std::uint8_t, 6>& status) {
  replies_[command].emplace_back(data, status);
}

void VirtualPrinter::ClearFaults() {
  faults_.clear();
  faults_for_.clear();
  replies_.clear();
  hung_ = false;
}

void VirtualPrinter::PowerOff() {
  powered_ = false;
  out_.clear();
  hung_ = false;
  parser_.Reset();
}

void VirtualPrinter::PowerOn(bool keep_receipt) {
  if (powered_) return;
  powered_ = true;
  device_.PowerCycle(keep_receipt);
}

}  // namespace molvex::sim
