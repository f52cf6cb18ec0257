// The protocol trace: what was called, what went on the line and what came back, for support.
// Off by default, and then it costs one test per entry and per transaction. When on, every entry
// of the object becomes one block of UTF-8 lines, built in memory while the entry runs and
// appended to the trace file once when it ends; nothing is written while bytes are read.
//
//   2026-12-10 14:03:07.412 pid 4242 SellArtCash(Sign=true, NumArt=12, Quant=1.5, Perc=0, dc=0)
//     74 Получить состояние регистратора "W"
//        reply after 2 ms, 0 SYN, error word 0x00000000, status 00 00 00 00 00 00, 1 field: "0"
//     58 Регистрация продажи "12*1.500"
//        reply after 14 ms, 3 SYN, error word 0x00000000, status 00 00 00 00 00 00, no fields
//     = Result=true, StatusBytes=0, GetError=0
//
// Passwords never reach the file: the entry masks its password arguments and tells the trace
// their values, which are masked in the data texts where the command carries them. The Z-report
// data of command 167 appears as its chunk number and length only. Past its size the file is
// renamed to <file>.1 (one older file is kept) and begun anew. A trace that cannot be written
// stops, says so once (WriteNotice) and never changes what an entry does.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace molvex {

constexpr std::int64_t kTraceDefaultMaxKB = 10240;
// The largest size a trace file is let grow to (1 GiB); a larger MaxSizeKB is taken as this.
constexpr std::int64_t kTraceLargestMaxKB = 1024 * 1024;

// Where a trace was asked for. A settings file turns the trace on or off only when nothing
// explicit (the MOLVEXECR_TRACE environment variable, the command line) did.
enum class TraceOrigin { Settings, Explicit };

// Traces to `path`, kept below about `max_kb` kilobytes (0 or less: the default; more than
// kTraceLargestMaxKB: that). An empty path turns the trace off.
void TraceStart(const std::string& path, std::int64_t max_kb, TraceOrigin origin);
void TraceStop();

// The trace asked for by the environment variable MOLVEXECR_TRACE (a file name; unset or empty:
// nothing), as an explicit trace. Nothing starts a trace by itself: a program that wants this
// calls it once at its start (the COM server, ecrfisc).
void TraceStartFromEnvironment();

// The [Trace] section of the settings file as ArchiveSettings read it (TraceFile, TraceMaxSizeKB):
// turns the trace on, or off when the section names no file, unless an explicit trace is running.
void TraceFromSettings(const std::string& file, std::int64_t max_kb);

// The clock for the time stamps and durations (tests pass a fake one); nullptr: the system's.
void TraceSetClock(Clock* clock);

namespace trace_detail {
extern std::atomic<bool> on;
}  // namespace trace_detail

// True while a trace file is being written.
inline bool TraceOn() {
  return trace_detail::on.load(std::memory_order_relaxed);
}

// One entry: `call` is its name and arguments as UTF-8 (passwords already masked),
// `passwords` the 8-bit texts to mask in the data texts of its commands. Entries do not nest:
// a begin inside an entry is ignored, and so is its end.
void TraceEntryBegin(std::string_view call, std::vector<std::string> passwords);
// Ends the entry with its results (UTF-8) and writes the block.
void TraceEntryEnd(std::string_view results);
// True while an entry's block is open.
bool TraceInEntry();

// Helpers shared with the entry side.
// 8-bit text (the printer's code page) as UTF-8 in double quotes, control characters, quotes
// and backslashes escaped (\t, \n, \r, \", \\, \xNN).
std::string TraceQuoted8(std::string_view text);
// The same for UTF-8 text.
std::string TraceQuotedUtf8(std::string_view text);
// "0x" and eight upper-case hexadecimal digits, as error words and HRESULTs are shown.
std::string TraceHex32(std::uint32_t value);
// A data text with the passwords of `command` masked as ***.
std::string TraceMaskData(std::int32_t command, std::string_view data,
                          const std::vector<std::string>& passwords);

}  // namespace molvex
