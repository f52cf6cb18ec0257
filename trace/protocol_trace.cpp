#include "trace/protocol_trace.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "link/commands.h"
#include "link/link.h"
#include "platform/diagnostics.h"
#include "platform/ini_file.h"
#include "platform/text_codec.h"

namespace molvex {

namespace trace_detail {
bool on = false;
}  // namespace trace_detail

namespace {

struct TraceState {
  std::string path;
  std::int64_t max_bytes = kTraceDefaultMaxKB * 1024;
  TraceOrigin origin = TraceOrigin::Settings;
  Clock* clock = nullptr;
  bool in_entry = false;
  std::string block;
  std::vector<std::string> passwords;
  std::int64_t started_ms = 0;
};

TraceState& State() {
  static TraceState state;
  return state;
}

Clock& TraceClock() {
  Clock* clock = State().clock;
  return clock != nullptr ? *clock : SystemClock();
}

void Append2(std::string& out, int value) {
  out += static_cast<char>('0' + value / 10 % 10);
  out += static_cast<char>('0' + value % 10);
}

// "2026-12-10 14:03:07.412 pid 4242 "
std::string StampAndPid() {
  const LocalDateTime t = TraceClock().LocalNow();
  std::string s = std::to_string(t.year) + "-";
  Append2(s, t.month);
  s += '-';
  Append2(s, t.day);
  s += ' ';
  Append2(s, t.hour);
  s += ':';
  Append2(s, t.minute);
  s += ':';
  Append2(s, t.second);
  s += '.';
  s += static_cast<char>('0' + t.millisecond / 100 % 10);
  Append2(s, t.millisecond % 100);
  s += " pid " + std::to_string(CurrentProcessId()) + " ";
  return s;
}

std::string Hex32(std::uint32_t value) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

std::string Hex8(std::uint8_t value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value));
  return text;
}

