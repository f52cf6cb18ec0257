#include "archive/z_data.h"

#include <limits>

namespace molvex {
namespace {

// Position of `c` in the alphabet, -1 for anything else.
int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::int32_t LeadingDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit + 1) value = kLimit + 1;  // held: more digits change nothing
  }
  if (negative) return static_cast<std::int32_t>(-value);
  return static_cast<std::int32_t>(value > kLimit ? kLimit : value);
}

std::string DecodeZData(std::string_view encoded) {
  std::string out;
  if (encoded.empty() || Base64Value(encoded.front()) < 0) return out;
  out.reserve(encoded.size() / 4 * 3 + 2);
  std::uint32_t accumulator = 0;
  int count = 0;    // characters of the alphabet in the current group
  int padding = 0;  // "=" since the last complete group
  for (const char c : encoded) {
    if (c == '=') {
      accumulator <<= 6;
      ++padding;
      continue;
    }
    const int value = Base64Value(c);
    if (value < 0) break;
    accumulator = (accumulator << 6) + static_cast<std::uint32_t>(value);
    if (count < 3) {
      ++count;
      continue;
    }
    out += static_cast<char>((accumulator >> 16) & 0xFF);
    out += static_cast<char>((accumulator >> 8) & 0xFF);
    out += static_cast<char>(accumulator & 0xFF);
    accumulator = 0;
    count = 0;
    padding = 0;
  }
  // A group without its padding: shift as the missing "=" would have done.
  if (count >= 2 && count + padding < 4) accumulator <<= 6 * (4 - count - padding);
  if (count >= 2) out += static_cast<char>((accumulator >> 16) & 0xFF);
  if (count == 3) out += static_cast<char>((accumulator >> 8) & 0xFF);
  return out;
}

std::string_view ZArchiveContent(std::string_view decoded) {
  return decoded.substr(0, decoded.find('\0'));
}

ZDataRead GatherZData(const std::function<ZDataReply(std::int32_t chunk)>& read,
                      std::string& encoded, const ZDataLimits& limits) {
  for (std::int32_t chunk = 0;; ++chunk) {
    if (chunk >= limits.max_reads) return ZDataRead::TooLong;
    const ZDataReply reply = read(chunk);
    if (!reply.ok) return ZDataRead::Failed;
    const std::int32_t announced = LeadingDecimal(reply.count);
    if (announced == 0) {
      return reply.chunk.empty() ? ZDataRead::Complete : ZDataRead::Miscounted;
    }
    if (reply.field_count < 2) return ZDataRead::NoChunk;
    if (announced < 0 || static_cast<std::size_t>(announced) != reply.chunk.size()) {
      return ZDataRead::Miscounted;
    }
    if (encoded.size() + reply.chunk.size() > limits.max_encoded) return ZDataRead::TooLong;
    encoded += reply.chunk;
  }
}

}  // namespace molvex
