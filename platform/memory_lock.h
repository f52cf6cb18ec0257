// Keeping code or data resident: a range that must never wait for paging while it runs (the
// link's reply receiver, which reads the printer's bytes as they come).
#pragma once

#include <cstddef>

namespace molvex {

// Asks the system to keep `size` bytes from `start` in memory (Windows: VirtualLock, best
// effort within the process's working set). False when the system refused; elsewhere nothing
// is locked and the answer is true.
bool KeepResident(const void* start, std::size_t size);

}  // namespace molvex
