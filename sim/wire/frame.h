// Frames of the printer protocol as the printer sees them: requests in, replies out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/frame_bytes.h"
#include "sim/model/request.h"

namespace molvex::sim {

constexpr std::uint8_t kPreamble = kFramePreamble;
constexpr std::uint8_t kSeparator = kFrameSeparator;
constexpr std::uint8_t kPostamble = kFramePostamble;
constexpr std::uint8_t kTerminator = kFrameTerminator;
constexpr std::uint8_t kNak = kFrameNak;
constexpr std::uint8_t kSyn = kFrameSyn;

// Low 16 bits of a sum as four digits 0x30..0x3F, most significant nibble first.
void PutCheckDigits(std::uint32_t sum, std::uint8_t out[4]);

// A request frame: preamble, length, sequence, command, data, postamble, check digits, terminator.
std::vector<std::uint8_t> BuildRequest(std::uint8_t sequence, int command, const std::string& data);

// Longest reply data a length byte can describe.
constexpr std::size_t kLongestReplyData = 0xFF - 0x2B;

// A reply frame; the status bytes are sent as given; longer data is cut to kLongestReplyData.
std::vector<std::uint8_t> BuildReply(std::uint8_t sequence, int command, const std::string& data,
                                     const std::uint8_t status[6]);

// Collects request frames from a byte stream.
class RequestParser {
 public:
  enum class Result {
    None,      // byte consumed, no frame finished
    Frame,     // a well-formed frame is complete (see Take)
    BadFrame,  // a frame ended with wrong check digits, length or layout: answer NAK
  };

  Result Feed(std::uint8_t byte);
  const Request& request() const { return request_; }
  // Length of the frame just finished (good or bad), preamble to terminator.
  std::size_t frame_size() const { return last_size_; }
  bool in_frame() const { return in_frame_; }
  void Reset();

 private:
  Result Finish();
  Result Bad();

  bool in_frame_ = false;
  std::size_t expected_ = 0;  // whole frame length from the length byte, 0 until known
  std::vector<std::uint8_t> frame_;
  std::size_t last_size_ = 0;
  Request request_;
};

}  // namespace molvex::sim
