// The spool of Z data that is not archived yet: one file per capture beside the settings file
// (SettingsDirectory()), named after the archive it is waiting for with ".zsp" at the end, so
// that the uploader never takes it. The file holds a header line, the archive's stem, the
// length of the data and the data itself:
//   "MolvexECR Z data\n" stem "\n" length "\n" data
// It is written durably and removed once its archive is written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace molvex {

// One capture waiting in the spool.
struct ZSpooled {
  std::string file;       // the spool file's full path
  std::string stem;       // the archive's name without LocalPath, copy number and ".zre"
  std::string content;    // the archive's content
  bool readable = false;  // false: the file is not a whole spool file (stem/content empty)
};

// The spool file's text for one capture, and its reading back: false when `text` is not a
// whole spool file or names a stem that is no plain file name.
std::string ZSpoolText(std::string_view stem, std::string_view content);
bool ParseZSpool(std::string_view text, std::string& stem, std::string& content);

// Keeps `content` for the archive `stem` in a new spool file (stem + ".zsp", "_2.zsp", ... in
// the settings folder). False, `file` the name tried, when it could not be written.
bool SpoolZData(std::string_view stem, std::string_view content, std::string& file);

// The captures in the spool, oldest name first.
std::vector<ZSpooled> SpooledZData();

// Removes a spool file once its archive is written.
bool DropSpooledZData(const std::string& file);

inline constexpr std::string_view kZReportMark = "zreport.pending";
// "zreport.<port>.pending": the mark of a further printer of the process, on port `port`.
std::string ZReportMarkFor(std::int32_t port);

// The mark of a Z report sent whose data is not kept yet: "zreport.pending" beside the settings
// file, "MolvexECR Z report sent\n" and the stem its archive is to have. Written durably before
// the report command is sent and removed once the data is kept (or the report did not run, or
// its read failed while the caller was told), so that a process killed in between leaves it to
// the next start, which reads the data back from the printer (it serves the last Z report's data
// until the next one). MarkZReportSent replaces a mark left before; false when it could not be
// written. ZReportMarked: true, `stem` set, when a whole mark is there.
// `mark` is the mark's file name: kZReportMark for the process's printer, ZReportMarkFor(port)
// for each further printer a process drives, so that two printers' Z reports never share one.
bool MarkZReportSent(std::string_view stem, std::string_view mark = kZReportMark);
bool ZReportMarked(std::string& stem, std::string_view mark = kZReportMark);
bool DropZReportMark(std::string_view mark = kZReportMark);

}  // namespace molvex
