#include "platform/error_info.h"

#include <optional>
#include <utility>

#include "platform/text_codec.h"

namespace molvex {
namespace {

thread_local std::optional<ErrorInfoRecord> current;

}  // namespace

void PublishErrorInfo(const OLECHAR* description, const GUID& iid, const GUID& /*clsid*/,
                      const char* progid) noexcept {
  try {
    std::size_t length = 0;
    if (description != nullptr) {
      while (description[length] != u'\0') ++length;
    }
    ErrorInfoRecord record;
    record.description = WideToUtf8(description, length);
    record.source = progid != nullptr ? progid : "";
    record.guid = iid;
    current = std::move(record);
  } catch (...) {
    // Out of memory: no error information, as when CreateErrorInfo fails.
    current.reset();
  }
}

bool TakeErrorInfo(ErrorInfoRecord& out) {
  if (!current) return false;
  out = std::move(*current);
  current.reset();
  return true;
}

void ClearErrorInfo() noexcept {
  current.reset();
}

}  // namespace molvex
