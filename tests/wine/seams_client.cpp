// The Windows seams beneath the Z archive: text-mode files (CR LF line ends) and the start of
// the uploader through the shell. The runner checks the bytes on disk and the uploader's mark.
// Usage: seams_client <directory ending in a backslash>
//   writes infoZ.log (appended twice) and archive.zre there, makes it the current directory
//   and starts ArchSend.exe from it
#include <windows.h>

#include <string>

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
