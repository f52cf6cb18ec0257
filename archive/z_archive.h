// The files and the program of the Z-report capture: the info log infoZ.log, the archive file
// (".zre") and the start of the uploader ArchSend.exe, all under LocalPath of the archive
// Settings. The time comes from a clock and the uploader is started through a starter that
// Tests replace.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/archive_settings.h"
#include "platform/clock.h"
#include "platform/cp1251_literal.h"
#include "platform/process_start.h"

namespace molvex {

// Messages of the info log, Windows-1251 text (written in UTF-8, converted at compile time);
// each begins with a blank.
// The status check before the Z report failed.
inline constexpr auto kZLogNoLink = Cp1251(" Ошибка связи с регистратором!");
// The printer refused the Z report.
inline constexpr auto kZLogReportFailed = Cp1251(" Ошибка выполнения Z-Отчета!");
// The Z report is done.
inline constexpr auto kZLogReportDone = Cp1251(" Z-Отчет выполнен!");
// The Z data could not be read back whole.
inline constexpr auto kZLogReadFailed = Cp1251(" Ошибка чтения Z-Отчета из РРО!");
// Followed by the path: the archive file is written.
inline constexpr auto kZLogArchived = Cp1251(" Z-Отчет считан и записан в файл: ");
// Followed by the path: the archive file could not be written.
inline constexpr auto kZLogArchiveFailed = Cp1251(" Ошибка записи Z-Отчета в файл: ");
// Followed by the folder: no archive file could be created
// there, so the day was not closed.
inline constexpr auto kZLogFolderUnusable =
    Cp1251(" Папка архива недоступна, Z-Отчет не выполнен: ");
// Followed by the path: the printer had no data.
inline constexpr auto kZLogArchivedEmpty =
    Cp1251(" Z-Отчет считан, данных нет; записан пустой файл: ");
// Followed by the spool file: the data waits there for the archive.
inline constexpr auto kZLogSpooled = Cp1251(" Z-Отчет сохранен до записи в архив: ");
// Followed by the spool file: neither the archive nor the spool could be
// written; the data is kept in the process only, for the next call that can write it.
inline constexpr auto kZLogNotKept = Cp1251(" Z-Отчет не сохранен на диске: ");

// Followed by the key: a settings value was refused (SetComPort).
inline constexpr auto kZLogSettingRefused = Cp1251(" Недопустимое значение в ZRepRec.ini: ");
// Followed by the path: no uploader at its path.
inline constexpr auto kZLogUploaderMissing = Cp1251(" Программа выгрузки не найдена: ");
// Followed by the path: the uploader is there, the system did not
// start it.
inline constexpr auto kZLogUploaderFailed = Cp1251(" Ошибка запуска программы выгрузки: ");

// How ZReport ends when the Z report itself stands but its capture does not (the HRESULT of
// The call; Result stays true and the call status 0).
constexpr std::int32_t kZDataNotRead = -101;        // 0xFFFFFF9B: the Z data could not be read
constexpr std::int32_t kZArchiveNotWritten = -102;  // 0xFFFFFF9A: the archive file could not be
                                                    // Written; the uploader is not started

// One line of the info log: "dd-mm-yyyy hh:nn", the message, " \n".
std::string ZLogLine(const LocalDateTime& t, std::string_view message);

// "yyyymmdd", "hhnn", IdReastaurant, FiscalPrinter: the archive name of a capture at `t`
// Without LocalPath, copy number and ".zre".
std::string ZArchiveStem(const ArchiveSettings& settings, const LocalDateTime& t);

// LocalPath, the stem, then "_<copy>" for copy 2 and up, then ".zre"; no separators.
std::string ZArchivePath(const ArchiveSettings& settings, std::string_view stem, int copy);
std::string ZArchivePath(const ArchiveSettings& settings, const LocalDateTime& t, int copy);

// Appends one line to LocalPath + "infoZ.log", stamped with the capture clock's time. A log
// That cannot be written is passed over: false tells it, nothing else changes.
bool AppendZLog(const ArchiveSettings& settings, std::string_view message);

// True when the archive's folder (the folder part of LocalPath) exists and a file can be
// Created and written in it; ZReport asks before it closes the day.
bool ZArchiveFolderUsable(const ArchiveSettings& settings);

// Writes the archive file `content` under a name that no file has yet: LocalPath + stem +
// ".zre", else the same with "_2", "_3", ... An existing file is never replaced; the file is
// Written durably (platform/durable_file.h). With `existing_copy_counts`, a file of one of
// These names that already holds exactly `content` is taken as this archive (a spooled capture
// Whose archive was written before the process could drop the spool). `path` is the file
// Written (or found), or on failure the name that could not be written.
bool WriteZArchive(const ArchiveSettings& settings, std::string_view stem, std::string_view content,
                   std::string& path, bool existing_copy_counts = false);
bool WriteZArchive(const ArchiveSettings& settings, const LocalDateTime& t,
                   std::string_view content, std::string& path);

// How the decoded data of a closed day was kept.
struct ZStored {
  bool archived = false;  // The archive file is written (`path`)
  bool spooled = false;   // Not archived, but kept in the spool file `spool`
  std::string path;       // The archive file, or the name that could not be written
  std::string spool;      // The spool file, or the name that could not be written
};

// Keeps the data of a Z report captured at `t`: first in the spool (so that a crash cannot lose
// It), then in the archive file; logs the archive (as empty when there is no data), drops the
// Spool and starts the uploader (not for an empty archive). When the archive cannot be written
// The data stays in the spool for WritePendingZArchives; when the spool cannot be written
// Either, it stays in this process for the next WritePendingZArchives. Each step is logged.
ZStored StoreZData(const ArchiveSettings& settings, const LocalDateTime& t,
                   std::string_view content);
ZStored StoreZData(const ArchiveSettings& settings, std::string_view stem,
                   std::string_view content);

// True when `content` is kept already: an archive file in the folder of LocalPath, a capture in
// The spool or one kept in this process holds exactly it.
bool ZDataAlreadyKept(const ArchiveSettings& settings, std::string_view content);

// Writes the archives of the captures still pending (the spool, then those kept in the process)
// Under the names they would have had, logs each, drops its spool file and starts the uploader
// Once when any was written with data. Nothing happens when none is pending or the archive's
// Folder cannot take files. Returns the number of archives written.
int WritePendingZArchives(const ArchiveSettings& settings);

// Forgets the captures kept in this process (tests: back to a fresh process).
void ForgetZDataKeptInProcess();

// Starts LocalPath + "ArchSend.exe" without waiting. An uploader that is missing or that the
// System does not start gets a log line of its own; nothing else comes of it.
void StartUploader(const ArchiveSettings& settings);

// Seams. The clock of the log lines and the archive name: nullptr gives the system clock back.
void SetZCaptureClock(Clock* clock);
Clock& ZCaptureClock();
// How the uploader is started: nullptr gives the platform's program start back.
using ProgramStarter = ProgramStart (*)(const std::string& path);
void SetUploaderStarter(ProgramStarter starter);

}  // Namespace molvex
