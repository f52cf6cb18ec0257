#include "object/call_pattern.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "link/commands.h"
#include "object/object_error.h"
#include "object/printer_results.h"
#include "platform/text_codec.h"

namespace molvex {

bool RunRequest(PrinterContext& ctx, const PrnRequest& request) {
  ObjectState& state = ctx.state;
  if (state.PrinterSilent) {
    state.FailureFlag = 1;
    return true;
  }
  state.BusyCount = 1;
  state.FailureFlag = 0;
  const std::int32_t rc = ctx.link.Transact(request);
  if (rc == PRN_OK) TakeResult(state, ctx.link.Result());
  const bool ran = state.BusyCount <= 0;
  state.BusyCount = 0;
  return rc >= 0 && ran;
}

bool PortIsOpen(const PrinterContext& ctx) {
  const ObjectState& state = ctx.state;
  return state.PortOpen && state.PortNumber != -1;
}

void SaveRefusal(PrinterContext& ctx) {
  ObjectState& state = ctx.state;
  state.SavedErrorWord = kRefusedErrorWord;
  state.CallStatus = kCallRefused;
}

void PreRead(PrinterContext& ctx) {
  ObjectState& state = ctx.state;
  state.PrinterSilent = false;
  const bool ran = RunCommand(ctx, PrnBuildReadStatus, 0);
  state.PrinterSilent = ran && (state.LastResult.ErrorWord & (kErrNoReply | kErrBusyLimit)) != 0;
  state.FailureFlag = 0;
}

bool SaveOutcome(PrinterContext& ctx) {
  ObjectState& state = ctx.state;
  state.SavedErrorWord = static_cast<std::int32_t>(state.LastResult.ErrorWord);
  std::memcpy(state.SavedStatus, state.LastResult.Status, sizeof state.SavedStatus);
  const bool ok = state.FailureFlag == 0;
  state.CallStatus = ok ? kCallSucceeded : kCallFailed;
  return ok;
}

}  // namespace molvex

namespace molvex {

const char* ReplyField(const PrinterContext& ctx, int number) {
  const RetData& result = ctx.state.LastResult;
  if (number < 1 || number > result.FieldCount || number > kRetDataFields) return "";
  const char* field = result.Fields[number - 1];
  return field != nullptr ? field : "";
}

}  // namespace molvex

namespace molvex {

bool PortTestFitsAndPreRead(PrinterContext& ctx, const PrnRequest& request) {
  if (!request.FitsWhole()) {
    SaveRefusal(ctx);
    return false;
  }
  return PortTestAndPreRead(ctx);
}

Outcome RunSavedRequest(PrinterContext& ctx, const PrnRequest& request) {
  if (!RunRequest(ctx, request)) {
    SaveRefusal(ctx);
    return Outcome::Refused;
  }
  return SaveOutcome(ctx) ? Outcome::Succeeded : Outcome::Failed;
}

Outcome RunFramedText(PrinterContext& ctx, const PrnRequest& request) {
  if (!PortTestFitsAndPreRead(ctx, request)) return Outcome::Refused;
  return RunSavedRequest(ctx, request);
}

Outcome StatusCheck(PrinterContext& ctx) {
  if (!RunCommand(ctx, PrnBuildReadStatus, 0)) {
    SaveRefusal(ctx);
    return Outcome::Refused;
  }
  if (ctx.state.FailureFlag == 0) return Outcome::Succeeded;
  SaveOutcome(ctx);
  return Outcome::Failed;
}

bool PortTestAndPreRead(PrinterContext& ctx) {
  if (!PortIsOpen(ctx)) {
    SaveRefusal(ctx);
    return false;
  }
  PreRead(ctx);
  return true;
}

namespace {

// "U+0416" for the character at `at`, a surrogate pair read as one.
std::string CodePoint(const OLECHAR* text, std::size_t length, std::size_t at) {
  std::uint32_t value = text[at];
  if (value >= 0xD800 && value <= 0xDBFF && at + 1 < length && text[at + 1] >= 0xDC00 &&
      text[at + 1] <= 0xDFFF) {
    value = 0x10000 + ((value - 0xD800) << 10) + (text[at + 1] - 0xDC00);
  }
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(value));
  return name;
}

// The position (from 1) of the character that begins at unit `at`: pairs count once.
std::size_t CharacterPosition(const OLECHAR* text, std::size_t at) {
  std::size_t position = 1;
  for (std::size_t i = 0; i < at; ++i) {
    if (!(text[i] >= 0xDC00 && text[i] <= 0xDFFF && i > 0 && text[i - 1] >= 0xD800 &&
          text[i - 1] <= 0xDBFF)) {
      ++position;
    }
  }
  return position;
}

std::string SeparatorName(char c) {
  switch (c) {
    case ',':
      return "a comma (',')";
    case ' ':
      return "a blank (' ')";
    case ';':
      return "a semicolon (';')";
    default:
      return std::string("the character '") + c + "'";
  }
}

}  // namespace

std::string ClientTextFault(BSTR text, std::string_view parameter, std::string_view separators,
                            std::string& bytes) {
  bytes.clear();
  const std::string name(parameter);
  const std::string code_page = std::to_string(PrinterCodePage());
  if (!PrinterCodePageKnown()) {
    return name + ": nothing was sent, the printer's code page " + code_page +
           " (ZRepRec.ini, [Printer] CodePage) is not one the driver can convert to; name a "
           "single-byte code page such as 1251 there and open the port again";
  }
  const std::size_t length = text != nullptr ? SysStringLen(text) : 0;
  const std::size_t bad = WideToPrinterExact(text, length, bytes);
  if (bad < length) {
    return name + ": character " + std::to_string(CharacterPosition(text, bad)) + " (" +
           CodePoint(text, length, bad) + ") has no place in the printer's code page " + code_page +
           "; nothing was sent. Use characters the printer can print";
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", byte);
    if (byte < 0x20 || byte == 0x7F) {
      return name + ": character " + std::to_string(i + 1) + " is the control character " + hex +
             ", which a printer text cannot hold; nothing was sent. Remove it from the text";
    }
    if (separators.find(bytes[i]) != std::string_view::npos) {
      return name + ": character " + std::to_string(i + 1) + " is " + SeparatorName(bytes[i]) +
             ", which separates this text from the next field of the printer's command; nothing "
             "was sent. Leave it out of this text";
    }
  }
  return {};
}

std::string ClientText(PrinterContext& ctx, BSTR text, std::string_view parameter,
                       std::string_view separators) {
  std::string bytes;
  const std::string fault = ClientTextFault(text, parameter, separators, bytes);
  if (!fault.empty()) {
    SaveRefusal(ctx);
    throw ObjectError(fault);
  }
  return bytes;
}

std::string FixedText(double value, int decimals) {
  char digits[400];  // the largest double has 309 integer digits
  const auto result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc{}) return std::string(sizeof digits, '9');  // cannot happen
  return std::string(digits, result.ptr);
}

bool ReplyInteger(const PrinterContext& ctx, int number, std::int64_t& value) {
  const std::string_view field = ReplyField(ctx, number);
  if (field.empty() || field.front() == '+') return false;
  std::int64_t parsed = 0;
  const auto result = std::from_chars(field.data(), field.data() + field.size(), parsed);
  if (result.ec != std::errc{} || result.ptr != field.data() + field.size()) return false;
  value = parsed;
  return true;
}

}  // namespace molvex
