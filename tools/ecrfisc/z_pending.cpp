#include "tools/ecrfisc/z_pending.h"

#include <string>
#include <string_view>

#include "archive/archive_settings.h"
#include "archive/z_archive.h"
#include "archive/z_spool.h"
#include "platform/text_codec.h"

namespace molvex::ecrfisc {
namespace {

// File names come from the settings file, read as 8-bit text like the printer's; the reader gets
// UTF-8.
std::string Readable(std::string_view ansi) {
  const auto wide = PrinterToWide(ansi);
  return WideToUtf8(wide.data(), wide.size());
}

}  // namespace

int ListPendingZData(std::ostream& out) {
  ReadArchiveSettings();
  const ArchiveSettings& settings = SharedArchiveSettings();
  const std::vector<ZSpooled> pending = SpooledZData();
  if (pending.empty()) out << "No Z data waits for its archive.\n";
  for (const ZSpooled& entry : pending) {
    out << Readable(entry.file) << ": ";
    if (entry.readable) {
      out << entry.content.size() << " bytes for "
          << Readable(ZArchivePath(settings, entry.stem, 1)) << "\n";
    } else {
      out << "not a whole spool file; left as it is\n";
    }
  }
  return static_cast<int>(pending.size());
}

int WritePendingZData(std::ostream& out) {
  ReadArchiveSettings();
  const int written = WritePendingZArchives(SharedArchiveSettings());
  out << "Archives written: " << written << "\n";
  return ListPendingZData(out);
}

}  // namespace molvex::ecrfisc
