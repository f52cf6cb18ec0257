// Files that must survive a crash or a power cut: the Z archive and the spool of Z data that
// could not be archived yet. Such a file is written under a temporary name in its own folder,
// flushed to the disk and only then given its name, so that a reader never finds it half
// written; an existing file is never replaced. Paths are 8-bit text (the ANSI code page).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text_file.h"

namespace molvex {

// Text: the C library's text mode (CR LF line ends on Windows); Binary: the bytes as they are.
enum class FileMode { Text, Binary };

// The folder part of `path` up to and including its last separator; "" when it has none (the
// current directory).
std::string FolderOf(const std::string& path);

// Writes `bytes` to a new temporary file in the folder of `path` (its name with the dot of the
// extension turned into "-" and ".<process id>.tmp" added: "a-zre.<pid>.tmp"), flushes it to the
// disk (fsync, FlushFileBuffers), then gives it the name `path` only when nothing has that name
// (POSIX link(), else rename without replacing; Windows MoveFileEx without
// MOVEFILE_REPLACE_EXISTING), and flushes the folder where the system allows it (POSIX). Exists:
// the name is taken, the temporary file is removed and nothing else has changed. Failed: the file
// could not be written, flushed or named (the temporary file is removed again).
NewFile WriteNewFileDurably(const std::string& path, std::string_view bytes, FileMode mode);

// True when the folder of `prefix` (FolderOf) exists and a file can be created, written (a
// few kilobytes, flushed) and removed in it: a missing folder, one without write permission and
// a full disk all fail.
bool FolderTakesNewFiles(const std::string& prefix);

// Removes the file `path` and flushes its folder where the system allows it. False when the
// file could not be removed.
bool RemoveFileDurably(const std::string& path);

// The names (without the folder) of the plain files in `folder` whose names end in `suffix`,
// sorted; empty when the folder cannot be read.
std::vector<std::string> FilesEndingIn(const std::string& folder, std::string_view suffix);

// Reads the whole file in `mode`; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, FileMode mode, std::string& bytes);

// Test seam: `hook`, when set, is asked before each step of a durable write is taken, with the
// step's name ("create", "write", "flush", "name", "flush folder", "remove") and the file it
// concerns; callers name steps of their own through PassWriteStep. A hook that answers false
// makes the step fail as a full disk would (a test stops the process there instead to see what
// a crash leaves). nullptr: no hook.
using WriteStepHook = bool (*)(const char* step, const std::string& path);
void SetWriteStepHook(WriteStepHook hook);
// True when the step may be taken.
bool PassWriteStep(const char* step, const std::string& path);

}  // namespace molvex
