#include "trace/protocol_trace.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "link/commands.h"
#include "link/link.h"
#include "platform/append_file.h"
#include "platform/diagnostics.h"
#include "platform/text_codec.h"

namespace molvex {

namespace trace_detail {
std::atomic<bool> on{false};
}  // namespace trace_detail

namespace {

// The trace of the process: its file and settings. Blocks are appended under `lock`, so that the
// entries of several threads (objects on contexts of their own) never mix their lines.
struct TraceState {
  std::recursive_mutex lock;         // the file: appends, start and stop
  std::unique_ptr<AppendFile> file;  // while on
  std::int64_t max_bytes = kTraceDefaultMaxKB * 1024;
  TraceOrigin origin = TraceOrigin::Settings;
  Clock* clock = nullptr;
  std::int64_t pid = 0;
};

TraceState& State() {
  static TraceState state;
  return state;
}

// The running entry's block: one per thread, since each thread runs its own entries.
struct EntryBlock {
  bool in_entry = false;
  std::string block;  // keeps its capacity from entry to entry
  std::vector<std::string> passwords;
  std::int64_t started_ms = 0;
};

EntryBlock& Block() {
  thread_local EntryBlock block;
  return block;
}

Clock& TraceClock() {
  Clock* clock = State().clock;
  return clock != nullptr ? *clock : SystemClock();
}

// The lines are appended piece by piece into the entry's block: no formatted printing and no
// temporary strings, since they are built between a reply and the next request.

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendDecimal(std::string& out, std::int64_t value) {
  char text[24];
  const auto r = std::to_chars(text, text + sizeof text, value);
  out.append(text, r.ptr);
}

void Append2(std::string& out, int value) {
  out += static_cast<char>('0' + value / 10 % 10);
  out += static_cast<char>('0' + value % 10);
}

void AppendHex8(std::string& out, std::uint8_t value) {
  out += kHexDigits[value >> 4];
  out += kHexDigits[value & 0x0F];
}

// "0x0000ABCD"
void AppendHex32(std::string& out, std::uint32_t value) {
  out += "0x";
  for (int shift = 28; shift >= 0; shift -= 4) out += kHexDigits[(value >> shift) & 0x0F];
}

// "2026-12-10 14:03:07.412 pid 4242 "
void AppendStampAndPid(std::string& out) {
  const LocalDateTime t = TraceClock().LocalNow();
  AppendDecimal(out, t.year);
  out += '-';
  const struct {
    int value;
    char after;
  } parts[] = {{t.month, '-'}, {t.day, ' '}, {t.hour, ':'}, {t.minute, ':'}, {t.second, '.'}};
  for (const auto& part : parts) {
    Append2(out, part.value);
    out += part.after;
  }
  out += static_cast<char>('0' + t.millisecond / 100 % 10);
  Append2(out, t.millisecond % 100);
  out += " pid ";
  AppendDecimal(out, State().pid);
  out += ' ';
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// UTF-8 text in double quotes, control characters, quotes and backslashes escaped.
void AppendEscaped(std::string& out, std::string_view utf8) {
  out += '"';
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
          out += "\\x";
          AppendHex8(out, b);
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

// 8-bit text quoted as UTF-8. Most data texts and fields are plain ASCII, the same in both
// encodings.
void AppendQuoted8(std::string& out, std::string_view text) {
  if (IsAscii(text)) return AppendEscaped(out, text);
  const auto wide = PrinterToWide(text);
  AppendEscaped(out, WideToUtf8(wide.data(), wide.size()));
}

// `data` with the passwords at `place` masked as ***.
std::string Masked(std::string_view data, PrnPasswordPlace place,
                   const std::vector<std::string>& passwords) {
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

// The data text of `command` (NUL-terminated) as it may be shown: itself, or, when it carries
// passwords, `masked` filled with it masked.
std::string_view ShownData(std::int32_t command, const char* data,
                           const std::vector<std::string>& passwords, std::string& masked) {
  const PrnPasswordPlace place = PrnPasswordField(command, data);
  if (place.count == 0) return data;
  masked = Masked(data, place, passwords);
  return masked;
}

// The kind of ending, by the link bits of the error word.
const char* Ending(std::uint32_t error_word) {
  if ((error_word & kErrNoReply) != 0) return "time-out";
  if ((error_word & kErrBusyLimit) != 0) return "busy past the limit";
  if ((error_word & kErrNak) != 0) return "NAK";
  if ((error_word & kErrChecksum) != 0) return "check mismatch";
  return "reply";
}

void Fail(const TraceState& state, const char* what) {
  const std::string reason = std::strerror(errno);
  WriteNotice("MolvexECR: protocol trace stopped: cannot " + std::string(what) + " " +
              state.file->path() + ": " + reason);
  TraceStop();
}

// Appends the block; the file is renamed to <path>.1 first when it has reached its size.
void WriteBlock(const std::string& block) {
  TraceState& state = State();
  const std::lock_guard<std::recursive_mutex> hold(state.lock);
  if (state.file == nullptr) return;  // stopped by another thread meanwhile
  AppendFile& file = *state.file;
  const std::int64_t size = file.Open();
  if (size < 0) return Fail(state, "open");
  if (size > 0 && size >= state.max_bytes) {
    file.Close();
    const std::string older = file.path() + ".1";
    std::remove(older.c_str());
    if (std::rename(file.path().c_str(), older.c_str()) != 0) return Fail(state, "rename");
    if (file.Open() < 0) return Fail(state, "open");
  }
  if (!file.Append(block)) Fail(state, "write");
}

void TransactionStarted(std::int32_t command, const char* data) {
  EntryBlock& state = Block();
  std::string& b = state.block;
  if (!state.in_entry) {
    b.clear();
    AppendStampAndPid(b);
    b += "(outside any entry)\n";
  }
  b += "  ";
  AppendDecimal(b, command);
  b += ' ';
  b += PrnCommandNameUtf8(command);
  b += ' ';
  std::string masked;
  AppendQuoted8(b, ShownData(command, data != nullptr ? data : "", state.passwords, masked));
  b += '\n';
  state.started_ms = TraceClock().MonotonicMs();
}

void TransactionEnded(const RetData& result, std::uint32_t syn_bytes) {
  EntryBlock& state = Block();
  const std::int64_t ms = TraceClock().MonotonicMs() - state.started_ms;
  std::string& b = state.block;
  b += "     ";
  b += Ending(result.ErrorWord);
  b += " after ";
  AppendDecimal(b, ms);
  b += " ms, ";
  AppendDecimal(b, syn_bytes);
  b += " SYN, error word ";
  AppendHex32(b, result.ErrorWord);
  b += ", status";
  for (const std::uint8_t s : result.Status) {
    b += ' ';
    AppendHex8(b, s);
  }
  const int count = result.FieldCount < kRetDataFields ? result.FieldCount : kRetDataFields;
  const auto field = [&result](int i) -> std::string_view {
    return result.Fields[i] != nullptr ? result.Fields[i] : "";
  };
  if (result.Command == kCmdReadZData && count >= 1) {
    // The archive data is the day's fiscal record: its size, not its text.
    b += ", Z data chunk ";
    AppendQuoted8(b, field(0));
    if (count >= 2) {
      b += ", ";
      AppendDecimal(b, static_cast<std::int64_t>(field(1).size()));
      b += " characters";
    } else {
      b += ", no data";
    }
  } else if (count <= 0) {
    b += ", no fields";
  } else {
    b += ", ";
    AppendDecimal(b, count);
    b += count == 1 ? " field: " : " fields: ";
    for (int i = 0; i < count; ++i) {
      if (i > 0) b += ',';
      AppendQuoted8(b, field(i));
    }
  }
  b += '\n';
  if (!state.in_entry) {
    WriteBlock(b);
    b.clear();
  }
}

// "     dropped: answer to another request, sequence 0x22 command 74 "data""
void FrameDropped(std::uint8_t sequence, std::uint8_t command, const char* data) {
  std::string& b = Block().block;
  b += "     dropped: answer to another request, sequence 0x";
  AppendHex8(b, sequence);
  b += " command ";
  AppendDecimal(b, command);
  b += ' ';
  AppendQuoted8(b, data != nullptr ? data : "");
  b += '\n';
}

// The hooks guard the transaction against anything the trace throws.
void SafeStarted(std::int32_t command, const char* data) {
  try {
    TransactionStarted(command, data);
  } catch (...) {
    Block().block.clear();
  }
}
void SafeEnded(const RetData& result, std::uint32_t syn_bytes) {
  try {
    TransactionEnded(result, syn_bytes);
  } catch (...) {
    Block().block.clear();
  }
}

void SafeDropped(std::uint8_t sequence, std::uint8_t command, const char* data) {
  try {
    FrameDropped(sequence, command, data);
  } catch (...) {
    Block().block.clear();
  }
}

constexpr PrnWatch kWatch{&SafeStarted, &SafeEnded, &SafeDropped};

}  // namespace

void TraceStart(const std::string& path, std::int64_t max_kb, TraceOrigin origin) {
  if (path.empty()) return TraceStop();
  TraceState& state = State();
  const std::lock_guard<std::recursive_mutex> hold(state.lock);
  if (state.file == nullptr || state.file->path() != path) {
    state.file = std::make_unique<AppendFile>(path);
  }
  const std::int64_t kb = max_kb <= 0 ? kTraceDefaultMaxKB : std::min(max_kb, kTraceLargestMaxKB);
  state.max_bytes = kb * 1024;
  state.origin = origin;
  state.pid = CurrentProcessId();
  Block().block.reserve(4096);
  trace_detail::on = true;
  LinkSetWatch(&kWatch);
}

void TraceStop() {
  TraceState& state = State();
  const std::lock_guard<std::recursive_mutex> hold(state.lock);
  trace_detail::on = false;
  LinkSetWatch(nullptr);
  state.file.reset();
  state.origin = TraceOrigin::Settings;
  // The calling thread's entry ends unwritten; another thread's open block is dropped at its end.
  EntryBlock& block = Block();
  block.in_entry = false;
  block.block.clear();
  block.passwords.clear();
}

void TraceStartFromEnvironment() {
  const char* path = std::getenv("MOLVEXECR_TRACE");
  if (path != nullptr && *path != '\0') TraceStart(path, 0, TraceOrigin::Explicit);
}

void TraceFromSettings(const std::string& file, std::int64_t max_kb) {
  const std::lock_guard<std::recursive_mutex> hold(State().lock);
  if (TraceOn() && State().origin == TraceOrigin::Explicit) return;
  if (file.empty()) {
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
  EntryBlock& state = Block();
  if (!TraceOn() || state.in_entry) return;
  state.in_entry = true;
  state.passwords = std::move(passwords);
  state.block.clear();
  AppendStampAndPid(state.block);
  state.block += call;
  state.block += '\n';
}

void TraceEntryEnd(std::string_view results) {
  EntryBlock& state = Block();
  if (!state.in_entry) return;
  state.block += "  = ";
  state.block += results;
  state.block += '\n';
  state.in_entry = false;
  state.passwords.clear();
  if (TraceOn()) WriteBlock(state.block);
  state.block.clear();
}

bool TraceInEntry() {
  return Block().in_entry;
}

std::string TraceQuoted8(std::string_view text) {
  std::string out;
  AppendQuoted8(out, text);
  return out;
}

std::string TraceQuotedUtf8(std::string_view text) {
  std::string out;
  AppendEscaped(out, text);
  return out;
}

std::string TraceHex32(std::uint32_t value) {
  std::string out;
  AppendHex32(out, value);
  return out;
}

std::string TraceMaskData(std::int32_t command, std::string_view data,
                          const std::vector<std::string>& passwords) {
  const std::string terminated(data);
  std::string masked;
  return std::string(ShownData(command, terminated.c_str(), passwords, masked));
}

}  // namespace molvex
