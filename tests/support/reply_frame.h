// Reply frames as the printer sends them, for programs that play the printer's part.
#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

// Preamble, length, sequence, command, data, separator, six status bytes (top bit set by
// default), postamble, check digits of the sum plus `sum_offset` (non-zero: a wrong check),
// terminator.
std::string ReplyFrame(std::uint8_t sequence, std::uint8_t command, const std::string& data,
                       const std::string& status = std::string(6, '\x80'), unsigned sum_offset = 0);

}  // namespace testsupport
