// The error information a method leaves for its caller when it reports an exception.
// Windows: an error-information object (CreateErrorInfo) made the thread's current one
// (SetErrorInfo); its source is the ProgID registered for the class (ProgIDFromCLSID), left
// unset when none is registered. Elsewhere: a per-thread record that a native client reads and
// clears; with no registry there, the source is the class's own ProgID as given.
#pragma once

#include <string>

#include "platform/automation.h"

namespace molvex {

// Publishes the error information: description (wide text), the interface's GUID and the
// source found from `clsid` (Windows) or `progid` (elsewhere). Never throws.
void PublishErrorInfo(const OLECHAR* description, const GUID& iid, const GUID& clsid,
                      const char* progid) noexcept;

struct ErrorInfoRecord {
  std::string description;  // UTF-8
  std::string source;       // the ProgID
  GUID guid{};              // the interface that raised it
};

// Takes the calling thread's record (Windows: the thread's error information, GetErrorInfo):
// true and `out` filled when one was published since the last take, false otherwise. Taking
// clears it. For a client that holds the object in its own process.
bool TakeErrorInfo(ErrorInfoRecord& out);

// Drops the calling thread's error information (Windows: SetErrorInfo with none), for a call
// that fails without any.
void ClearErrorInfo() noexcept;

}  // namespace molvex
