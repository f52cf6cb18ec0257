// A link's port: opened through a factory (the platform serial ports by default).
#include <cstdint>

#include "link/link_state.h"
#include "platform/memory_lock.h"

namespace link_state {

namespace {

constexpr std::size_t kReceiverLockSize = 8192;

// Stands in for a port that is closed or failed to open: writes are lost, reads fail at once,
// so a transaction over it ends quickly as unanswered.
class ClosedChannel final : public molvex::ByteChannel {
 public:
  bool Write(const std::uint8_t*, std::size_t) override { return false; }
  void Flush() override {}
  void Discard() override {}
  molvex::ReadStatus ReadByte(std::uint8_t&) override { return molvex::ReadStatus::Error; }
  void ClearError() override {}
  void Close() override {}
  std::int32_t Handle() const override { return -1; }
};

}  // namespace

molvex::ByteChannel& DeadChannel() {
  static ClosedChannel dead;
  return dead;
}

LinkCore::LinkCore() : channel(&DeadChannel()) {}

}  // namespace link_state

Link::Link() : core_(std::make_unique<link_state::LinkCore>()) {}

Link::~Link() {
  Close();
}

Link& Link::Process() {
  // Never destroyed: its channel may belong to a factory that is gone at the process's end.
  static Link* const process = new Link;
  return *process;
}

std::int32_t Link::Open(std::int32_t port, std::int32_t baud) {
  // A port still open is closed first, so that it does not keep the device to itself.
  Close();
  // The reply receiver's code stays resident, so that reading a byte never waits for paging.
  molvex::KeepResident(reinterpret_cast<const void*>(&link_state::ReceiveByte),
                       link_state::kReceiverLockSize);
  core_->ready = 1;
  molvex::ByteChannel* opened = PortFactory().Open(port, baud);
  if (opened == nullptr) return -1;
  core_->channel = opened;
  return opened->Handle();
}

void Link::Close() {
  core_->channel->Close();
  core_->channel = &link_state::DeadChannel();
}

void Link::SetPortFactory(molvex::PortFactory* factory) {
  core_->port_factory = factory;
}

molvex::PortFactory& Link::PortFactory() {
  return core_->port_factory != nullptr ? *core_->port_factory : molvex::SerialPortFactory();
}

void Link::Reset() {
  Close();
  link_state::ResetTransactionState(*core_);
}

std::int32_t PrnOpenPort(std::int32_t port, std::int32_t baud) {
  return Link::Process().Open(port, baud);
}

void PrnClosePort() {
  Link::Process().Close();
}

void LinkSetPortFactory(molvex::PortFactory* factory) {
  Link::Process().SetPortFactory(factory);
}

molvex::PortFactory& LinkPortFactory() {
  return Link::Process().PortFactory();
}

void LinkReset() {
  Link::Process().Reset();
}
