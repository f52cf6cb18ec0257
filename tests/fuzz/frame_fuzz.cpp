// Arbitrary data texts for the request frame: the first byte picks the command, the rest up to a
// zero byte is the text. A text of up to 85 bytes goes out as one exact frame; a longer one is
// refused before anything is written.
#include <cstdlib>
#include <string>

#include "link/link.h"
#include "tests/fuzz/fuzz_channel.h"

namespace {

fuzzing::StreamChannel channel;

void Require(bool condition) {
  if (!condition) std::abort();
}

void Ignore(RetData&) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  LinkReset();
  LinkSetPortFactory(&channel);
  Require(PrnOpenPort(1, 9600) > 0);
  channel.Serve(nullptr, 0);
  const int command = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string sent = text.substr(0, text.find('\0'));
  const std::uint8_t counter_before = SequenceCounter;

  const std::int32_t result = PrnExecuteCallback(Ignore, 0, command, text.c_str());
  const std::size_t n = sent.size();
  if (n > static_cast<std::size_t>(kPrnMaxData)) {
    Require(result == PRN_DATA_TOO_LONG);
    Require(channel.writes == 0 && SequenceCounter == counter_before);
    return 0;
  }
  Require(result == PRN_OK);
  const std::string& frame = channel.written;
  Require(frame.size() == n + 10);
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(frame[i]); };
  const std::uint8_t counter = static_cast<std::uint8_t>(counter_before + 1);
  Require(byte(0) == 0x01 && byte(1) == 0x24 + n && byte(2) == counter % 95 + 0x20);
  Require(byte(3) == command && frame.compare(4, n, sent) == 0 && byte(4 + n) == 0x05);
  unsigned sum = 0;
  for (std::size_t i = 1; i <= 4 + n; ++i) sum += byte(i);
  for (int digit = 0; digit < 4; ++digit) {
    Require(byte(5 + n + digit) == 0x30 + ((sum >> (12 - 4 * digit)) & 0xF));
  }
  Require(byte(9 + n) == 0x03);
  return 0;
}
