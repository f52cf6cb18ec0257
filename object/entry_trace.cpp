#include "object/entry_trace.h"

#include <charconv>
#include <string_view>

#include "object/automation_text.h"
#include "object/call_pattern.h"
#include "object/interface_table.h"
#include "platform/text_codec.h"

namespace molvex {
namespace {

// The running entry's own HRESULT and message: one entry at a time on each thread.
thread_local HRESULT noted_result = S_OK;
thread_local std::string noted_message;

std::string Real(double value) {
  char text[64];
  const auto r = std::to_chars(text, text + sizeof text, value);
  return r.ec == std::errc{} ? std::string(text, r.ptr) : std::string("?");
}

std::string Integer(long long value, bool boolean) {
  if (boolean && value == VARIANT_TRUE) return "true";
  if (boolean && value == VARIANT_FALSE) return "false";
  return std::to_string(value);
}

std::string Text(BSTR text) {
  return TraceQuotedUtf8(WideToUtf8(text, SysStringLen(text)));
}

std::string Value(const TraceArg& arg, bool boolean) {
  switch (arg.kind()) {
    case TraceArg::Kind::Integer:
    case TraceArg::Kind::OutInteger:
      return Integer(arg.integer(), boolean);
    case TraceArg::Kind::Real:
    case TraceArg::Kind::OutReal:
      return Real(arg.real());
    case TraceArg::Kind::Text:
    case TraceArg::Kind::OutText:
      return Text(arg.text());
  }
  return "?";
}

}  // namespace

long long TraceArg::integer() const {
  if (kind_ == Kind::OutInteger) return out_ != nullptr ? read_(out_) : 0;
  return integer_;
}

double TraceArg::real() const {
  if (kind_ == Kind::OutReal) return out_ != nullptr ? *static_cast<const double*>(out_) : 0;
  return real_;
}

BSTR TraceArg::text() const {
  if (kind_ == Kind::OutText) return out_ != nullptr ? *static_cast<const BSTR*>(out_) : nullptr;
  return text_;
}

void EntryTrace::Begin(int slot_number, std::initializer_list<TraceArg> args) {
  noted_result = S_OK;
  noted_message.clear();
  const auto slots = InterfaceSlots();
  if (slot_number < 1 || static_cast<std::size_t>(slot_number) > slots.size()) return;
  const SlotInfo& slot = slots[static_cast<std::size_t>(slot_number - 1)];
  const EntryKind kind = slot.kind;
  std::vector<std::string> passwords;
  std::string inputs;
  std::size_t index = 0;
  for (const TraceArg& arg : args) {
    if (index == slot.params.size()) break;  // the traced entries pass their parameters only
    const ParamInfo& param = slot.params[index++];
    const std::string param_name(param.name);
    const bool boolean = param.type == AutoType::Bool;
    if (arg.is_output()) {
      outputs_.push_back({param_name, boolean, arg});
      continue;
    }
    if (!inputs.empty()) inputs += ", ";
    if (kind == EntryKind::Method) inputs += param_name + "=";
    if (param.secret) {
      inputs += "***";
      passwords.push_back(ToAnsi(arg.text()));
    } else {
      inputs += Value(arg, boolean);
    }
  }
  // As the command-line client writes calls: a method with its arguments, a property read by
  // its name alone, a property write as an assignment.
  std::string call(slot.name);
  if (kind == EntryKind::Method) call += "(" + inputs + ")";
  if (kind == EntryKind::PropPut) call += " = " + inputs;
  TraceEntryBegin(call, std::move(passwords));
  active_ = TraceInEntry();
}

void EntryTrace::End() noexcept {
  try {
    std::string results;
    bool missing = false;
    for (const Output& out : outputs_) {
      if (out.arg.out_missing()) {
        missing = true;
        continue;
      }
      results += out.name + "=" + Value(out.arg, out.boolean) + ", ";
    }
    if (missing) {
      results += "HRESULT " + TraceHex32(static_cast<std::uint32_t>(E_POINTER)) +
                 " (no place for the result), ";
    } else if (noted_result != S_OK) {
      results += "HRESULT " + TraceHex32(static_cast<std::uint32_t>(noted_result));
      if (!noted_message.empty()) results += " " + TraceQuotedUtf8(noted_message);
      results += ", ";
    }
    const ObjectState& state = state_;
    results += "StatusBytes=" + std::to_string(state.CallStatus) +
               ", GetError=" + std::to_string(ErrorCode(state.SavedErrorWord));
    TraceEntryEnd(results);
  } catch (...) {
    TraceEntryEnd("(results could not be traced)");
  }
}

void EntryTraceNote(HRESULT result, const char* message) noexcept {
  if (!TraceOn()) return;
  try {
    noted_result = result;
    noted_message = message != nullptr ? message : "";
  } catch (...) {
    noted_message.clear();
  }
}

}  // namespace molvex
