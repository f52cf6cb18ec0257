// The Z-report archive settings, read from ZRepRec.ini in the settings directory each time
// SetComPort has opened the port. One process-wide record, replaced whole by each reading.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace molvex {

constexpr std::int32_t kDefaultBusySeconds = 120;
constexpr std::int32_t kMaxBusySeconds = 3600;

struct ArchiveSettings {
  std::string SettingsDir;    // the settings directory, without a final separator
  std::string SettingsFile;   // SettingsDir + separator + "ZRepRec.ini"
  std::string IdReastaurant;  // [Identification] IdReastaurant, at most 9 characters
  std::string FiscalPrinter;  // [Identification] FiscalPrinter, at most 9 characters
  std::string FtpAddress;     // [Address] FTP
  std::string FtpLogin;       // [Address] Login
  std::string FtpPassword;    // [Address] Password
  std::string Path;           // [Files] Path
  std::string LocalPath;      // [Files] LocalPath: prefix of the log, archive and uploader paths
  bool Extended = false;      // [Execution] Mode is exactly "Extended"
  bool Save = false;          // [Execution] Save is exactly "1"
  std::int32_t OutdatedDays = 0;   // [OutdatedDel] Days
  std::int32_t RetryRepeat = 0;    // [RetryFTP] Repeat
  std::int32_t RetryInterval = 0;  // [RetryFTP] RepeatInterval
  std::int32_t CodePage = 1251;    // [Printer] CodePage: the code page of the printer's text
  // [Link] BusySeconds: how long a busy printer's SYN may keep one request waiting, 1..3600;
  // the default 120 without the key, for a value that is no such number, or without the file.
  std::int32_t BusySeconds = kDefaultBusySeconds;
  std::string TraceFile;            // [Trace] File: the protocol trace's file; empty: no trace
  std::int64_t TraceMaxSizeKB = 0;  // [Trace] MaxSizeKB: its size limit (0 or less: the default)
};

// A value of the settings file that the reading did not take: its key and why, in plain ASCII
// for the caller's report.
struct RefusedSetting {
  const char* key;
  const char* reason;
};

// Results of ReadArchiveSettings (SetComPort passes 100 and -100 on as its own result).
constexpr std::int32_t kSettingsRead = 1;
constexpr std::int32_t kSettingsFileMissing = 100;
constexpr std::int32_t kSettingsNoIdentifier = -100;

// The one instance of the process.
ArchiveSettings& SharedArchiveSettings();

// Back to the empty record of a fresh process (tests).
void ResetArchiveSettings();

// Reads the settings file afresh into SharedArchiveSettings(): nothing of an earlier reading
// stays. kSettingsRead; kSettingsFileMissing (every value as in an empty record, LocalPath the
// settings directory itself); kSettingsNoIdentifier (IdReastaurant present but empty; the other
// keys are read all the same). Identifiers that a file name cannot carry are refused and left
// empty, and a LocalPath longer than any path is refused for the settings directory; each
// refusal is added to `refused` when given.
std::int32_t ReadArchiveSettings(std::vector<RefusedSetting>* refused = nullptr);
// The same into `into` (a printer context's own record).
std::int32_t ReadArchiveSettings(ArchiveSettings& into, std::vector<RefusedSetting>* refused);

// True when `id` can stand in a file name on every system: no control byte, none of
// \ / : * ? " < > |, and no "..".
bool IdentifierUsable(const std::string& id);

}  // namespace molvex
