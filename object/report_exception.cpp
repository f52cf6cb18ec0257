#include "object/object_error.h"
#include "object/object_ids.h"
#include "platform/error_info.h"
#include "platform/text_codec.h"

namespace molvex {

void NoteErrorInfo(const char* message) noexcept {
  try {
    const std::basic_string<OLECHAR> wide = Utf8ToWide(message != nullptr ? message : "");
    PublishErrorInfo(wide.c_str(), IID_ITECRFisc, CLSID_TECRFisc, kProgId);
  } catch (...) {
    // No memory for the text: the log line still tells it.
  }
}

HRESULT ReportException(const char* message) noexcept {
  NoteErrorInfo(message);
  return DISP_E_EXCEPTION;
}

}  // namespace molvex
