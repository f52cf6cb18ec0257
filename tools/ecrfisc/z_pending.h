// Private to tools/ecrfisc/.
// ecrfisc's look at the Z data that is not archived yet (the spool beside the settings file):
// list it, or write its archives now.
#pragma once

#include <ostream>

namespace molvex::ecrfisc {

// One line for each capture in the spool: its spool file, the archive it waits for (after the
// settings file's LocalPath) and its size, or that the file is not whole. Returns how many wait.
int ListPendingZData(std::ostream& out);

// Reads the settings file and writes the pending archives as SetComPort does (log lines and the
// uploader included), then lists what still waits. Returns how many still wait.
int WritePendingZData(std::ostream& out);

}  // namespace molvex::ecrfisc
