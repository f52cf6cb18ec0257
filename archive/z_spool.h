// The spool of Z data that is not archived yet: one file per capture beside the settings file
// (SettingsDirectory()), named after the archive it is waiting for with ".zsp" at the end, so
// that the uploader never takes it. The file holds a header line, the archive's stem, the
// length of the data and the data itself:
//   "MolvexECR Z data\n" stem "\n" length "\n" data
// It is written durably and removed once its archive is written.
#pragma once

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

}  // namespace molvex
