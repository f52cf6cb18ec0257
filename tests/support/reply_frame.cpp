#include "tests/support/reply_frame.h"

namespace testsupport {

std::string ReplyFrame(std::uint8_t sequence, std::uint8_t command, const std::string& data,
                       const std::string& status, unsigned sum_offset) {
  std::string body;
  body += static_cast<char>(0x2B + data.size());
  body += static_cast<char>(sequence);
  body += static_cast<char>(command);
  body += data;
  body += '\x04';
  body += status;
  body += '\x05';
  unsigned sum = sum_offset;
  for (const char c : body) sum += static_cast<std::uint8_t>(c);
  std::string frame = "\x01" + body;
  for (int shift = 12; shift >= 0; shift -= 4) {
    frame += static_cast<char>(0x30 + ((sum >> shift) & 0xF));
  }
  frame += '\x03';
  return frame;
}

}  // namespace testsupport
