// The Windows seams beneath the Z archive: text-mode files (CR LF line ends) and the start of
// the uploader through the shell. The runner checks the bytes on disk and the uploader's mark.
// Usage: seams_client <directory ending in a backslash>
//   writes infoZ.log (appended twice) and archive.zre there, writes a file durably (text and
//   binary mode, never replacing one, nothing left of a failed write, the folder check), makes
//   it the current directory and starts ArchSend.exe from it
#include <windows.h>

#include <string>
#include <vector>

#include "platform/durable_file.h"
#include "platform/process_start.h"
#include "platform/text_file.h"
#include "tests/wine/check.h"

int main(int argc, char** argv) {
  if (argc < 2) return 90;
  const std::string dir = argv[1];
  CheckCount c;
  using molvex::AppendTextFile;
  c.Expect(AppendTextFile(dir + "infoZ.log", "10-12-2026 09:05 \xCE\xF8\xE8\xE1\xEA\xE0") &&
               AppendTextFile(dir + "infoZ.log", " \n"),
           "first log line");
  c.Expect(AppendTextFile(dir + "infoZ.log", "10-12-2026 09:06 Z \n"), "second log line");
  c.Expect(molvex::WriteTextFile(dir + "archive.zre", "Z1\nZ2\n"), "archive file");
  c.Expect(!molvex::WriteTextFile(dir + "no-such-dir\\archive.zre", "x"),
           "a file in a missing directory is reported");

  using molvex::FileMode;
  using molvex::NewFile;
  std::string bytes;
  c.Expect(molvex::WriteNewFileDurably(dir + "durable.zre", "Z1\nZ2\n", FileMode::Text) ==
                   NewFile::Written &&
               molvex::ReadWholeFile(dir + "durable.zre", FileMode::Binary, bytes) &&
               bytes == "Z1\r\nZ2\r\n",
           "a durable file in text mode (CR LF)");
  c.Expect(molvex::WriteNewFileDurably(dir + "durable.zre", "other", FileMode::Text) ==
                   NewFile::Exists &&
               molvex::ReadWholeFile(dir + "durable.zre", FileMode::Text, bytes) &&
               bytes == "Z1\nZ2\n",
           "a durable file never replaces one");
  c.Expect(molvex::WriteNewFileDurably(dir + "spool.zsp", "a\nb", FileMode::Binary) ==
                   NewFile::Written &&
               molvex::ReadWholeFile(dir + "spool.zsp", FileMode::Binary, bytes) && bytes == "a\nb",
           "a durable file in binary mode");
  c.Expect(molvex::WriteNewFileDurably(dir + "no-such-dir\\x.zre", "x", FileMode::Text) ==
               NewFile::Failed,
           "a durable file in a missing folder fails");
  c.Expect(molvex::FilesEndingIn(dir, ".zsp") == std::vector<std::string>{"spool.zsp"} &&
               molvex::FilesEndingIn(dir, ".tmp").empty(),
           "the folder's files by suffix, no temporary file left");
  c.Expect(
      molvex::RemoveFileDurably(dir + "spool.zsp") && !molvex::RemoveFileDurably(dir + "spool.zsp"),
      "a file removed once");
  c.Expect(molvex::FolderOf(dir + "pre_") == dir && molvex::FolderTakesNewFiles(dir + "pre_") &&
               !molvex::FolderTakesNewFiles(dir + "no-such-dir\\") &&
               !molvex::FolderTakesNewFiles(dir + "archive.zre\\"),
           "the folder check");
  c.Expect(SetCurrentDirectoryA(dir.c_str()) != 0, "current directory");
  using molvex::ProgramStart;
  c.Expect(molvex::StartProgram(dir + "ArchSend.exe") == ProgramStart::Started,
           "the uploader starts");
  c.Expect(molvex::StartProgram(dir + "Missing.exe") == ProgramStart::Missing,
           "a missing program is told as missing");
  // A bare name is taken in the current directory, never looked up along the search path.
  c.Expect(molvex::StartProgram("cmd.exe") == ProgramStart::Missing,
           "a bare name is not looked up along the path");
  return c.Finish();
}
