// Private to tools/ecrfisc/.
// UTF-8 <-> UTF-16 for the client's texts. Input from the user is checked strictly; output from
// the object never fails (an unpaired surrogate becomes U+FFFD).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace molvex::ecrfisc {

// nullopt when `text` is not well-formed UTF-8 (overlong forms, surrogates, above U+10FFFF,
// truncated sequences, stray continuation bytes).
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace molvex::ecrfisc
