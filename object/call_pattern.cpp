#include "object/call_pattern.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <system_error>

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
  ObjectState& state = SharedObjectState();
  state.PrinterSilent = false;
  const bool ran = RunCommand(PrnReadStatus, 0);
  state.PrinterSilent = ran && (state.LastResult.ErrorWord & (kErrNoReply | kErrBusyLimit)) != 0;
  state.FailureFlag = 0;
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

bool PortTestFitsAndPreRead(const DataLength& data) {
  if (!data.FitsOneRequest()) {
    SaveRefusal();
    return false;
  }
  return PortTestAndPreRead();
}

Outcome StatusCheck() {
  if (!RunCommand(PrnReadStatus, 0)) {
    SaveRefusal();
    return Outcome::Refused;
  }
  if (SharedObjectState().FailureFlag == 0) return Outcome::Succeeded;
  SaveOutcome();
  return Outcome::Failed;
}

bool PortTestAndPreRead() {
  if (!PortIsOpen()) {
    SaveRefusal();
    return false;
  }
  PreRead();
  return true;
}

DataLength& DataLength::Text(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) whole_ = false;
  length_ += text.size();
  return *this;
}

DataLength& DataLength::Chars(std::size_t count) {
  length_ += count;
  return *this;
}

DataLength& DataLength::Int(std::int64_t value, int width) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  const auto length = static_cast<std::size_t>(result.ptr - digits);
  length_ += std::max(length, static_cast<std::size_t>(width < 0 ? 0 : width));
  return *this;
}

DataLength& DataLength::Fixed(double value, int decimals) {
  length_ += FixedText(value, decimals).size();
  return *this;
}

std::string FixedText(double value, int decimals) {
  char digits[400];  // the largest double has 309 integer digits
  const auto result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc{}) return std::string(sizeof digits, '9');  // cannot happen
  return std::string(digits, result.ptr);
}

bool ReplyInteger(int number, std::int64_t& value) {
  const std::string_view field = ReplyField(number);
  if (field.empty() || field.front() == '+') return false;
  std::int64_t parsed = 0;
  const auto result = std::from_chars(field.data(), field.data() + field.size(), parsed);
  if (result.ec != std::errc{} || result.ptr != field.data() + field.size()) return false;
  value = parsed;
  return true;
}

}  // namespace molvex
