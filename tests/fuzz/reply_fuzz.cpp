// Arbitrary bytes from the printer: the first byte picks the command, the rest is what the port
// delivers during the transaction. The receiver and the decoder must keep every reference of the
// result inside the link's buffers and report one outcome.
#include <cstdlib>
#include <cstring>

#include "link/link.h"
#include "link/link_state.h"
#include "tests/fuzz/fuzz_channel.h"

namespace {

fuzzing::StreamChannel channel;
int deliveries = 0;

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Inside(const char* p, const char* buffer, std::size_t size) {
  return p >= buffer && p < buffer + size && std::memchr(p, '\0', buffer + size - p) != nullptr;
}

void Check(RetData& result) {
  ++deliveries;
  Require(result.FieldCount >= 0 && result.FieldCount <= kRetDataFields);
  const char* data = link_state::receiver.reply_data;
  for (int i = 0; i < result.FieldCount; ++i) {
    Require(Inside(result.Fields[i], data, sizeof link_state::receiver.reply_data));
  }
  Require(Inside(result.ReplyData, link_state::reply_copy, sizeof link_state::reply_copy));
  Require(std::memchr(result.RawReply, '\0', kRawReplySize) != nullptr);
  Require(result.CommandName != nullptr && std::strlen(result.CommandName) > 0);

  constexpr std::uint32_t kLinkBits = kErrChecksum | kErrNak | kErrNoReply | kErrBusyLimit;
  constexpr std::uint32_t kNeverSet = (1u << 15) | (1u << 30) | (1u << 31);
  const std::uint32_t word = result.ErrorWord;
  Require((word & kNeverSet) == 0);
  if ((word & kLinkBits) != 0) {
    Require(word == kErrChecksum || word == kErrNak || word == kErrNoReply ||
            word == kErrBusyLimit);
  }
  for (const std::uint8_t status : result.Status) Require(status < 0x80);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  LinkReset();
  LinkSetPortFactory(&channel);
  Require(PrnOpenPort(1, 9600) > 0);
  channel.Serve(data + 1, size - 1);
  deliveries = 0;
  Require(PrnExecuteCallback(Check, 0, data[0], "W") == PRN_OK);
  Require(deliveries == 1);
  Require(LinkReady == 1);
  return 0;
}
