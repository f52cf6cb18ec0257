#include "archive/z_spool.h"

#include "platform/durable_file.h"
#include "platform/settings_dir.h"

namespace molvex {
namespace {

constexpr std::string_view kHeader = "MolvexECR Z data\n";
constexpr std::string_view kSuffix = ".zsp";
constexpr std::string_view kMarkHeader = "MolvexECR Z report sent\n";
constexpr int kMaxCopies = 9999;

std::string SpoolFolder() {
  return SettingsDirectory() + PathSeparator();
}

// A stem read back from a file must name a file in the archive's folder and nothing else.
bool PlainName(std::string_view name) {
  if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
    if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) return false;
  }
  return true;
}

// The next line of `text` from `at` (without its line feed); false when none ends there.
bool NextLine(std::string_view text, std::size_t& at, std::string_view& line) {
  const std::size_t end = text.find('\n', at);
  if (end == std::string_view::npos) return false;
  line = text.substr(at, end - at);
  at = end + 1;
  return true;
}

}  // namespace

std::string ZSpoolText(std::string_view stem, std::string_view content) {
  std::string text(kHeader);
  text += stem;
  text += '\n';
  text += std::to_string(content.size());
  text += '\n';
  text += content;
  return text;
}

bool ParseZSpool(std::string_view text, std::string& stem, std::string& content) {
  if (text.substr(0, kHeader.size()) != kHeader) return false;
  std::size_t at = kHeader.size();
  std::string_view name;
  std::string_view length;
  if (!NextLine(text, at, name) || !NextLine(text, at, length) || !PlainName(name)) return false;
  if (length.empty() || length.size() > 12 ||
      length.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  if (std::stoull(std::string(length)) != text.size() - at) return false;  // cut short or grown
  stem = name;
  content = text.substr(at);
  return true;
}

bool SpoolZData(std::string_view stem, std::string_view content, std::string& file) {
  const std::string text = ZSpoolText(stem, content);
  for (int copy = 1; copy <= kMaxCopies; ++copy) {
    file = SpoolFolder() + std::string(stem) + (copy >= 2 ? "_" + std::to_string(copy) : "") +
           std::string(kSuffix);
    switch (WriteNewFileDurably(file, text, FileMode::Binary)) {
      case NewFile::Written:
        return true;
      case NewFile::Exists:
        continue;
      case NewFile::Failed:
        return false;
    }
  }
  return false;
}

std::vector<ZSpooled> SpooledZData() {
  std::vector<ZSpooled> spooled;
  const std::string folder = SpoolFolder();
  for (const std::string& name : FilesEndingIn(folder, kSuffix)) {
    ZSpooled entry;
    entry.file = folder + name;
    std::string text;
    entry.readable = ReadWholeFile(entry.file, FileMode::Binary, text) &&
                     ParseZSpool(text, entry.stem, entry.content);
    if (!entry.readable) {
      entry.stem.clear();
      entry.content.clear();
    }
    spooled.push_back(std::move(entry));
  }
  return spooled;
}

bool DropSpooledZData(const std::string& file) {
  return RemoveFileDurably(file);
}

std::string ZReportMarkFor(std::int32_t port) {
  return "zreport." + std::to_string(port) + ".pending";
}

bool MarkZReportSent(std::string_view stem, std::string_view mark) {
  const std::string file = SpoolFolder() + std::string(mark);
  std::string text(kMarkHeader);
  text += stem;
  text += '\n';
  NewFile written = WriteNewFileDurably(file, text, FileMode::Binary);
  if (written == NewFile::Exists && RemoveFileDurably(file)) {
    written = WriteNewFileDurably(file, text, FileMode::Binary);
  }
  return written == NewFile::Written;
}

bool ZReportMarked(std::string& stem, std::string_view mark) {
  std::string text;
  if (!ReadWholeFile(SpoolFolder() + std::string(mark), FileMode::Binary, text)) return false;
  if (text.size() <= kMarkHeader.size() || text.substr(0, kMarkHeader.size()) != kMarkHeader ||
      text.back() != '\n') {
    return false;
  }
  const std::string name = text.substr(kMarkHeader.size(), text.size() - kMarkHeader.size() - 1);
  if (!PlainName(name)) return false;
  stem = name;
  return true;
}

bool DropZReportMark(std::string_view mark) {
  return RemoveFileDurably(SpoolFolder() + std::string(mark));
}

}  // namespace molvex
