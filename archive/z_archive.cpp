#include "archive/z_archive.h"

#include <cstdio>

#include "platform/text_file.h"

namespace molvex {
namespace {

Clock* capture_clock = nullptr;
ProgramStarter uploader_starter = nullptr;

// Copies beyond this many for one minute are refused rather than searched for ever.
constexpr int kMaxCopies = 9999;

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

std::string ZArchivePath(const ArchiveSettings& settings, const LocalDateTime& t, int copy) {
  std::string path = settings.LocalPath + Digits(t.year, 4) + Digits(t.month, 2) +
                     Digits(t.day, 2) + Digits(t.hour, 2) + Digits(t.minute, 2) +
                     settings.IdReastaurant + settings.FiscalPrinter;
  if (copy >= 2) path += "_" + std::to_string(copy);
  return path + ".zre";
}

bool AppendZLog(const ArchiveSettings& settings, std::string_view message) {
  return AppendTextFile(settings.LocalPath + "infoZ.log",
                        ZLogLine(ZCaptureClock().LocalNow(), message));
}

bool WriteZArchive(const ArchiveSettings& settings, const LocalDateTime& t,
                   std::string_view content, std::string& path) {
  for (int copy = 1; copy <= kMaxCopies; ++copy) {
    path = ZArchivePath(settings, t, copy);
    switch (CreateNewTextFile(path, content)) {
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
