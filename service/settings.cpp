#include "service/settings.h"

#ifdef _WIN32
#include <windows.h>

#include <cstring>
#else
#include <ini.h>
#endif

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>
#include <string_view>

namespace molvex::service {
namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> List(std::string_view text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = text.find(',', start);
    const std::size_t end = comma == std::string_view::npos ? text.size() : comma;
    std::string item = Trim(text.substr(start, end - start));
    if (!item.empty()) items.push_back(std::move(item));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return items;
}

bool Number(std::string_view text, std::int64_t low, std::int64_t high, std::int64_t& value) {
  const std::string t = Trim(text);
  const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
  return r.ec == std::errc{} && r.ptr == t.data() + t.size() && !t.empty() && value >= low &&
         value <= high;
}

bool Flag(std::string_view text, bool& value) {
  const std::string t = Trim(text);
  if (t == "yes" || t == "true" || t == "1" || t == "on") {
    value = true;
  } else if (t == "no" || t == "false" || t == "0" || t == "off" || t.empty()) {
    value = false;
  } else {
    return false;
  }
  return true;
}

struct Reader {
  ServiceSettings settings;
  std::vector<std::string>* errors;
  int line = 0;

  void Error(const std::string& what) { errors->push_back(what); }

  void Service(const std::string& key, const std::string& value) {
    std::int64_t n = 0;
    ServiceSettings& s = settings;
    if (key == "listen") {
      s.listen = List(value);
      if (s.listen.empty()) Error("[service] listen: no address");
    } else if (key == "port") {
      if (!Number(value, 1, 65535, n)) return Error("[service] port: a number 1..65535");
      s.port = static_cast<int>(n);
    } else if (key == "token_file") {
      s.token_file = value;
    } else if (key == "allowed_origins") {
      s.allowed_origins = List(value);
      for (const std::string& origin : s.allowed_origins) {
        if (origin == "*" || origin.find("://") == std::string::npos || origin.back() == '/') {
          Error("[service] allowed_origins: \"" + origin +
                "\" is no origin (scheme://host[:port], no path, no wildcard)");
        }
      }
    } else if (key == "allowed_hosts") {
      s.allowed_hosts = List(value);
    } else if (key == "body_limit") {
      if (!Number(value, 256, 16 * 1024 * 1024, n)) {
        return Error("[service] body_limit: a number of bytes 256..16777216");
      }
      s.body_limit = static_cast<std::size_t>(n);
    } else if (key == "journal") {
      if (value.empty()) return Error("[service] journal: a file name");
      s.journal = value;
    } else if (key == "job_wait_seconds") {
      if (!Number(value, 1, 3600, n)) return Error("[service] job_wait_seconds: 1..3600");
      s.job_wait_seconds = static_cast<int>(n);
    } else if (key == "queue_limit") {
      if (!Number(value, 1, 100000, n)) return Error("[service] queue_limit: 1..100000");
      s.queue_limit = static_cast<std::size_t>(n);
    } else if (key == "paid_receipt_left_open") {
      if (value != "close" && value != "cancel") {
        return Error("[service] paid_receipt_left_open: close or cancel");
      }
      s.close_paid_receipt = value == "close";
    } else if (key == "find_printers") {
      if (!Flag(value, s.find_printers)) Error("[service] find_printers: yes or no");
    } else {
      Error("[service]: unknown key " + key);
    }
  }

  void Printer(PrinterSettings& p, const std::string& key, const std::string& value) {
    std::int64_t n = 0;
    const std::string where = "[printer:" + p.id + "] " + key;
    if (key == "port") {
      if (!Number(value, 1, 255, n)) return Error(where + ": a port number 1..255");
      p.port = static_cast<std::int32_t>(n);
    } else if (key == "speed") {
      if (!Number(value, 1, 1000000, n)) return Error(where + ": a line speed");
      p.speed = static_cast<std::int32_t>(n);
    } else if (key == "device") {
      p.device = value;
    } else if (key == "operator_password") {
      p.operator_password = value;
    } else if (key == "admin_password") {
      p.admin_password = value;
    } else if (key == "paper") {
      p.paper = value;
    } else {
      Error(where + ": unknown key");
    }
  }

