#include "platform/utf8_names.h"

#include <cwchar>

#include "platform/text_codec.h"

namespace molvex {

std::vector<std::string> Utf8Arguments(int argc, wchar_t** wargv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(WideToUtf8(wargv[i], std::wcslen(wargv[i])));
  return args;
}

}  // namespace molvex
