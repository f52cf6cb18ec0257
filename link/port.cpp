// The one port of the process: opened through a factory (the platform serial ports by default).
#include "link/link_state.h"

namespace link_state {

namespace {

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

molvex::ByteChannel* channel = &DeadChannel();

}  // namespace link_state

namespace {

molvex::PortFactory* port_factory = nullptr;

molvex::PortFactory& Factory() {
  return port_factory != nullptr ? *port_factory : molvex::SerialPortFactory();
}

}  // namespace

std::int32_t PrnOpenPort(std::int32_t port, std::int32_t baud) {
  // A port still open is closed first, so that it does not keep the device to itself.
  PrnClosePort();
  LinkReady = 1;
  molvex::ByteChannel* opened = Factory().Open(port, baud);
  if (opened == nullptr) return -1;
  link_state::channel = opened;
  return opened->Handle();
}

void PrnClosePort() {
  link_state::channel->Close();
  link_state::channel = &link_state::DeadChannel();
}

void LinkSetPortFactory(molvex::PortFactory* factory) {
  port_factory = factory;
}

molvex::PortFactory& LinkPortFactory() {
  return Factory();
}

void LinkReset() {
  PrnClosePort();
  link_state::ResetTransactionState();
}
