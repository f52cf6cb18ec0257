// The Z data against hostile input. The bytes are decoded as the printer's base64 text (never
// more than three bytes for four characters); encoded as standard base64, padded and unpadded,
// they must decode back to themselves; and read as a printer's replies to command 167, one a
// line (first byte: "!" for a failed read, then the reply data split at commas), the read loop
// must end within its limits with exactly the chunks it was given.
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "archive/z_data.h"
#include "tests/support/base64.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

struct Reply {
  bool ok;
  int fields;
  std::string count;
  std::string chunk;
};

std::vector<Reply> Replies(std::string_view text) {
  std::vector<Reply> replies;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    Reply r{true, 0, "", ""};
    if (!line.empty() && line.front() == '!') {
      r.ok = false;
      line.remove_prefix(1);
    }
    if (!line.empty()) {
      const std::size_t comma = line.find(',');
      r.count = std::string(line.substr(0, comma));
      r.fields = 1;
      if (comma != std::string_view::npos) {
        r.fields = 2;
        const std::string_view rest = line.substr(comma + 1);
        r.chunk = std::string(rest.substr(0, rest.find(',')));
      }
    }
    replies.push_back(r);
  }
  return replies;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const std::string decoded = molvex::DecodeZData(input);
  Require(decoded.size() <= size / 4 * 3 + 2);
  Require(molvex::ZArchiveContent(decoded).find('\0') == std::string_view::npos);

  const std::string encoded = testsupport::Base64(input);
  Require(molvex::DecodeZData(encoded) == input);
  Require(molvex::DecodeZData(encoded.substr(0, encoded.find('='))) == input);

  const std::vector<Reply> replies = Replies(input);
  const molvex::ZDataLimits limits{32, 512};
  std::size_t asked = 0;
  std::string expected;
  std::string gathered;
  std::string count;  // the reply's fields live until the next read, as the link's do
  std::string chunk_text;
  const auto end = molvex::GatherZData(
      [&](std::int32_t chunk) {
        Require(static_cast<std::size_t>(chunk) == asked);
        // Past the lines: the printer answers "1,A" for ever.
        const Reply r = asked < replies.size() ? replies[asked] : Reply{true, 2, "1", "A"};
        ++asked;
        molvex::ZDataReply reply{r.ok, r.fields, "", ""};
        count = r.count;
        chunk_text = r.chunk;
        reply.count = count;
        reply.chunk = chunk_text;
        if (r.ok && molvex::LeadingDecimal(count) != 0 && r.fields >= 2) expected += chunk_text;
        return reply;
      },
      gathered, limits);
  Require(asked <= static_cast<std::size_t>(limits.max_reads));
  Require(gathered.size() <= limits.max_encoded);
  if (end == molvex::ZDataRead::Complete) Require(gathered == expected);
  return 0;
}
