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
  Complete,    // the printer said that no data follows
  Failed,      // a read failed
  NoChunk,     // a reply announced data but carried no second field
  Miscounted,  // a reply's count differs from the characters its chunk carries
  TooLong,     // the printer did not come to an end within the limits
};

// Bounds of one read-back, set from the largest day a printer holds: a Z report's data is the
// day's summary (the five tax groups' sales and refunds, the payment types, the counters), whose
// size does not grow with the day's sales; the classic driver held it in 4,999 characters. The
// bounds leave thirteen times that room and stop a printer that never says that it is done
// after a few minutes at 9600 baud (docs/entries.md gives the times at each speed).
struct ZDataLimits {
  std::int32_t max_reads = 2048;        // chunk numbers 0 .. 2047
  std::size_t max_encoded = 64u << 10;  // characters of base64 text (48 KiB of data)
};

// Reads the Z data: asks for chunk 0, 1, 2, ... through `read` and appends each chunk to
// `encoded` until a reply's first field is 0. Each chunk must carry exactly the number of
// characters its first field announces (the last reply: none). Everything the printer sends is
// kept; anything but Complete means the data is incomplete.
ZDataRead GatherZData(const std::function<ZDataReply(std::int32_t chunk)>& read,
                      std::string& encoded, const ZDataLimits& limits = {});

}  // namespace molvex
