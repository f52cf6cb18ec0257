// The decoder: judges the exchange, builds the error word, fixes up a few replies and splits
// the reply data into fields.
#include <cstring>

#include "link/command_table.h"
#include "link/link_state.h"
#include "link/status_map.h"

namespace link_state {

char reply_copy[kReplyBufferSize];

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

void Split(char* text) {
  if (text[0] == '\0') {
    LinkResult.FieldCount = 0;
    return;
  }
  int count = 1;
  LinkResult.Fields[0] = text;
  // At most 20 fields: the text after the 19th comma stays whole in the last one.
  for (char* p = text; *p != '\0' && count < kRetDataFields; ++p) {
    if (*p == ',') {
      *p = '\0';
      LinkResult.Fields[count++] = p + 1;
    }
  }
  LinkResult.FieldCount = count;
}

}  // namespace

void PrnDecodeReply() {
  Receiver& r = receiver;
  // A terminator out of place means the check digits never arrived: whatever check value is
  // left over must not pass a broken frame as a good reply.
  const bool terminator_out_of_place = (LinkFlags & 8) != 0;
  if (LinkReady == 1 && (r.received_check != r.running_sum || terminator_out_of_place)) {
    LinkFlags = LinkFlags + 1;
  }

  for (int i = 0; i < 6; ++i) LinkResult.Status[i] = r.status[i] & 0x7F;

  std::uint32_t word = 0;
  if (LinkReady == 0) {
    word = busy_limit_passed ? kErrBusyLimit : kErrNoReply;
    r.reply_data[0] = '\0';  // what a frame given up left is no reply
  } else if ((LinkFlags & 4) != 0) {
    word = kErrNak;
  } else if ((LinkFlags & 1) != 0) {
    word = kErrChecksum;
  } else {
    word = MapStatusBytes(r.status);
  }

  std::memcpy(reply_copy, r.reply_data, sizeof reply_copy);
  reply_copy[kReplyBufferSize - 1] = '\0';
  FixUp(current_command, r.reply_data);

  LinkResult.ErrorWord = word;
  LinkResult.CommandName = PrnCommandName(current_command);
  LinkResult.RequestData = request_copy;
  LinkResult.ReplyData = reply_copy;
  Split(r.reply_data);
}
