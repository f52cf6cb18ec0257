#include "platform/utf8_names.h"

#include <cwchar>

#include "platform/text_codec.h"

namespace molvex {

Utf8Argv::Utf8Argv(int argc, wchar_t** wargv) {
  for (int i = 0; i < argc; ++i) texts_.push_back(WideToUtf8(wargv[i], std::wcslen(wargv[i])));
  for (std::string& text : texts_) pointers_.push_back(text.data());
  pointers_.push_back(nullptr);
}

}  // namespace molvex
