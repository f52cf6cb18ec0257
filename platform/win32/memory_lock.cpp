// Windows: VirtualLock of the pages the range touches.
#include <windows.h>

#include "platform/memory_lock.h"

namespace molvex {

bool KeepResident(const void* start, std::size_t size) {
  return VirtualLock(const_cast<void*>(start), size) != FALSE;
}

}  // namespace molvex
