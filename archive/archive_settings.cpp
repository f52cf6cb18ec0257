#include "archive/archive_settings.h"

#include <charconv>
#include <cstdlib>

#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/settings_dir.h"

namespace molvex {
namespace {

ArchiveSettings shared_settings;

constexpr std::uint32_t kIdentifierBuffer = 10;  // identifiers: at most 9 characters
constexpr std::uint32_t kValueBuffer = 500;      // other values: at most 499 characters

struct Reader {
  const std::string& file;

  std::string Text(const char* section, const char* key, const char* fallback,
                   std::uint32_t size) const {
    char buffer[kValueBuffer];
    const std::uint32_t n = ReadIniString(section, key, fallback, buffer, size, file.c_str());
    return std::string(buffer, n);
  }

  // Leading blanks, an optional sign and the digits up to the first non-digit; 0 without digits.
  std::int32_t Number(const char* section, const char* key, const char* fallback) const {
    const std::string text = Text(section, key, fallback, kValueBuffer);
    return static_cast<std::int32_t>(std::strtol(text.c_str(), nullptr, 10));
  }
};

// [Link] BusySeconds: digits only (blanks around them allowed), 1..kMaxBusySeconds; anything
// else takes the default.
std::int32_t BusySeconds(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  const std::size_t last = text.find_last_not_of(" \t");
  if (first == std::string::npos) return kDefaultBusySeconds;
  std::int32_t value = 0;
  const char* begin = text.data() + first;
  const char* end = text.data() + last + 1;
  const auto r = std::from_chars(begin, end, value);
  if (*begin == '-' || r.ec != std::errc{} || r.ptr != end || value < 1 ||
      value > kMaxBusySeconds) {
    return kDefaultBusySeconds;
  }
  return value;
}

}  // namespace

ArchiveSettings& SharedArchiveSettings() {
  return shared_settings;
}

void ResetArchiveSettings() {
  shared_settings = ArchiveSettings{};
}

std::int32_t ReadArchiveSettings() {
  ArchiveSettings& s = shared_settings;
  s.Extended = false;
  s.BusySeconds = kDefaultBusySeconds;
  s.SettingsDir = SettingsDirectory();
  s.SettingsFile = s.SettingsDir + PathSeparator() + "ZRepRec.ini";
  if (!FileExists(s.SettingsFile.c_str())) return kSettingsFileMissing;

  const Reader read{s.SettingsFile};
  std::string id = read.Text("Identification", "IdReastaurant", "1", kIdentifierBuffer);
  if (id.empty()) return kSettingsNoIdentifier;
  s.IdReastaurant = std::move(id);
  s.FiscalPrinter = read.Text("Identification", "FiscalPrinter", "1", kIdentifierBuffer);
  s.FtpAddress = read.Text("Address", "FTP", "", kValueBuffer);
  s.FtpLogin = read.Text("Address", "Login", "", kValueBuffer);
  s.FtpPassword = read.Text("Address", "Password", "", kValueBuffer);
  s.Path = read.Text("Files", "Path", "", kValueBuffer);
  const std::string local_default = s.SettingsDir + PathSeparator();
  s.LocalPath = read.Text("Files", "LocalPath", local_default.c_str(), kValueBuffer);
  s.Extended = read.Text("Execution", "Mode", "Extended", kValueBuffer) == "Extended";
  s.Save = read.Text("Execution", "Save", "1", kValueBuffer) == "1";
  s.OutdatedDays = read.Number("OutdatedDel", "Days", "7");
  s.RetryRepeat = read.Number("RetryFTP", "Repeat", "5");
  s.RetryInterval = read.Number("RetryFTP", "RepeatInterval", "5");
  s.BusySeconds = BusySeconds(read.Text("Link", "BusySeconds", "", kValueBuffer));
  return kSettingsRead;
}

}  // namespace molvex
