// The decoder: judges the exchange, builds the error word, fixes up a few replies and splits
// the reply data into fields.
#include <cstring>

#include "link/command_table.h"
#include "link/link_state.h"
#include "link/status_map.h"

namespace link_state {

char (&reply_copy)[kReplyBufferSize] = Link::Process().core().reply_copy;

}  // namespace link_state

namespace {

using namespace link_state;

// A one-character code glued to the amount (commands 50 and 53): make it a field.
void InsertCommaAfterFirst(char* text) {
  const std::size_t length = std::strlen(text);
  if (length + 2 > kReplyBufferSize) return;  // cannot happen: replies hold at most 212 bytes
  std::memmove(text + 2, text + 1, length);   // moves the terminating zero too
  text[1] = ',';
}

void FixUp(std::int32_t command, char* text) {
  const std::size_t length = std::strlen(text);
  if (length <= 1) return;
  const PrnCommandRow* row = PrnCommandRowOf(command);
  if (row == nullptr) return;
  switch (row->fix_up) {
    case PrnFixUp::FirstCharField:
      InsertCommaAfterFirst(text);
      break;
    case PrnFixUp::DateTimeFields:
      if (length > 8) text[8] = ',';
      break;
    case PrnFixUp::SpacesToCommas:
      for (std::size_t i = 0; i < length && i < 20; ++i) {
        if (text[i] == ' ') text[i] = ',';
      }
      break;
    case PrnFixUp::None:
      break;
  }
}

void Split(RetData& result, char* text) {
  if (text[0] == '\0') {
    result.FieldCount = 0;
    return;
  }
  int count = 1;
  result.Fields[0] = text;
  // At most 20 fields: the text after the 19th comma stays whole in the last one.
  for (char* p = text; *p != '\0' && count < kRetDataFields; ++p) {
    if (*p == ',') {
      *p = '\0';
      result.Fields[count++] = p + 1;
    }
  }
  result.FieldCount = count;
}

}  // namespace

void link_state::DecodeReply(LinkCore& s) {
  Receiver& r = s.receiver;
  RetData& result = s.result;
  // A terminator out of place means the check digits never arrived: whatever check value is
  // left over must not pass a broken frame as a good reply.
  const bool terminator_out_of_place = (s.flags & 8) != 0;
  if (s.ready == 1 && (r.received_check != r.running_sum || terminator_out_of_place)) {
    s.flags = s.flags + 1;
  }

  for (int i = 0; i < 6; ++i) result.Status[i] = r.status[i] & 0x7F;

  std::uint32_t word = 0;
  if (s.ready == 0) {
    word = s.busy_limit_passed ? kErrBusyLimit : kErrNoReply;
    r.reply_data[0] = '\0';  // what a frame given up left is no reply
  } else if ((s.flags & 4) != 0) {
    word = kErrNak;
  } else if ((s.flags & 1) != 0) {
    word = kErrChecksum;
  } else {
    word = MapStatusBytes(r.status);
  }

  std::memcpy(s.reply_copy, r.reply_data, sizeof s.reply_copy);
  s.reply_copy[kReplyBufferSize - 1] = '\0';
  FixUp(s.current_command, r.reply_data);

  result.ErrorWord = word;
  result.CommandName = PrnCommandName(s.current_command);
  result.RequestData = s.request_copy;
  result.ReplyData = s.reply_copy;
  Split(result, r.reply_data);
}
