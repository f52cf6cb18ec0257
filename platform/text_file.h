// Text files of the Z archive: the info log, only ever appended to, and the archive file,
// written whole. Both are opened in text mode, so on Windows every line feed is written as
// CR LF; paths and contents are 8-bit text (the ANSI code page), passed on unchanged.
#pragma once

#include <string>
#include <string_view>

namespace molvex {

// Opens `path` for appending in text mode ("at+", created when missing), writes `text` and
// closes the file again. False when the file cannot be opened, written or closed.
bool AppendTextFile(const std::string& path, std::string_view text);

// Creates `path` in text mode ("wt"), replacing a file of that name, and writes `bytes`.
// False when the file cannot be opened, written or closed.
bool WriteTextFile(const std::string& path, std::string_view bytes);

enum class NewFile { Written, Exists, Failed };

// Creates `path` in text mode only when nothing of that name exists yet (the test and the
// creation are one step, so an existing file is never replaced) and writes `bytes`. Exists when
// the name is taken; Failed when the file cannot be created, written or closed (a file it
// created but could not write whole is removed again).
NewFile CreateNewTextFile(const std::string& path, std::string_view bytes);

}  // namespace molvex
