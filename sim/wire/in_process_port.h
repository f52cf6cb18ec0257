// The virtual printer as a port factory for the link, in the same process: tests open it with
// PrnOpenPort after LinkSetPortFactory. Reads follow the given clock (a FakeClock makes every
// wait instant).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/byte_channel.h"
#include "platform/clock.h"
#include "sim/wire/virtual_printer.h"

namespace molvex::sim {

class InProcessPort final : public PortFactory {
 public:
  explicit InProcessPort(Clock& clock, PrinterOptions options = {0.0, 0});
  ~InProcessPort() override;
  InProcessPort(const InProcessPort&) = delete;
  InProcessPort& operator=(const InProcessPort&) = delete;

  // Opens the printer's channel; any port number unless OnlyPort was given one.
  ByteChannel* Open(std::int32_t port, std::int32_t baud) override;
  // Serve only this port number (others fail to open); 0 serves every number.
  void OnlyPort(std::int32_t port) { only_port_ = port; }
  // Model the wire at the speed each Open asks for (8N1), instead of the options' speed.
  void WireAtOpenedBaud(bool on) { wire_at_opened_baud_ = on; }
  // Make the next Open fail (an absent device).
  void FailOpen(bool fail) { fail_open_ = fail; }

  VirtualPrinter& printer() { return printer_; }
  Device& device() { return printer_.device(); }
  const std::vector<LoggedRequest>& requests() const { return printer_.requests(); }
  bool is_open() const;
  std::int32_t opened_port() const { return opened_port_; }
  std::int32_t opened_baud() const { return opened_baud_; }

 private:
  class Channel;

  VirtualPrinter printer_;
  std::unique_ptr<Channel> channel_;
  std::int32_t only_port_ = 0;
  bool fail_open_ = false;
  bool wire_at_opened_baud_ = false;
  std::int32_t opened_port_ = 0;
  std::int32_t opened_baud_ = 0;
};

}  // namespace molvex::sim
