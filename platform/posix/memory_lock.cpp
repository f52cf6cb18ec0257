// POSIX: nothing is locked (locking pages needs a privilege the driver does not ask for).
#include "platform/memory_lock.h"

namespace molvex {

bool KeepResident(const void*, std::size_t) {
  return true;
}

}  // namespace molvex
