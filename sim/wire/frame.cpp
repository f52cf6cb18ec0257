#include "sim/wire/frame.h"

namespace molvex::sim {

namespace {
constexpr std::size_t kLongestFrame = 0xFF - 0x24 + 10;  // a length byte of 0xFF
}

void PutCheckDigits(std::uint32_t sum, std::uint8_t out[4]) {
  for (int i = 3; i >= 0; --i) {
    out[i] = static_cast<std::uint8_t>(0x30 + (sum & 0xF));
    sum >>= 4;
  }
}

static std::vector<std::uint8_t> Seal(std::vector<std::uint8_t> frame) {
  std::uint32_t sum = 0;
  for (std::size_t i = 1; i < frame.size(); ++i) sum += frame[i];
  std::uint8_t digits[4];
  PutCheckDigits(sum, digits);
  frame.insert(frame.end(), digits, digits + 4);
  frame.push_back(kTerminator);
  return frame;
}

std::vector<std::uint8_t> BuildRequest(std::uint8_t sequence, int command,
                                       const std::string& data) {
  std::vector<std::uint8_t> frame;
  frame.reserve(data.size() + 10);
  frame.push_back(kPreamble);
  frame.push_back(static_cast<std::uint8_t>(0x20 + data.size() + 4));
  frame.push_back(sequence);
  frame.push_back(static_cast<std::uint8_t>(command));
  frame.insert(frame.end(), data.begin(), data.end());
  frame.push_back(kPostamble);
  return Seal(std::move(frame));
}

std::vector<std::uint8_t> BuildReply(std::uint8_t sequence, int command, const std::string& text,
                                     const std::uint8_t status[6]) {
  const std::string data = text.substr(0, kLongestReplyData);
  std::vector<std::uint8_t> frame;
  frame.reserve(data.size() + 17);
  frame.push_back(kPreamble);
  frame.push_back(static_cast<std::uint8_t>(0x2B + data.size()));
  frame.push_back(sequence);
  frame.push_back(static_cast<std::uint8_t>(command));
  frame.insert(frame.end(), data.begin(), data.end());
  frame.push_back(kSeparator);
  frame.insert(frame.end(), status, status + 6);
  frame.push_back(kPostamble);
  return Seal(std::move(frame));
}

void RequestParser::Reset() {
  in_frame_ = false;
  expected_ = 0;
  frame_.clear();
}

RequestParser::Result RequestParser::Feed(std::uint8_t byte) {
  if (byte == kPreamble) {  // a preamble always starts a new frame; a cut-off one is dropped
    Reset();
    in_frame_ = true;
    frame_.push_back(byte);
    return Result::None;
  }
  if (!in_frame_) return Result::None;  // noise between frames
  frame_.push_back(byte);
  if (frame_.size() == 2) {
    if (byte < 0x24) return Bad();  // too short to hold sequence, command and postamble
    expected_ = static_cast<std::size_t>(byte - 0x24) + 10;
    return Result::None;
  }
  if (frame_.size() > kLongestFrame) return Bad();
  if (byte == kTerminator && frame_.size() < expected_) return Bad();  // shorter than it says
  if (frame_.size() == expected_) return Finish();
  return Result::None;
}

RequestParser::Result RequestParser::Bad() {
  last_size_ = frame_.size();
  Reset();
  return Result::BadFrame;
}

RequestParser::Result RequestParser::Finish() {
  const std::size_t n = expected_ - 10;
  bool good = frame_[4 + n] == kPostamble && frame_.back() == kTerminator && frame_[2] >= 0x20;
  if (good) {
    std::uint32_t sum = 0;
    for (std::size_t i = 1; i <= 4 + n; ++i) sum += frame_[i];
    std::uint8_t digits[4];
    PutCheckDigits(sum, digits);
    for (int i = 0; i < 4; ++i) good = good && frame_[5 + n + i] == digits[i];
  }
  if (good) {
    request_.sequence = frame_[2];
    request_.command = frame_[3];
    request_.data.assign(frame_.begin() + 4, frame_.begin() + 4 + static_cast<std::ptrdiff_t>(n));
  }
  last_size_ = frame_.size();
  Reset();
  return good ? Result::Frame : Result::BadFrame;
}

}  // namespace molvex::sim
