// The seams beneath the Z archive: the text files it writes and the start of the uploader.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/process_start.h"
#include "platform/text_file.h"
#include "tests/archive/settings_dir_fixture.h"

namespace molvex::testing {
namespace {

std::string Bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

using ArchiveFilesTest = SettingsDirTest;

TEST_F(ArchiveFilesTest, TheLogIsOnlyEverAppendedTo) {
  const std::string log = (dir / "infoZ.log").string();
  // 8-bit text goes out unchanged: "Ошибка" in Windows-1251.
  ASSERT_TRUE(AppendTextFile(log, "10-12-2026 09:05 \xCE\xF8\xE8\xE1\xEA\xE0"));
  ASSERT_TRUE(AppendTextFile(log, " \n"));
  ASSERT_TRUE(AppendTextFile(log, "10-12-2026 09:06 Z \n"));
  EXPECT_EQ(Bytes(log), "10-12-2026 09:05 \xCE\xF8\xE8\xE1\xEA\xE0 \n10-12-2026 09:06 Z \n");
}

TEST_F(ArchiveFilesTest, TheArchiveFileIsWrittenWholeAndReplacesAnOlderOne) {
  const std::string file = (dir / "202612100905123.zre").string();
  ASSERT_TRUE(WriteTextFile(file, std::string("first\nlonger content\n")));
  ASSERT_TRUE(WriteTextFile(file, std::string("a\nb\0c", 5)));  // every byte it is given
  EXPECT_EQ(Bytes(file), std::string("a\nb\0c", 5));
  ASSERT_TRUE(WriteTextFile(file, ""));
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(std::filesystem::file_size(file), 0u);
}

TEST_F(ArchiveFilesTest, ANewFileIsCreatedOnlyWhereNoneIs) {
  const std::string file = (dir / "202612100905123.zre").string();
  ASSERT_EQ(CreateNewTextFile(file, std::string("a\nb\0c", 5)), NewFile::Written);
  EXPECT_EQ(CreateNewTextFile(file, "other"), NewFile::Exists);
  EXPECT_EQ(Bytes(file), std::string("a\nb\0c", 5));
  ASSERT_EQ(CreateNewTextFile((dir / "empty.zre").string(), ""), NewFile::Written);
  EXPECT_EQ(std::filesystem::file_size(dir / "empty.zre"), 0u);
}

TEST_F(ArchiveFilesTest, AFileThatCannotBeWrittenIsReported) {
  const std::string cases[] = {
      (dir / "no-such-dir" / "infoZ.log").string(),
      dir.string(),  // a directory
      "",
      std::string("in\0side", 7),
  };
  for (const std::string& path : cases) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(AppendTextFile(path, "x"));
    EXPECT_FALSE(WriteTextFile(path, "x"));
    // A directory of that name is a name taken; the others cannot be created.
    EXPECT_EQ(CreateNewTextFile(path, "x"),
              path == dir.string() ? NewFile::Exists : NewFile::Failed);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "no-such-dir"));
  EXPECT_FALSE(std::filesystem::exists("in"));
}

TEST_F(ArchiveFilesTest, TheUploaderRunsOnItsOwnInTheCallersDirectory) {
  // A stand-in uploader: it writes where it was started, after its caller has gone on.
  const std::filesystem::path uploader = dir / "ArchSend.exe";
  std::ofstream(uploader) << "#!/bin/sh\nsleep 0.2\necho started > ArchSend.flag\n";
  std::filesystem::permissions(uploader, std::filesystem::perms::owner_all);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  const ProgramStart started = StartProgram(uploader.string());
  std::filesystem::current_path(before);
  ASSERT_EQ(started, ProgramStart::Started);
  // Nothing of ours is left to reap: the uploader is not our child.
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  // Bounded wait for the program's mark (no timing is asserted).
  for (int i = 0; i < 200 && !std::filesystem::exists(dir / "ArchSend.flag"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(Bytes(dir / "ArchSend.flag"), "started\n");
}

TEST_F(ArchiveFilesTest, AMissingUploaderIsToldApartFromOneThatDoesNotStart) {
  EXPECT_EQ(StartProgram((dir / "ArchSend.exe").string()), ProgramStart::Missing);
  EXPECT_EQ(StartProgram(""), ProgramStart::Missing);
  std::ofstream(dir / "not-executable") << "#!/bin/sh\n";
  EXPECT_EQ(StartProgram((dir / "not-executable").string()), ProgramStart::Failed);
  EXPECT_EQ(StartProgram(dir.string()), ProgramStart::Failed);  // a directory
}

TEST_F(ArchiveFilesTest, ABareProgramNameIsNeverLookedUpAlongThePath) {
  // "sh" is on PATH, but not in the current directory: nothing is started.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  const ProgramStart started = StartProgram("sh");
  std::filesystem::current_path(before);
  EXPECT_EQ(started, ProgramStart::Missing);
}

}  // namespace
}  // namespace molvex::testing
