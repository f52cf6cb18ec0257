// The command-line tools keep every text in UTF-8, on Windows too: their arguments arrive there
// as UTF-16 and become UTF-8 (Utf8Argv), and a file name given as UTF-8 opens through
// Utf8Path, which on Windows is the wide name, not bytes read in the ANSI code page, so that a
// name holds any character on either system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace molvex {

inline std::filesystem::path Utf8Path(std::string_view name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

#ifdef _WIN32
// The arguments of wmain as UTF-8 texts, and an argv of them for the tools' common main.
class Utf8Argv {
 public:
  Utf8Argv(int argc, wchar_t** wargv);
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};
#endif

}  // namespace molvex
