// The Z-report data as the printer hands it over after a closure: a base64 text read chunk by
// chunk with command 167, decoded into the bytes of the archive file. Pure pieces, no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace molvex {

// A decimal number at the start of a reply field: leading blanks skipped, an optional sign, the
// digits up to the first non-digit; 0 without digits. Values beyond 32 bits are held at the
// nearest limit.
std::int32_t LeadingDecimal(std::string_view text);

// Decodes the Z data's base64 text (alphabet A-Z a-z 0-9 + /, a character's value is its
// position):
// - a text that does not start with a character of the alphabet decodes to nothing;
// - "=" shifts the accumulator by six bits without counting as a character;
// - any other character outside the alphabet ends the text;
// - every fourth character of the alphabet gives three bytes;
// - two or three characters left at the end give one or two bytes.
// A group cut short without its "=" padding (an unpadded text, or one ended by a foreign
// character) is completed as if it had been padded, so its last bytes are not lost. Zero bytes
// are data like any other.
std::string DecodeZData(std::string_view encoded);

// The archive file's content: the decoded data up to, not including, its first zero byte.
std::string_view ZArchiveContent(std::string_view decoded);

// One reply to a read of the Z data.
struct ZDataReply {
  bool ok = false;         // the transaction ran and its reply did not fail
  int field_count = 0;     // fields of the reply
  std::string_view count;  // field 1: characters in this chunk, 0 when no data follows
  std::string_view chunk;  // field 2: the next piece of the base64 text
};

// How reading the Z data ended.
enum class ZDataRead {
  Complete,  // the printer said that no data follows
  Failed,    // a read failed
  NoChunk,   // a reply announced data but carried no second field
  TooLong,   // the printer did not come to an end within the limits
};

// Bounds of one read-back: far above any day's data, they only stop a printer that never says
// that it is done.
struct ZDataLimits {
  std::int32_t max_reads = 100'000;     // chunk numbers 0 .. 99999
  std::size_t max_encoded = 16u << 20;  // characters of base64 text (12 MiB of data)
};

// Reads the Z data: asks for chunk 0, 1, 2, ... through `read` and appends each chunk to
// `encoded` until a reply's first field is 0. Everything the printer sends is kept; anything
// but Complete means the data is incomplete.
ZDataRead GatherZData(const std::function<ZDataReply(std::int32_t chunk)>& read,
                      std::string& encoded, const ZDataLimits& limits = {});

}  // namespace molvex