std::string Utf8Of8Bit(std::string_view text) {
  // Most data texts and fields are plain ASCII, the same in both encodings.
  if (std::all_of(text.begin(), text.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::string(text);
  }
  const auto wide = AnsiToWide(text);
  return WideToUtf8(wide.data(), wide.size());
}

// The command's name as UTF-8; the name of a one-byte code is converted on its first use only
// (no name is empty).
std::string CommandNameUtf8(std::int32_t command) {
  static std::array<std::string, 256> names;
  if (command < 0 || command >= static_cast<std::int32_t>(names.size())) {
    return Utf8Of8Bit(PrnCommandName(command));
  }
  std::string& name = names[static_cast<std::size_t>(command)];
  if (name.empty()) name = Utf8Of8Bit(PrnCommandName(command));
  return name;
}

std::string Escaped(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (b < 0x20 || b == 0x7F) {
          out += "\\x" + Hex8(b);
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

// The kind of ending, by the link bits of the error word.
const char* Ending(std::uint32_t error_word) {
  if ((error_word & kErrNoReply) != 0) return "time-out";
  if ((error_word & kErrNak) != 0) return "NAK";
  if ((error_word & kErrChecksum) != 0) return "check mismatch";
  return "reply";
}

void Fail(const TraceState& state, const char* what) {
  const std::string reason = std::strerror(errno);
  WriteNotice("MolvexECR: protocol trace stopped: cannot " + std::string(what) + " " + state.path +
              ": " + reason);
  TraceStop();
}

// Appends the block; the file is renamed to <path>.1 first when it has reached its size.
void WriteBlock(const std::string& block) {
  TraceState& state = State();
  std::FILE* file = std::fopen(state.path.c_str(), "a");
  if (file == nullptr) return Fail(state, "open");
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  if (size > 0 && size >= state.max_bytes) {
    std::fclose(file);
    const std::string older = state.path + ".1";
    std::remove(older.c_str());
    if (std::rename(state.path.c_str(), older.c_str()) != 0) return Fail(state, "rename");
    file = std::fopen(state.path.c_str(), "a");
    if (file == nullptr) return Fail(state, "open");
  }
  const bool written = std::fwrite(block.data(), 1, block.size(), file) == block.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) Fail(state, "write");
}

void TransactionStarted(std::int32_t command, const char* data) {
  TraceState& state = State();
  if (!state.in_entry) state.block = StampAndPid() + "(outside any entry)\n";
  state.block += "  " + std::to_string(command) + " " + CommandNameUtf8(command) + " " +
                 TraceQuoted8(TraceMaskData(command, data, state.passwords)) + "\n";
  state.started_ms = TraceClock().MonotonicMs();
}

void TransactionEnded(const RetData& result, std::uint32_t syn_bytes) {
  TraceState& state = State();
  const std::int64_t ms = TraceClock().MonotonicMs() - state.started_ms;
  std::string& b = state.block;
  b += "     ";
  b += Ending(result.ErrorWord);
  b += " after " + std::to_string(ms) + " ms, " + std::to_string(syn_bytes) + " SYN, error word " +
       Hex32(result.ErrorWord) + ", status";
  for (const std::uint8_t s : result.Status) b += " " + Hex8(s);
  const int count = result.FieldCount < kRetDataFields ? result.FieldCount : kRetDataFields;
  if (result.Command == kCmdReadZData && count >= 1) {
    // The archive data is the day's fiscal record: its size, not its text.
    b += ", Z data chunk " + TraceQuoted8(result.Fields[0]);
    b += count >= 2 ? ", " + std::to_string(std::strlen(result.Fields[1])) + " characters"
                    : ", no data";
  } else if (count <= 0) {
    b += ", no fields";
  } else {
    b += ", " + std::to_string(count) + (count == 1 ? " field: " : " fields: ");
    for (int i = 0; i < count; ++i) {
      if (i > 0) b += ",";
      b += TraceQuoted8(result.Fields[i] != nullptr ? result.Fields[i] : "");
    }
  }
  b += "\n";
  if (!state.in_entry) {
    WriteBlock(b);
    b.clear();
  }
}

// The hooks guard the transaction against anything the trace throws.
void SafeStarted(std::int32_t command, const char* data) {
  try {
    TransactionStarted(command, data);
  } catch (...) {
    State().block.clear();
  }
}
void SafeEnded(const RetData& result, std::uint32_t syn_bytes) {
  try {
    TransactionEnded(result, syn_bytes);
  } catch (...) {
    State().block.clear();
  }
}

constexpr PrnWatch kWatch{&SafeStarted, &SafeEnded};

bool StartFromEnvironment() {
  const char* path = std::getenv("MOLVEXECR_TRACE");
  if (path != nullptr && *path != '\0') TraceStart(path, 0, TraceOrigin::Explicit);
  return true;
}

const bool started_from_environment = StartFromEnvironment();

}  // namespace

void TraceStart(const std::string& path, std::int64_t max_kb, TraceOrigin origin) {
  if (path.empty()) return TraceStop();
  TraceState& state = State();
  state.path = path;
  state.max_bytes = (max_kb > 0 ? max_kb : kTraceDefaultMaxKB) * 1024;
  state.origin = origin;
  trace_detail::on = true;
  LinkSetWatch(&kWatch);
}

void TraceStop() {
  TraceState& state = State();
  trace_detail::on = false;
  LinkSetWatch(nullptr);
  state.path.clear();
  state.in_entry = false;
  state.block.clear();
  state.passwords.clear();
  state.origin = TraceOrigin::Settings;
}

void TraceFromSettingsFile(const std::string& settings_file) {
  if (TraceOn() && State().origin == TraceOrigin::Explicit) return;
  constexpr std::uint32_t kBuffer = 500;
  char file[kBuffer];
  char size[32];
  ReadIniString("Trace", "File", "", file, kBuffer, settings_file.c_str());
  ReadIniString("Trace", "MaxSizeKB", "", size, sizeof size, settings_file.c_str());
  const long long max_kb = std::strtoll(size, nullptr, 10);
  if (file[0] == '\0') {
    if (TraceOn()) TraceStop();
    return;
  }
  // A path that is already being written keeps its state; another one starts afresh.
  TraceStart(file, max_kb, TraceOrigin::Settings);
}

void TraceSetClock(Clock* clock) {
  State().clock = clock;
}

void TraceEntryBegin(std::string_view call, std::vector<std::string> passwords) {
  TraceState& state = State();
  if (!TraceOn() || state.in_entry) return;
  state.in_entry = true;
  state.passwords = std::move(passwords);
  state.block = StampAndPid();
  state.block += call;
  state.block += "\n";
}

void TraceEntryEnd(std::string_view results) {
  TraceState& state = State();
  if (!state.in_entry) return;
  state.block += "  = ";
  state.block += results;
  state.block += "\n";
  state.in_entry = false;
  state.passwords.clear();
  std::string block;
  block.swap(state.block);
  if (TraceOn()) WriteBlock(block);
}

bool TraceInEntry() {
  return State().in_entry;
}

std::string TraceQuoted8(std::string_view text) {
  return Escaped(Utf8Of8Bit(text));
}

std::string TraceQuotedUtf8(std::string_view text) {
  return Escaped(text);
}

std::string TraceMaskData(std::int32_t command, std::string_view data,
                          const std::vector<std::string>& passwords) {
  const PrnPasswordPlace place = PrnPasswordField(command, std::string(data).c_str());
  if (place.count == 0) return std::string(data);
  std::size_t pos = 0;
  for (int commas = 0; commas < place.commas; ++commas) {
    pos = data.find(',', pos);
    if (pos == std::string_view::npos) return std::string(data);
    ++pos;
  }
  std::string out(data.substr(0, pos));
  for (int k = 0; k < place.count && pos <= data.size(); ++k) {
    // The longest of the entry's passwords that stands here; else the field up to its comma.
    std::size_t length = std::string_view::npos;
    for (const std::string& p : passwords) {
      if (!p.empty() && data.substr(pos, p.size()) == p &&
          (length == std::string_view::npos || p.size() > length)) {
        length = p.size();
      }
    }
    if (length == std::string_view::npos) {
      const std::size_t comma = data.find(',', pos);
      length = (comma == std::string_view::npos ? data.size() : comma) - pos;
    }
    if (length > 0) out += "***";
    pos += length;
    if (k + 1 < place.count) {
      if (pos >= data.size() || data[pos] != ',') break;
      out += ',';
      ++pos;
    }
  }
  if (pos < data.size()) out += data.substr(pos);
  return out;
}

}  // namespace molvex
