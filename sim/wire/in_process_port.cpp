#include "sim/wire/in_process_port.h"

namespace molvex::sim {

namespace {
constexpr std::int64_t kReadTimeoutMs = 100;
constexpr std::int64_t kNsPerMs = 1'000'000;
}  // namespace

class InProcessPort::Channel final : public ByteChannel {
 public:
  Channel(Clock& clock, VirtualPrinter& printer) : clock_(clock), printer_(printer) {}

  bool Write(const std::uint8_t* data, std::size_t size) override {
    if (!open_) return false;
    printer_.Receive(data, size, Now());
    return true;
  }
  void Flush() override {}
  void Discard() override {
    if (open_) printer_.DiscardArrived(Now());
  }
  ReadStatus ReadByte(std::uint8_t& byte) override {
    if (!open_) return ReadStatus::Error;
    const std::int64_t now = Now();
    const std::int64_t due = printer_.NextDueNs();
    if (due <= now) {
      return printer_.Take(now, byte) ? ReadStatus::Byte : ReadStatus::Timeout;
    }
    if (due != kNever && due - now <= kReadTimeoutMs * kNsPerMs) {
      clock_.SleepMs((due - now + kNsPerMs - 1) / kNsPerMs);
      if (printer_.Take(Now(), byte)) return ReadStatus::Byte;
    }
    clock_.SleepMs(kReadTimeoutMs);
    return ReadStatus::Timeout;
  }
  void ClearError() override {}
  void Close() override { open_ = false; }
  std::int32_t Handle() const override { return 1; }

  bool open_ = false;

 private:
  std::int64_t Now() { return clock_.MonotonicMs() * kNsPerMs; }

  Clock& clock_;
  VirtualPrinter& printer_;
};

InProcessPort::InProcessPort(Clock& clock, PrinterOptions options)
    : printer_(clock, options), channel_(std::make_unique<Channel>(clock, printer_)) {}

InProcessPort::~InProcessPort() = default;

ByteChannel* InProcessPort::Open(std::int32_t port, std::int32_t baud) {
  if (fail_open_ || (only_port_ != 0 && port != only_port_)) return nullptr;
  opened_port_ = port;
  opened_baud_ = baud;
  if (wire_at_opened_baud_) {
    PrinterOptions options = printer_.options();
    options.baud = baud;
    printer_.SetOptions(options);
  }
  channel_->open_ = true;
  return channel_.get();
}

bool InProcessPort::is_open() const {
  return channel_->open_;
}

}  // namespace molvex::sim
