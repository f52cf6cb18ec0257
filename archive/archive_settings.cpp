#include "archive/archive_settings.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/settings_dir.h"

namespace molvex {
namespace {

ArchiveSettings shared_settings;

constexpr std::uint32_t kIdentifierBuffer = 10;  // identifiers: at most 9 characters
constexpr std::uint32_t kValueBuffer = 500;      // other values: at most 499 characters
constexpr std::uint32_t kLongestPath = 32767;    // the longest path Windows knows

// Why an identifier is refused (SetComPort's error information).
constexpr char kUnusableIdentifier[] =
    "holds a character that a file name cannot carry (a control character, \\ / : * ? \" < > | "
    "or ..); the archive names go without it";
constexpr char kPathTooLong[] =
    "is longer than any path (32767 characters); the archive goes to the settings directory";

void Refuse(std::vector<RefusedSetting>* refused, const char* key, const char* reason) {
  if (refused != nullptr) refused->push_back(RefusedSetting{key, reason});
}

struct Reader {
  const std::string& file;

  std::string Text(const char* section, const char* key, const char* fallback,
                   std::uint32_t size) const {
    char buffer[kValueBuffer];
    const std::uint32_t n = ReadIniString(section, key, fallback, buffer, size, file.c_str());
    return std::string(buffer, n);
  }

  // The whole value however long, up to kLongestPath characters; false when it is longer.
  bool Whole(const char* section, const char* key, const char* fallback, std::string& out) const {
    for (std::uint32_t size = kValueBuffer;; size *= 2) {
      std::string buffer(size, '\0');
      const std::uint32_t n =
          ReadIniString(section, key, fallback, buffer.data(), size, file.c_str());
      if (n + 1 < size) {
        if (n > kLongestPath) return false;
        out.assign(buffer.data(), n);
        return true;
      }
      if (size > kLongestPath) return false;
    }
  }

  // Leading blanks, an optional sign and the digits up to the first non-digit; 0 without digits.
  std::int32_t Number(const char* section, const char* key, const char* fallback) const {
    const std::string text = Text(section, key, fallback, kValueBuffer);
    return static_cast<std::int32_t>(std::strtol(text.c_str(), nullptr, 10));
  }

  // The same as a 64-bit number.
  std::int64_t Number64(const char* section, const char* key, const char* fallback) const {
    const std::string text = Text(section, key, fallback, kValueBuffer);
    return static_cast<std::int64_t>(std::strtoll(text.c_str(), nullptr, 10));
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

bool IdentifierUsable(const std::string& id) {
  for (const char c : id) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
    if (std::strchr("\\/:*?\"<>|", c) != nullptr) return false;
  }
  return id.find("..") == std::string::npos;
}

std::int32_t ReadArchiveSettings(std::vector<RefusedSetting>* refused) {
  return ReadArchiveSettings(shared_settings, refused);
}

std::int32_t ReadArchiveSettings(ArchiveSettings& s, std::vector<RefusedSetting>* refused) {
  // Afresh each time: a file deleted or emptied since the last reading leaves none of its values.
  s = ArchiveSettings{};
  s.SettingsDir = SettingsDirectory();
  s.SettingsFile = s.SettingsDir + PathSeparator();
  s.SettingsFile += "ZRepRec.ini";
  // Without a file (and for a LocalPath refused below) everything goes to the settings
  // directory itself, never to the process's current directory.
  const std::string local_default = s.SettingsDir + PathSeparator();
  s.LocalPath = local_default;
  if (!FileExists(s.SettingsFile.c_str())) return kSettingsFileMissing;

  const Reader read{s.SettingsFile};
  s.IdReastaurant = read.Text("Identification", "IdReastaurant", "1", kIdentifierBuffer);
  const bool no_identifier = s.IdReastaurant.empty();
  s.FiscalPrinter = read.Text("Identification", "FiscalPrinter", "1", kIdentifierBuffer);
  s.FtpAddress = read.Text("Address", "FTP", "", kValueBuffer);
  s.FtpLogin = read.Text("Address", "Login", "", kValueBuffer);
  s.FtpPassword = read.Text("Address", "Password", "", kValueBuffer);
  s.Path = read.Text("Files", "Path", "", kValueBuffer);
  if (!read.Whole("Files", "LocalPath", local_default.c_str(), s.LocalPath)) {
    s.LocalPath = local_default;
    Refuse(refused, "LocalPath", kPathTooLong);
  }
  s.Extended = read.Text("Execution", "Mode", "Extended", kValueBuffer) == "Extended";
  s.Save = read.Text("Execution", "Save", "1", kValueBuffer) == "1";
  s.OutdatedDays = read.Number("OutdatedDel", "Days", "7");
  s.RetryRepeat = read.Number("RetryFTP", "Repeat", "5");
  s.RetryInterval = read.Number("RetryFTP", "RepeatInterval", "5");
  s.BusySeconds = BusySeconds(read.Text("Link", "BusySeconds", "", kValueBuffer));
  s.CodePage = read.Number("Printer", "CodePage", "1251");
  s.TraceFile = read.Text("Trace", "File", "", kValueBuffer);
  s.TraceMaxSizeKB = read.Number64("Trace", "MaxSizeKB", "");
  if (!IdentifierUsable(s.IdReastaurant)) {
    s.IdReastaurant.clear();
    Refuse(refused, "IdReastaurant", kUnusableIdentifier);
  }
  if (!IdentifierUsable(s.FiscalPrinter)) {
    s.FiscalPrinter.clear();
    Refuse(refused, "FiscalPrinter", kUnusableIdentifier);
  }
  return no_identifier ? kSettingsNoIdentifier : kSettingsRead;
}

}  // namespace molvex
