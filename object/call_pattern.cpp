#include "object/call_pattern.h"

#include <cstring>

#include "link/commands.h"

namespace molvex {

bool PortIsOpen() {
  const ObjectState& state = SharedObjectState();
  return state.PortOpen && state.PortNumber != -1;
}

void SaveRefusal() {
  ObjectState& state = SharedObjectState();
  state.SavedErrorWord = kRefusedErrorWord;
  state.CallStatus = kCallRefused;
}

void PreRead() {
  RunCommand(PrnReadStatus, 0);
  SharedObjectState().FailureFlag = 0;
}

bool SaveOutcome() {
  ObjectState& state = SharedObjectState();
  state.SavedErrorWord = static_cast<std::int32_t>(state.LastResult.ErrorWord);
  std::memcpy(state.SavedStatus, state.LastResult.Status, sizeof state.SavedStatus);
  const bool ok = state.FailureFlag == 0;
  state.CallStatus = ok ? kCallSucceeded : kCallFailed;
  return ok;
}

}  // namespace molvex

namespace molvex {

const char* ReplyField(int number) {
  const RetData& result = SharedObjectState().LastResult;
  if (number < 1 || number > result.FieldCount || number > kRetDataFields) return "";
  const char* field = result.Fields[number - 1];
  return field != nullptr ? field : "";
}

}  // namespace molvex
