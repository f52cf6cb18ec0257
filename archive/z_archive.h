// The files and the program of the Z-report capture: the info log infoZ.log, the archive file
// (".zre") and the start of the uploader ArchSend.exe, all under LocalPath of the archive
// settings. The time comes from a clock and the uploader is started through a starter that
// tests replace.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/archive_settings.h"
#include "platform/clock.h"
#include "platform/process_start.h"

namespace molvex {

// Messages of the info log, Windows-1251 text; each begins with a blank.
// " Ошибка связи с регистратором!": the status check before the Z report failed.
inline constexpr char kZLogNoLink[] =
    " \xCE\xF8\xE8\xE1\xEA\xE0 \xF1\xE2\xFF\xE7\xE8 \xF1 "
    "\xF0\xE5\xE3\xE8\xF1\xF2\xF0\xE0\xF2\xEE\xF0\xEE\xEC!";
// " Ошибка выполнения Z-Отчета!": the printer refused the Z report.
inline constexpr char kZLogReportFailed[] =
    " \xCE\xF8\xE8\xE1\xEA\xE0 \xE2\xFB\xEF\xEE\xEB\xED\xE5\xED\xE8\xFF "
    "Z-\xCE\xF2\xF7\xE5\xF2\xE0!";
// " Z-Отчет выполнен!": the Z report is done.
inline constexpr char kZLogReportDone[] =
    " Z-\xCE\xF2\xF7\xE5\xF2 \xE2\xFB\xEF\xEE\xEB\xED\xE5\xED!";
// " Ошибка чтения Z-Отчета из РРО!": the Z data could not be read back whole.
inline constexpr char kZLogReadFailed[] =
    " \xCE\xF8\xE8\xE1\xEA\xE0 \xF7\xF2\xE5\xED\xE8\xFF Z-\xCE\xF2\xF7\xE5\xF2\xE0 \xE8\xE7 "
    "\xD0\xD0\xCE!";
// " Z-Отчет считан и записан в файл: " + path: the archive file is written.
inline constexpr char kZLogArchived[] =
    " Z-\xCE\xF2\xF7\xE5\xF2 \xF1\xF7\xE8\xF2\xE0\xED \xE8 \xE7\xE0\xEF\xE8\xF1\xE0\xED \xE2 "
    "\xF4\xE0\xE9\xEB: ";
// " Ошибка записи Z-Отчета в файл: " + path: the archive file could not be written.
inline constexpr char kZLogArchiveFailed[] =
    " \xCE\xF8\xE8\xE1\xEA\xE0 \xE7\xE0\xEF\xE8\xF1\xE8 Z-\xCE\xF2\xF7\xE5\xF2\xE0 \xE2 "
    "\xF4\xE0\xE9\xEB: ";
// " Папка архива недоступна, Z-Отчет не выполнен: " + folder: no archive file could be created
// there, so the day was not closed.
inline constexpr char kZLogFolderUnusable[] =
    " \xCF\xE0\xEF\xEA\xE0 \xE0\xF0\xF5\xE8\xE2\xE0 \xED\xE5\xE4\xEE\xF1\xF2\xF3\xEF\xED\xE0, "
    "Z-\xCE\xF2\xF7\xE5\xF2 \xED\xE5 \xE2\xFB\xEF\xEE\xEB\xED\xE5\xED: ";
// " Z-Отчет считан, данных нет; записан пустой файл: " + path: the printer had no data.
inline constexpr char kZLogArchivedEmpty[] =
    " Z-\xCE\xF2\xF7\xE5\xF2 \xF1\xF7\xE8\xF2\xE0\xED, \xE4\xE0\xED\xED\xFB\xF5 \xED\xE5\xF2; "
    "\xE7\xE0\xEF\xE8\xF1\xE0\xED \xEF\xF3\xF1\xF2\xEE\xE9 \xF4\xE0\xE9\xEB: ";
// " Z-Отчет сохранен до записи в архив: " + spool file: the data waits there for the archive.
inline constexpr char kZLogSpooled[] =
    " Z-\xCE\xF2\xF7\xE5\xF2 \xF1\xEE\xF5\xF0\xE0\xED\xE5\xED \xE4\xEE \xE7\xE0\xEF\xE8\xF1\xE8 "
    "\xE2 \xE0\xF0\xF5\xE8\xE2: ";
// " Z-Отчет не сохранен на диске: " + spool file: neither the archive nor the spool could be
// written; the data is kept in the process only, for the next call that can write it.
inline constexpr char kZLogNotKept[] =
    " Z-\xCE\xF2\xF7\xE5\xF2 \xED\xE5 \xF1\xEE\xF5\xF0\xE0\xED\xE5\xED \xED\xE0 "
    "\xE4\xE8\xF1\xEA\xE5: ";

// " Недопустимое значение в ZRepRec.ini: " + key: a settings value was refused (SetComPort).
inline constexpr char kZLogSettingRefused[] =
    " \xCD\xE5\xE4\xEE\xEF\xF3\xF1\xF2\xE8\xEC\xEE\xE5 \xE7\xED\xE0\xF7\xE5\xED\xE8\xE5 \xE2 "
    "ZRepRec.ini: ";
// " Программа выгрузки не найдена: " + path: no uploader at its path.
inline constexpr char kZLogUploaderMissing[] =
    " \xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0 \xE2\xFB\xE3\xF0\xF3\xE7\xEA\xE8 \xED\xE5 "
    "\xED\xE0\xE9\xE4\xE5\xED\xE0: ";
// " Ошибка запуска программы выгрузки: " + path: the uploader is there, the system did not
// start it.
inline constexpr char kZLogUploaderFailed[] =
    " \xCE\xF8\xE8\xE1\xEA\xE0 \xE7\xE0\xEF\xF3\xF1\xEA\xE0 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB "
    "\xE2\xFB\xE3\xF0\xF3\xE7\xEA\xE8: ";

// How ZReport ends when the Z report itself stands but its capture does not (the HRESULT of
// the call; Result stays true and the call status 0).
constexpr std::int32_t kZDataNotRead = -101;        // 0xFFFFFF9B: the Z data could not be read
constexpr std::int32_t kZArchiveNotWritten = -102;  // 0xFFFFFF9A: the archive file could not be
                                                    // written; the uploader is not started

// One line of the info log: "dd-mm-yyyy hh:nn", the message, " \n".
std::string ZLogLine(const LocalDateTime& t, std::string_view message);

// "yyyymmdd", "hhnn", IdReastaurant, FiscalPrinter: the archive name of a capture at `t`
// without LocalPath, copy number and ".zre".
std::string ZArchiveStem(const ArchiveSettings& settings, const LocalDateTime& t);

// LocalPath, the stem, then "_<copy>" for copy 2 and up, then ".zre"; no separators.
std::string ZArchivePath(const ArchiveSettings& settings, std::string_view stem, int copy);
std::string ZArchivePath(const ArchiveSettings& settings, const LocalDateTime& t, int copy);

// Appends one line to LocalPath + "infoZ.log", stamped with the capture clock's time. A log
// that cannot be written is passed over: false tells it, nothing else changes.
bool AppendZLog(const ArchiveSettings& settings, std::string_view message);

// True when the archive's folder (the folder part of LocalPath) exists and a file can be
// created and written in it; ZReport asks before it closes the day.
bool ZArchiveFolderUsable(const ArchiveSettings& settings);

// Writes the archive file `content` under a name that no file has yet: LocalPath + stem +
// ".zre", else the same with "_2", "_3", ... An existing file is never replaced; the file is
// written durably (platform/durable_file.h). With `existing_copy_counts`, a file of one of
// these names that already holds exactly `content` is taken as this archive (a spooled capture
// whose archive was written before the process could drop the spool). `path` is the file
// written (or found), or on failure the name that could not be written.
bool WriteZArchive(const ArchiveSettings& settings, std::string_view stem, std::string_view content,
                   std::string& path, bool existing_copy_counts = false);
bool WriteZArchive(const ArchiveSettings& settings, const LocalDateTime& t,
                   std::string_view content, std::string& path);

// How the decoded data of a closed day was kept.
struct ZStored {
  bool archived = false;  // the archive file is written (`path`)
  bool spooled = false;   // not archived, but kept in the spool file `spool`
  std::string path;       // the archive file, or the name that could not be written
  std::string spool;      // the spool file, or the name that could not be written
};

// Keeps the data of a Z report captured at `t`: first in the spool (so that a crash cannot lose
// it), then in the archive file; logs the archive (as empty when there is no data), drops the
// spool and starts the uploader (not for an empty archive). When the archive cannot be written
// the data stays in the spool for WritePendingZArchives; when the spool cannot be written
// either, it stays in this process for the next WritePendingZArchives. Each step is logged.
ZStored StoreZData(const ArchiveSettings& settings, const LocalDateTime& t,
                   std::string_view content);
ZStored StoreZData(const ArchiveSettings& settings, std::string_view stem,
                   std::string_view content);

// True when `content` is kept already: an archive file in the folder of LocalPath, a capture in
// the spool or one kept in this process holds exactly it.
bool ZDataAlreadyKept(const ArchiveSettings& settings, std::string_view content);

// Writes the archives of the captures still pending (the spool, then those kept in the process)
// under the names they would have had, logs each, drops its spool file and starts the uploader
// once when any was written with data. Nothing happens when none is pending or the archive's
// folder cannot take files. Returns the number of archives written.
int WritePendingZArchives(const ArchiveSettings& settings);

// Forgets the captures kept in this process (tests: back to a fresh process).
void ForgetZDataKeptInProcess();

// Starts LocalPath + "ArchSend.exe" without waiting. An uploader that is missing or that the
// system does not start gets a log line of its own; nothing else comes of it.
void StartUploader(const ArchiveSettings& settings);

// Seams. The clock of the log lines and the archive name: nullptr gives the system clock back.
void SetZCaptureClock(Clock* clock);
Clock& ZCaptureClock();
// How the uploader is started: nullptr gives the platform's program start back.
using ProgramStarter = ProgramStart (*)(const std::string& path);
void SetUploaderStarter(ProgramStarter starter);

}  // namespace molvex
