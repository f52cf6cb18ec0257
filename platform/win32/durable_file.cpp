#include "platform/durable_file.h"

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>

namespace molvex {
namespace {

bool Usable(const std::string& path) {
  return !path.empty() && path.find('\0') == std::string::npos;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/' || c == ':';
}

// The temporary name of `path`: the dot of its extension (if any) turned into "-", then
// ".<pid>.tmp": "a.zre" is written as "a-zre.<pid>.tmp", which no reader of "*.zre" takes.
std::string TemporaryName(const std::string& path) {
  std::size_t name = path.size();
  while (name > 0 && !IsSeparator(path[name - 1])) --name;
  std::string temp = path;
  const std::size_t dot = path.rfind('.');
  if (dot != std::string::npos && dot > name) temp[dot] = '-';
  return temp + "." + std::to_string(_getpid()) + ".tmp";
}

int CreateTemporary(const std::string& temp, FileMode mode) {
  const int flags = _O_WRONLY | _O_CREAT | _O_EXCL | _O_NOINHERIT |
                    (mode == FileMode::Text ? _O_TEXT : _O_BINARY);
  int fd = _open(temp.c_str(), flags, _S_IREAD | _S_IWRITE);
  if (fd < 0 && errno == EEXIST && DeleteFileA(temp.c_str()) != 0) {
    fd = _open(temp.c_str(), flags, _S_IREAD | _S_IWRITE);
  }
  return fd;
}

// The C library's _write converts line feeds in text mode; it may write less than asked.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const unsigned int piece =
        static_cast<unsigned int>(std::min<std::size_t>(bytes.size(), 1u << 20));
    const int written = _write(fd, bytes.data(), piece);
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Writes, flushes (_commit: FlushFileBuffers) and closes `temp`; false (the file removed) when
// any of it failed.
bool WriteTemporary(const std::string& temp, std::string_view bytes, FileMode mode) {
  if (!PassWriteStep("create", temp)) return false;
  const int fd = CreateTemporary(temp, mode);
  if (fd < 0) return false;
  bool ok = PassWriteStep("write", temp) && WriteAll(fd, bytes);
  ok = ok && PassWriteStep("flush", temp);
  ok = ok && _commit(fd) == 0;
  ok = _close(fd) == 0 && ok;
  if (!ok) DeleteFileA(temp.c_str());
  return ok;
}

}  // namespace

std::string FolderOf(const std::string& path) {
  std::size_t end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

NewFile WriteNewFileDurably(const std::string& path, std::string_view bytes, FileMode mode) {
  if (!Usable(path) || IsSeparator(path.back())) return NewFile::Failed;
  const std::string temp = TemporaryName(path);
  if (!WriteTemporary(temp, bytes, mode)) return NewFile::Failed;
  if (!PassWriteStep("name", path)) {
    DeleteFileA(temp.c_str());
    return NewFile::Failed;
  }
  // Without MOVEFILE_REPLACE_EXISTING an existing file is never replaced; WRITE_THROUGH returns
  // only when the new name is on the disk (Windows cannot flush a folder on its own).
  if (MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH) != 0) {
    return NewFile::Written;
  }
  const DWORD error = GetLastError();
  DeleteFileA(temp.c_str());
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? NewFile::Exists
                                                                     : NewFile::Failed;
}

bool FolderTakesNewFiles(const std::string& prefix) {
  if (prefix.find('\0') != std::string::npos) return false;
  const std::string folder = FolderOf(prefix);
  const std::string probe_dir = folder.empty() ? ".\\" : folder;
  const DWORD attributes = GetFileAttributesA(probe_dir.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return false;
  }
  const std::string probe = probe_dir + (IsSeparator(probe_dir.back()) ? "" : "\\") +
                            ".molvexecr-probe." + std::to_string(_getpid()) + ".tmp";
  const int fd = CreateTemporary(probe, FileMode::Binary);
  if (fd < 0) return false;
  // A few blocks: a full disk refuses them even where an empty file could still be created.
  const std::string block(8192, '\n');
  bool ok = PassWriteStep("write", probe) && WriteAll(fd, block);
  ok = ok && _commit(fd) == 0;
  ok = _close(fd) == 0 && ok;
  return DeleteFileA(probe.c_str()) != 0 && ok;
}

bool RemoveFileDurably(const std::string& path) {
  if (!Usable(path)) return false;
  if (!PassWriteStep("remove", path)) return false;
  return DeleteFileA(path.c_str()) != 0;
}

std::vector<std::string> FilesEndingIn(const std::string& folder, std::string_view suffix) {
  std::vector<std::string> names;
  const std::string pattern =
      (folder.empty() ? std::string(".\\") : folder + (IsSeparator(folder.back()) ? "" : "\\")) +
      "*";
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      names.push_back(name);
    }
  } while (FindNextFileA(search, &found) != 0);
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace molvex
