#include "platform/ini_file.h"

#include <ini.h>
#include <strings.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace molvex {
namespace {

constexpr std::string_view kBlanks = " \t\r\n\v\f";

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, const char* b) {
  return a.size() == std::strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

// The INI library finds sections and skips comments; it reads from the file's lines handed over
// one by one, so the raw line of every name/value pair it reports is at hand. Names and values
// are taken from that raw line the way Windows does: the name before the first "=", the value
// after it, both trimmed, at any length and with no inline comments. Lines are handed over
// without leading blanks and cut to the library's line buffer, so an indented line is never a
// continuation and a long line never spills into the next.
struct Lookup {
  const char* section;
  const char* key;
  std::string_view text;  // the whole file
  std::size_t next = 0;   // start of the next line
  std::string_view line;  // the line handed over last
  bool found = false;
  std::string value;
};

char* NextLine(char* str, int num, void* stream) {
  auto* l = static_cast<Lookup*>(stream);
  if (l->next >= l->text.size() || num < 3) return nullptr;
  const std::size_t end = l->text.find('\n', l->next);
  const std::size_t stop = end == std::string_view::npos ? l->text.size() : end;
  l->line = l->text.substr(l->next, stop - l->next);
  l->next = stop + 1;
  std::string_view handed = l->line;
  const auto first = handed.find_first_not_of(" \t");
  handed = first == std::string_view::npos ? std::string_view{} : handed.substr(first);
  // Zero bytes would end the line early inside the library; they end it here as well.
  handed = handed.substr(0, handed.find('\0'));
  const std::size_t n = handed.size() < static_cast<std::size_t>(num) - 2
                            ? handed.size()
                            : static_cast<std::size_t>(num) - 2;
  if (n > 0) std::memcpy(str, handed.data(), n);  // an empty line has no data at all
  str[n] = '\n';
  str[n + 1] = '\0';
  return str;
}

int OnPair(void* user, const char* section, const char* /*name*/, const char* /*value*/) {
  auto* l = static_cast<Lookup*>(user);
  if (l->found || !SameName(Trim(section), l->section)) return 1;
  const auto equals = l->line.find('=');
  if (equals == std::string_view::npos) return 1;
  if (!SameName(Trim(l->line.substr(0, equals)), l->key)) return 1;
  std::string_view value = Trim(l->line.substr(equals + 1));
  // Windows drops one pair of matching quotes around a value.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  l->value = value.substr(0, value.find('\0'));
  l->found = true;
  return 1;
}

std::uint32_t CopyCut(const char* text, std::size_t length, char* buffer, std::uint32_t size) {
  const std::size_t n = length < size - 1 ? length : size - 1;
  std::memcpy(buffer, text, n);
  buffer[n] = '\0';
  return static_cast<std::uint32_t>(n);
}

}  // namespace

std::uint32_t ReadIniString(const char* section, const char* key, const char* default_value,
                            char* buffer, std::uint32_t size, const char* path) {
  if (buffer == nullptr || size == 0) return 0;
  if (default_value == nullptr) default_value = "";
  if (section != nullptr && key != nullptr && path != nullptr) {
    // A file that cannot be read counts as an empty one.
    std::ifstream file(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    Lookup lookup{section, key, text, 0, {}, false, {}};
    // A line the library cannot parse is skipped and the rest of the file still read.
    ini_parse_stream(NextLine, &lookup, OnPair, &lookup);
    if (lookup.found) return CopyCut(lookup.value.data(), lookup.value.size(), buffer, size);
  }
  return CopyCut(default_value, std::strlen(default_value), buffer, size);
}

}  // namespace molvex
