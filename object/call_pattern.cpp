#include "object/call_pattern.h"

#include <charconv>
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

namespace molvex {

std::size_t DecimalLength(std::int64_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return static_cast<std::size_t>(result.ptr - digits);
}

std::size_t FixedLength(double value, int decimals) {
  // The largest double has 309 digits before the point: every value fits this buffer.
  char digits[400];
  const auto result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc{}) return sizeof digits;
  return static_cast<std::size_t>(result.ptr - digits);
}

bool PortOpenAndFits(std::size_t data_length) {
  if (PortIsOpen() && FitsOneRequest(data_length)) return true;
  SaveRefusal();
  return false;
}

}  // namespace molvex