  static int Handle(void* user, const char* section, const char* name, const char* value) {
    auto* self = static_cast<Reader*>(user);
    const std::string s = section == nullptr ? "" : section;
    const std::string key = Trim(name == nullptr ? "" : name);
    const std::string v = Trim(value == nullptr ? "" : value);
    if (s == "service") {
      self->Service(key, v);
    } else if (s.rfind("printer:", 0) == 0) {
      const std::string id = s.substr(8);
      auto& printers = self->settings.printers;
      auto it = std::find_if(printers.begin(), printers.end(),
                             [&id](const PrinterSettings& p) { return p.id == id; });
      if (it == printers.end()) {
        if (!ValidPrinterId(id)) {
          self->Error("[" + s + "]: a printer id is 1..32 letters, digits, '-' or '_'");
          return 1;
        }
        printers.push_back(PrinterSettings{});
        printers.back().id = id;
        it = printers.end() - 1;
      }
      self->Printer(*it, key, v);
    } else {
      self->Error("[" + s + "]: unknown section");
    }
    return 1;
  }
};

}  // namespace

bool ValidPrinterId(const std::string& id) {
  if (id.empty() || id.size() > 32) return false;
  return std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
  });
}

bool IsLoopbackAddress(const std::string& address) {
  if (address == "::1" || address == "localhost") return true;
  return address.rfind("127.", 0) == 0;
}

#ifdef _WIN32
namespace {

// Windows has no inih: the text goes to a temporary file that the system's profile functions
// read section by section, as the driver reads ZRepRec.ini there. Each key reaches the handler
// as inih hands it; a line of a section that is no "key = value" is an error. Returns 0, or -1
// when the temporary file cannot be written.
int ParseIniText(const std::string& text,
                 int (*handler)(void*, const char*, const char*, const char*), void* user,
                 std::vector<std::string>& errors) {
  char dir[MAX_PATH + 1] = {};
  char file[MAX_PATH + 1] = {};
  if (GetTempPathA(sizeof dir, dir) == 0 || GetTempFileNameA(dir, "ini", 0, file) == 0) return -1;
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) {
      DeleteFileA(file);
      return -1;
    }
  }
  std::vector<char> names(64 * 1024);
  const DWORD got =
      GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), file);
  for (const char* section = names.data(); section < names.data() + got && *section != '\0';
       section += std::strlen(section) + 1) {
    std::vector<char> lines(64 * 1024);
    const DWORD n =
        GetPrivateProfileSectionA(section, lines.data(), static_cast<DWORD>(lines.size()), file);
    for (const char* line = lines.data(); line < lines.data() + n && *line != '\0';
         line += std::strlen(line) + 1) {
      const std::string entry = line;
      if (entry.empty() || entry[0] == ';' || entry[0] == '#') continue;
      const auto eq = entry.find('=');
      if (eq == std::string::npos) {
        errors.push_back("[" + std::string(section) + "]: not key = value: " + entry);
        continue;
      }
      handler(user, section, entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str());
    }
  }
  DeleteFileA(file);
  return 0;
}

}  // namespace
#endif

ServiceSettings ParseSettings(const std::string& text, std::vector<std::string>& errors) {
  Reader reader;
  reader.errors = &errors;
#ifdef _WIN32
  const int rc = ParseIniText(text, &Reader::Handle, &reader, errors);
#else
  const int rc = ini_parse_string(text.c_str(), &Reader::Handle, &reader);
#endif
  if (rc > 0) errors.push_back("line " + std::to_string(rc) + ": not a section or key = value");
  if (rc < 0) errors.push_back("the settings could not be read");
  return reader.settings;
}

ServiceSettings LoadSettings(const std::string& path, std::vector<std::string>& errors) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    errors.push_back(path + ": cannot be read");
    return {};
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ParseSettings(text, errors);
}

}  // namespace molvex::service
