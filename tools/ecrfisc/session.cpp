#include "tools/ecrfisc/session.h"

#include <charconv>
#include <cstdio>
#include <istream>
#include <nlohmann/json.hpp>
#include <ostream>

#include "platform/error_info.h"
#include "tools/ecrfisc/entry_bindings.h"

namespace molvex::ecrfisc {
namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& j) {
  // Texts from the user may be broken UTF-8 (an unknown name); never throw over them.
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string RealText(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string Quoted(std::string_view text) {
  std::string q = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') q.push_back('\\');
    q.push_back(c);
  }
  return q + "\"";
}

std::string HexHresult(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return buf;
}

Json JsonValue(AutoType type, const ArgValue& v) {
  switch (type) {
    case AutoType::R8:
      return v.real;
    case AutoType::Bstr:
      return v.text;
    case AutoType::Bool:
      return v.integer != 0 ? -1 : 0;
    default:
      return v.integer;
  }
}

std::string TextValue(AutoType type, const ArgValue& v) {
  switch (type) {
    case AutoType::R8:
      return RealText(v.real);
    case AutoType::Bstr:
      return Quoted(v.text);
    case AutoType::Bool:
      return v.integer != 0 ? "true" : "false";
    default:
      return std::to_string(v.integer);
  }
}

struct StateSnapshot {
  LONG statusBytes = 0;
  LONG error = 0;
  int status[6] = {};
};

// Through the object's own read entries, which change nothing.
StateSnapshot ReadState(TTECRFiscImpl& object) {
  StateSnapshot s;
  object.get_StatusBytes(&s.statusBytes);
  object.GetError(&s.error);
  using StatusRead = HRESULT (STDMETHODCALLTYPE TTECRFiscImpl::*)(char*);
  const StatusRead reads[6] = {&TTECRFiscImpl::get_Status0, &TTECRFiscImpl::get_Status1,
                               &TTECRFiscImpl::get_Status2, &TTECRFiscImpl::get_Status3,
                               &TTECRFiscImpl::get_Status4, &TTECRFiscImpl::get_Status5};
  for (int i = 0; i < 6; ++i) {
    char byte = 0;
    (object.*reads[i])(&byte);
    const int value = static_cast<unsigned char>(byte);
    s.status[i] = value > 127 ? value - 256 : value;  // I1: signed
  }
  return s;
}

// The "error" member of a SetComPort that gave -1.
Json PortErrorJson(const PortErrorReport& report) {
  const PortOpenError& e = report.error;
  Json j;
  j["description"] = report.text;
  j["reason"] = ReasonKey(e.reason);
  if (!e.device.empty()) j["device"] = e.device;
  if (!e.mapping.empty()) j["mapping"] = e.mapping;
  if (e.system_code != 0) j["system_code"] = e.system_code;
  if (!e.system_text.empty()) j["system_text"] = e.system_text;
  if (!e.group.empty()) j["group"] = e.group;
  if (!e.holder.empty()) j["holder"] = e.holder;
  return j;
}

// Reads one line of at most kMaxLineBytes; `tooLong` when more followed (skipped to the end).
bool ReadLine(std::istream& in, std::string& line, bool& tooLong) {
  line.clear();
  tooLong = false;
  std::streambuf* buf = in.rdbuf();
  bool any = false;
  for (;;) {
    const int c = buf->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      return any;
    }
    any = true;
    if (c == '\n') return true;
    if (line.size() < kMaxLineBytes) {
      line.push_back(static_cast<char>(c));
    } else {
      tooLong = true;
    }
  }
}

}  // namespace

Session::Session(TTECRFiscImpl& object, std::ostream& out, SessionOptions options)
    : object_(object), out_(out), options_(options) {}

void Session::PrintUsageError(const std::string& name, const std::string& message) {
  ++usage_errors_;
  if (options_.json) {
    Json j;
    j["call"] = name;
    j["usage_error"] = message;
    out_ << Dump(j) << "\n";
  } else {
    out_ << "error: " << (name.empty() ? "" : name + ": ") << message << "\n";
  }
  out_.flush();
}

CallResult Session::RunLine(std::string_view line) {
  CallResult result;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const bool echo = options_.echo && !options_.json;
  const ParsedCall whole = ParseCall(line);
  if (whole.blank) {  // a comment or an empty line
    if (echo) out_ << line << "\n";
    return result;
  }
  const CallLine split = SplitExpected(line);
  if (echo) {
    std::string_view shown = split.call;
    while (!shown.empty() && (shown.back() == ' ' || shown.back() == '\t')) shown.remove_suffix(1);
    out_ << "> " << shown << "\n";
  }
  const ParsedCall call = split.has_expected ? ParseCall(split.call) : whole;
  if (call.blank) {
    PrintUsageError("", "no call before \"=>\"");
    return result;
  }
  if (!call.error.empty()) {
    PrintUsageError(call.name, call.error);
    return result;
  }
  result.slot = call.slot;
  ClearErrorInfo();
  result.hresult = InvokeSlot(object_, *call.slot, call.args, result.outs);
  result.ran = true;
  ErrorInfoRecord info;
  const bool hasError = TakeErrorInfo(info);
  if (call.slot->name == "SetComPort" && result.hresult == 0 && result.outs.size() == 3 &&
      result.outs[2].integer == -1) {
    result.port_error = ExplainSetComPort(static_cast<std::int32_t>(call.args[0].integer),
                                          static_cast<std::int32_t>(call.args[1].integer));
  }
  PrintResult(result, hasError, info.description, info.source, split);
  return result;
}

