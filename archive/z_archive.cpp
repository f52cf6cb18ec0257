#include "archive/z_archive.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "archive/z_spool.h"
#include "platform/durable_file.h"
#include "platform/process_start.h"
#include "platform/text_file.h"

namespace molvex {
namespace {

Clock* capture_clock = nullptr;
ProgramStarter uploader_starter = nullptr;

// Copies beyond this many for one minute are refused rather than searched for ever.
constexpr int kMaxCopies = 9999;

// Captures that neither the archive nor the spool could take: stem and content, kept for the
// next WritePendingZArchives of this process.
std::vector<std::pair<std::string, std::string>> kept_in_process;

// Numbers of the clock with at least `width` digits.
std::string Digits(int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  return buffer;
}

}  // namespace

std::string ZLogLine(const LocalDateTime& t, std::string_view message) {
  std::string line = Digits(t.day, 2) + "-" + Digits(t.month, 2) + "-" + Digits(t.year, 4) + " " +
                     Digits(t.hour, 2) + ":" + Digits(t.minute, 2);
  line += message;
  line += " \n";
  return line;
}

std::string ZArchiveStem(const ArchiveSettings& settings, const LocalDateTime& t) {
  return Digits(t.year, 4) + Digits(t.month, 2) + Digits(t.day, 2) + Digits(t.hour, 2) +
         Digits(t.minute, 2) + settings.IdReastaurant + settings.FiscalPrinter;
}

std::string ZArchivePath(const ArchiveSettings& settings, std::string_view stem, int copy) {
  std::string path = settings.LocalPath;
  path += stem;
  if (copy >= 2) path += "_" + std::to_string(copy);
  return path + ".zre";
}

std::string ZArchivePath(const ArchiveSettings& settings, const LocalDateTime& t, int copy) {
  return ZArchivePath(settings, ZArchiveStem(settings, t), copy);
}

bool AppendZLog(const ArchiveSettings& settings, std::string_view message) {
  const std::string path = settings.LocalPath + "infoZ.log";
  if (!PassWriteStep("log", path)) return false;
  return AppendTextFile(path, ZLogLine(ZCaptureClock().LocalNow(), message));
}

bool ZArchiveFolderUsable(const ArchiveSettings& settings) {
  return FolderTakesNewFiles(settings.LocalPath);
}

bool WriteZArchive(const ArchiveSettings& settings, std::string_view stem, std::string_view content,
                   std::string& path, bool existing_copy_counts) {
  for (int copy = 1; copy <= kMaxCopies; ++copy) {
    path = ZArchivePath(settings, stem, copy);
    switch (WriteNewFileDurably(path, content, FileMode::Text)) {
      case NewFile::Written:
        return true;
      case NewFile::Exists: {
        std::string held;
        if (existing_copy_counts && ReadWholeFile(path, FileMode::Text, held) && held == content) {
          return true;
        }
        continue;
      }
      case NewFile::Failed:
        return false;
    }
  }
  return false;
}

bool WriteZArchive(const ArchiveSettings& settings, const LocalDateTime& t,
                   std::string_view content, std::string& path) {
  return WriteZArchive(settings, ZArchiveStem(settings, t), content, path);
}

namespace {

// The log line of a written archive: an empty one has a line of its own.
void LogArchived(const ArchiveSettings& settings, const std::string& path, bool empty) {
  AppendZLog(settings, empty ? kZLogArchivedEmpty + path : kZLogArchived + path);
}

}  // namespace

ZStored StoreZData(const ArchiveSettings& settings, const LocalDateTime& t,
                   std::string_view content) {
  return StoreZData(settings, ZArchiveStem(settings, t), content);
}

ZStored StoreZData(const ArchiveSettings& settings, std::string_view stem_view,
                   std::string_view content) {
  ZStored stored;
  const std::string stem(stem_view);
  const bool spooled = SpoolZData(stem, content, stored.spool);
  stored.archived = WriteZArchive(settings, stem, content, stored.path);
  if (!stored.archived) {
    AppendZLog(settings, kZLogArchiveFailed + stored.path);
    stored.spooled = spooled;
    if (spooled) {
      AppendZLog(settings, kZLogSpooled + stored.spool);
    } else {
      kept_in_process.emplace_back(stem, content);
      AppendZLog(settings, kZLogNotKept + stored.spool);
    }
    return stored;
  }
  LogArchived(settings, stored.path, content.empty());
  if (spooled) DropSpooledZData(stored.spool);
  if (!content.empty()) StartUploader(settings);
  return stored;
}

int WritePendingZArchives(const ArchiveSettings& settings) {
  std::vector<ZSpooled> pending = SpooledZData();
  if (pending.empty() && kept_in_process.empty()) return 0;
  if (!ZArchiveFolderUsable(settings)) return 0;
  int written = 0;
  bool upload = false;
  // Each archive is written, logged and counted; true when it was.
  const auto archive = [&](const std::string& stem, const std::string& content) {
    std::string path;
    if (!WriteZArchive(settings, stem, content, path, true)) {
      AppendZLog(settings, kZLogArchiveFailed + path);
      return false;
    }
    LogArchived(settings, path, content.empty());
    ++written;
    upload = upload || !content.empty();
    return true;
  };
  for (const ZSpooled& entry : pending) {
    if (entry.readable && archive(entry.stem, entry.content)) DropSpooledZData(entry.file);
  }
  for (auto it = kept_in_process.begin(); it != kept_in_process.end();) {
    it = archive(it->first, it->second) ? kept_in_process.erase(it) : it + 1;
  }
  if (upload) StartUploader(settings);
  return written;
}

bool ZDataAlreadyKept(const ArchiveSettings& settings, std::string_view content) {
  for (const auto& kept : kept_in_process) {
    if (kept.second == content) return true;
  }
  for (const ZSpooled& entry : SpooledZData()) {
    if (entry.readable && entry.content == content) return true;
  }
  const std::string folder = FolderOf(settings.LocalPath);
  std::string held;
  for (const std::string& name : FilesEndingIn(folder, ".zre")) {
    if (ReadWholeFile(folder + name, FileMode::Text, held) && held == content) return true;
  }
  return false;
}

void ForgetZDataKeptInProcess() {
  kept_in_process.clear();
}

void StartUploader(const ArchiveSettings& settings) {
  const std::string program = settings.LocalPath + "ArchSend.exe";
  switch (uploader_starter != nullptr ? uploader_starter(program) : StartProgram(program)) {
    case ProgramStart::Started:
      break;
    case ProgramStart::Missing:
      AppendZLog(settings, kZLogUploaderMissing + program);
      break;
    case ProgramStart::Failed:
      AppendZLog(settings, kZLogUploaderFailed + program);
      break;
  }
}

void SetZCaptureClock(Clock* clock) {
  capture_clock = clock;
}

Clock& ZCaptureClock() {
  return capture_clock != nullptr ? *capture_clock : SystemClock();
}

void SetUploaderStarter(ProgramStarter starter) {
  uploader_starter = starter;
}

}  // namespace molvex
