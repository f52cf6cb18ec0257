// A file that text is appended to: the protocol trace's. Between appends anybody may move,
// delete or roll the file over; each append goes to the file its path names at that moment,
// created when missing. On POSIX the file stays open between appends and the path is checked
// against it first (one stat instead of an open and a close); on Windows it is opened for each
// append, so that nothing holds it while support works on it. A symbolic link (Windows: any
// reparse point) in the file's place is never followed: the open fails.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace molvex {

class AppendFile {
 public:
  // `path` in the 8-bit code page, as the settings file and the environment give it.
  explicit AppendFile(std::string path);
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  const std::string& path() const { return path_; }
  // Opens the file the path names now (or keeps the one open when it still is that file) and
  // returns its size; -1 when it cannot be opened, errno telling why (ELOOP: a link in its
  // place).
  std::int64_t Open();
  // Appends all of `text` to the file Open opened; false, errno telling why, when it could not.
  bool Append(std::string_view text);
  // Lets go of the file, before it is renamed.
  void Close();

 private:
  struct Handle;
  std::string path_;
  std::unique_ptr<Handle> handle_;
};

}  // namespace molvex