void Session::PrintResult(const CallResult& result, bool hasError, const std::string& description,
                          const std::string& source, const CallLine& line) {
  const SlotInfo& slot = *result.slot;
  const bool outsValid = result.hresult >= 0;  // a failed call's out values mean nothing
  StateSnapshot state;
  if (options_.state) state = ReadState(object_);

  // The result line of the text form; what a line expects is compared with it after "Name:".
  std::string text = std::string(slot.name) + ":";
  bool first = true;
  for (std::size_t i = 0; outsValid && i < slot.params.size(); ++i) {
    const ParamInfo& p = slot.params[i];
    if (!IsOutput(p.dir)) continue;
    text += (first ? " " : ", ") + std::string(p.name) + " = " + TextValue(p.type, result.outs[i]);
    first = false;
  }
  if (slot.kind == EntryKind::PropPut && result.hresult == 0) text += " written";
  if (result.hresult != 0) text += " HRESULT " + HexHresult(result.hresult);
  const std::size_t before_error = text.size();
  if (hasError) text += "; error " + Quoted(description) + " from " + Quoted(source);
  std::string_view outcome = std::string_view(text).substr(slot.name.size() + 1);
  if (!outcome.empty() && outcome.front() == ' ') outcome.remove_prefix(1);
  // The words a line expects may stop before the error information.
  const std::string_view without_error =
      outcome.substr(0, outcome.size() - (text.size() - before_error));
  const bool met = !line.has_expected || outcome == line.expected || without_error == line.expected;
  if (!met) ++unmet_expectations_;
  // A port that did not open counts unless the line said it would not.
  if (result.port_error && !(line.has_expected && met)) ++ports_not_opened_;

  if (options_.json) {
    Json j;
    j["call"] = slot.name;
    j["hresult"] = result.hresult;
    Json outs = Json::object();
    for (std::size_t i = 0; outsValid && i < slot.params.size(); ++i) {
      const ParamInfo& p = slot.params[i];
      if (IsOutput(p.dir)) outs[std::string(p.name)] = JsonValue(p.type, result.outs[i]);
    }
    j["out"] = outs;
    if (hasError) j["error"] = Json{{"description", description}, {"source", source}};
    if (result.port_error) j["error"] = PortErrorJson(*result.port_error);
    if (options_.state) {
      j["state"] = Json{
          {"StatusBytes", state.statusBytes}, {"GetError", state.error}, {"Status", state.status}};
    }
    if (line.has_expected) {
      j["expected"] = std::string(line.expected);
      j["as_expected"] = met;
    }
    out_ << Dump(j) << "\n";
  } else {
    out_ << text << "\n";
    if (result.port_error) out_ << "  port error: " << result.port_error->text << "\n";
    if (!met) out_ << "  NOT AS EXPECTED: " << line.expected << "\n";
    if (options_.state) {
      out_ << "  state: StatusBytes " << state.statusBytes << ", GetError " << state.error
           << ", Status " << StatusText(state.status) << "\n";
    }
  }
  out_.flush();
}

std::size_t Session::RunStream(std::istream& in) {
  const std::size_t before = usage_errors_;
  std::string line;
  bool tooLong = false;
  bool first = true;
  for (;;) {
    if (options_.prompt) {
      out_ << "ecrfisc> ";
      out_.flush();
    }
    if (!ReadLine(in, line, tooLong)) break;
    // A script saved by a Windows editor as "UTF-8 with BOM" starts with the byte order mark.
    if (first && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    first = false;
    if (tooLong) {
      PrintUsageError("", "line longer than " + std::to_string(kMaxLineBytes) + " bytes");
      continue;
    }
    RunLine(line);
  }
  if (options_.prompt) out_ << "\n";
  return usage_errors_ - before;
}

void PrintTable(std::ostream& out, bool json) {
  for (const SlotInfo& s : InterfaceSlots()) {
    if (!json) {
      out << SlotLine(s) << "\n";
      continue;
    }
    Json params = Json::array();
    for (const ParamInfo& p : s.params) {
      params.push_back(Json{{"name", p.name},
                            {"type", AutoTypeName(p.type)},
                            {"dir", p.dir == ParamDir::Retval  ? "retval"
                                    : p.dir == ParamDir::Out   ? "out"
                                    : p.dir == ParamDir::InRef ? "in-written"
                                                               : "in"}});
    }
    out << Dump(Json{{"slot", s.slot},
                     {"name", s.name},
                     {"kind", EntryKindName(s.kind)},
                     {"dispid", s.dispid},
                     {"params", params}})
        << "\n";
  }
}

int ExitStatus(const Session& session) {
  if (session.usage_errors() != 0) return 2;
  if (session.ports_not_opened() != 0) return 3;
  return session.unmet_expectations() == 0 ? 0 : 1;
}

std::string StatusText(const int (&status)[6]) {
  std::string text;
  for (const int b : status) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(b) & 0xFFu);
    if (!text.empty()) text += ' ';
    text += hex;
  }
  return text;
}

int RunProbe(TTECRFiscImpl& object, std::ostream& out, SessionOptions options, int port,
             int speed) {
  options.state = true;
  options.prompt = false;
  Session session(object, out, options);
  const CallResult opened =
      session.RunLine("SetComPort " + std::to_string(port) + " " + std::to_string(speed));
  // 1, or 100 / -100 from the settings file: the port is open in every case but -1.
  if (!opened.ran || opened.hresult != 0 || opened.outs.back().integer == -1) return 1;
  const CallResult present = session.RunLine("IsPresent");
  session.RunLine("ID_DEV");
  session.RunLine("GetSerNumber");
  session.RunLine("DateTime");
  session.RunLine("CloseComPort " + std::to_string(port));
  return present.ran && present.hresult == 0 && present.outs.back().integer != 0 ? 0 : 1;
}

}  // namespace molvex::ecrfisc
