#include "platform/utf8_names.h"

#include <windows.h>

namespace molvex {

std::vector<std::string> Utf8Arguments(int argc, wchar_t** wargv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wargv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(n > 0 ? static_cast<std::size_t>(n) : 1u, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wargv[i], -1, arg.data(), n, nullptr, nullptr);
    arg.resize(arg.size() - 1);  // the terminating zero
    args.push_back(std::move(arg));
  }
  return args;
}

}  // namespace molvex
