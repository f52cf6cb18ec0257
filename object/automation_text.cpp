#include "object/automation_text.h"

#include <limits>

#include "object/object_error.h"
#include "platform/text_codec.h"

namespace molvex {

std::string ToAnsi(BSTR text) {
  if (text == nullptr) return {};
  return WideToPrinter(text, SysStringLen(text));
}

BSTR ToBstr(std::string_view text) {
  const std::basic_string<OLECHAR> wide = PrinterToWide(text);
  if (wide.size() > std::numeric_limits<UINT>::max() / 4) {
    throw ObjectError("Text result too long");
  }
  BSTR result = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (result == nullptr) throw ObjectError("Out of memory for a text result");
  return result;
}

}  // namespace molvex
