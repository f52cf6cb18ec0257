#include "platform/durable_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace molvex {
namespace {

bool Usable(const std::string& path) {
  return !path.empty() && path.find('\0') == std::string::npos;
}

std::string FolderOrHere(const std::string& path) {
  const std::string folder = FolderOf(path);
  return folder.empty() ? "." : folder;
}

// The temporary name of `path`: the dot of its extension (if any) turned into "-", then
// ".<pid>.tmp": "a.zre" is written as "a-zre.<pid>.tmp", which no reader of "*.zre" takes.
std::string TemporaryName(const std::string& path) {
  std::string temp = path;
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) temp[dot] = '-';
  return temp + "." + std::to_string(getpid()) + ".tmp";
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Creates `temp` exclusively. A file of that name was left by a process of this id that ended
// before it could name it (ours has none open): it is removed first.
int CreateTemporary(const std::string& temp) {
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0 && errno == EEXIST && unlink(temp.c_str()) == 0) {
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  }
  return fd;
}

// Writes, flushes and closes `temp`; false (the file removed) when any of it failed.
bool WriteTemporary(const std::string& temp, std::string_view bytes) {
  if (!PassWriteStep("create", temp)) return false;
  const int fd = CreateTemporary(temp);
  if (fd < 0) return false;
  bool ok = PassWriteStep("write", temp) && WriteAll(fd, bytes);
  ok = ok && PassWriteStep("flush", temp);
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok) unlink(temp.c_str());
  return ok;
}

void FlushFolder(const std::string& path) {
  const int fd = open(FolderOrHere(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)fsync(fd);  // not every file system flushes a folder; the file itself is on the disk
  close(fd);
}

// Gives `temp` the name `path` without replacing a file: a second link, which fails when the
// name is taken; on a file system without links, a rename that refuses to replace.
NewFile Name(const std::string& temp, const std::string& path) {
  if (!PassWriteStep("name", path)) {
    unlink(temp.c_str());
    return NewFile::Failed;
  }
  if (link(temp.c_str(), path.c_str()) == 0) {
    unlink(temp.c_str());
    return NewFile::Written;
  }
  if (errno == EEXIST) {
    unlink(temp.c_str());
    return NewFile::Exists;
  }
  if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
    return NewFile::Written;
  }
  const bool exists = errno == EEXIST;
  unlink(temp.c_str());
  return exists ? NewFile::Exists : NewFile::Failed;
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

NewFile WriteNewFileDurably(const std::string& path, std::string_view bytes, FileMode /*mode*/) {
  if (!Usable(path) || path.back() == '/') return NewFile::Failed;
  const std::string temp = TemporaryName(path);
  if (!WriteTemporary(temp, bytes)) return NewFile::Failed;
  const NewFile named = Name(temp, path);
  if (named == NewFile::Written) {
    (void)PassWriteStep("flush folder", path);
    FlushFolder(path);
  }
  return named;
}

bool FolderTakesNewFiles(const std::string& prefix) {
  if (prefix.find('\0') != std::string::npos) return false;
  const std::string folder = FolderOrHere(prefix);
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  const std::string probe = folder + (folder.back() == '/' ? "" : "/") + ".molvexecr-probe." +
                            std::to_string(getpid()) + ".tmp";
  const int fd = CreateTemporary(probe);
  if (fd < 0) return false;
  // A few blocks: a full disk refuses them even where an empty file could still be created.
  const std::string block(8192, '\n');
  bool ok = PassWriteStep("write", probe) && WriteAll(fd, block);
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  return unlink(probe.c_str()) == 0 && ok;
}

bool RemoveFileDurably(const std::string& path) {
  if (!Usable(path)) return false;
  if (!PassWriteStep("remove", path)) return false;
  if (unlink(path.c_str()) != 0) return false;
  FlushFolder(path);
  return true;
}

std::vector<std::string> FilesEndingIn(const std::string& folder, std::string_view suffix) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return names;
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    struct stat info {};
    const std::string path = prefix + name;
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace molvex
