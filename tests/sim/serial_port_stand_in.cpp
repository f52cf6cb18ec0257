// Used only while the platform has no serial port of its own: opens nothing.
#include "platform/byte_channel.h"

namespace molvex {
namespace {
class NoPorts final : public PortFactory {
 public:
  ByteChannel* Open(std::int32_t, std::int32_t) override { return nullptr; }
};
}  // namespace

PortFactory& SerialPortFactory() {
  static NoPorts none;
  return none;
}
}  // namespace molvex
