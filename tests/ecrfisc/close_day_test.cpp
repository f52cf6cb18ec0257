// examples/close-day.txt as it stands, run by ecrfisc against ecr-sim on a pseudo-terminal,
// with examples/ZRepRec.ini in the settings directory and examples/archsend-standin.sh as the
// uploader: the X and Z reports succeed, the archive file holds the printer's Z data, the info
// log has its two lines and the uploader was started.
#include <gtest/gtest.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/text_codec.h"
#include "tests/support/file_bytes.h"
#include "tests/support/sim_on_pty.h"

namespace {

namespace fs = std::filesystem;
using testsupport::FileBytes;

// Windows-1251 bytes as UTF-8, to compare the log with readable text.
std::string Utf8(const std::string& cp1251) {
  const auto wide = molvex::PrinterToWide(cp1251);
  return molvex::WideToUtf8(wide.data(), wide.size());
}

bool WaitFor(const fs::path& path) {
  for (int i = 0; i < 400 && !fs::exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return fs::exists(path);
}

// The printer's clock stands at 10-12-2026 22:05, so its Z data is known.
class CloseDay : public testsupport::SimOnPty {
 protected:
  CloseDay() { extra_sim_args_ = {"--clock", "fixed:2026-12-10T22:05"}; }
};

TEST_F(CloseDay, TheExampleClosesTheDayAndLeavesItsArchive) {
  // The settings directory holds the example settings file as it stands; without a LocalPath
  // key the archive goes there too, beside the stand-in uploader.
  const fs::path settings = dir_;
  fs::copy_file(fs::path(EXAMPLES_DIR) / "ZRepRec.ini", settings / "ZRepRec.ini");
  fs::copy_file(fs::path(EXAMPLES_DIR) / "archsend-standin.sh", settings / "ArchSend.exe");
  fs::permissions(settings / "ArchSend.exe", fs::perms::owner_all);

  std::string out;
  const int status = Ecrfisc("--script '" + std::string(EXAMPLES_DIR) + "/close-day.txt'", out);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("SetComPort: Result = 1"), std::string::npos) << out;
  EXPECT_NE(out.find("XReport: Result = true"), std::string::npos) << out;
  EXPECT_NE(out.find("ZReport: Result = true"), std::string::npos) << out;
  EXPECT_EQ(out.find("HRESULT"), std::string::npos) << out;
  EXPECT_NE(out.find("StatusBytes: Value = 0"), std::string::npos) << out;

  // One archive file, named from the date, the time and the identifiers 12 and 3, holding the
  // printer's Z data.
  std::vector<fs::path> archives;
  for (const auto& e : fs::directory_iterator(settings)) {
    if (e.path().extension() == ".zre") archives.push_back(e.path());
  }
  ASSERT_EQ(archives.size(), 1u);
  const std::string name = archives[0].filename().string();
  EXPECT_TRUE(std::regex_match(name, std::regex(R"(20\d{6}[0-2]\d[0-5]\d123\.zre)"))) << name;
  const std::string archive = FileBytes(archives[0]);
  EXPECT_EQ(archive.rfind("Z-REPORT\nMODEL=LT7260R\n", 0), 0u) << archive;
  EXPECT_NE(archive.find("\nZ=1\nDATE=2026-12-10\nTIME=22:05\n"), std::string::npos) << archive;

  // The info log in Windows-1251: the Z report done, then the archive file written.
  const std::string stamp = R"(\d\d-\d\d-20\d\d [0-2]\d:[0-5]\d)";
  const std::string log = Utf8(FileBytes(settings / "infoZ.log"));
  EXPECT_TRUE(std::regex_match(
      log, std::regex(stamp + " Z-Отчет выполнен! \n" + stamp +
                      " Z-Отчет считан и записан в файл: " + archives[0].string() + " \n")))
      << log;

  // The stand-in uploader left its line, naming the archive it found.
  ASSERT_TRUE(WaitFor(settings / "ArchSend.log"));
  std::string mark;
  for (int i = 0; i < 400 && mark.find('\n') == std::string::npos; ++i) {
    mark = FileBytes(settings / "ArchSend.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  EXPECT_NE(mark.find("ArchSend.exe started "), std::string::npos) << mark;
  EXPECT_NE(mark.find(" " + name + "\n"), std::string::npos) << mark;
}

}  // namespace

namespace {

TEST_F(CloseDay, PendingZDataIsListedAndWrittenOnDemand) {
  const fs::path settings = dir_;
  fs::copy_file(fs::path(EXAMPLES_DIR) / "ZRepRec.ini", settings / "ZRepRec.ini");
  fs::copy_file(fs::path(EXAMPLES_DIR) / "archsend-standin.sh", settings / "ArchSend.exe");
  fs::permissions(settings / "ArchSend.exe", fs::perms::owner_all);
  std::string out;
  ASSERT_EQ(Ecrfisc("--z-pending", out), 0) << out;
  EXPECT_EQ(out, "No Z data waits for its archive.\n");

  // A day whose archive could not be written, as ZReport left it in the spool.
  const std::string data = "Z-REPORT\nZ=7\n";
  std::ofstream(settings / "202612102205123.zsp", std::ios::binary)
      << "MolvexECR Z data\n202612102205123\n"
      << data.size() << "\n"
      << data;
  std::ofstream(settings / "broken.zsp") << "MolvexECR Z data\n";
  out.clear();
  EXPECT_EQ(Ecrfisc("--z-pending", out), 1);
  const std::string archive = (settings / "202612102205123.zre").string();
  EXPECT_EQ(out, (settings / "202612102205123.zsp").string() + ": " + std::to_string(data.size()) +
                     " bytes for " + archive + "\n" + (settings / "broken.zsp").string() +
                     ": not a whole spool file; left as it is\n");

  out.clear();
  EXPECT_EQ(Ecrfisc("--z-write-pending", out), 1) << "the broken file still waits";
  EXPECT_EQ(out.rfind("Archives written: 1\n", 0), 0u) << out;
  EXPECT_EQ(FileBytes(archive), data);
  EXPECT_FALSE(fs::exists(settings / "202612102205123.zsp"));
  EXPECT_NE(Utf8(FileBytes(settings / "infoZ.log"))
                .find(" Z-Отчет считан и записан в файл: " + archive + " \n"),
            std::string::npos);
  EXPECT_TRUE(WaitFor(settings / "ArchSend.log"));

  fs::remove(settings / "broken.zsp");
  out.clear();
  EXPECT_EQ(Ecrfisc("--z-write-pending", out), 0);
  EXPECT_EQ(out, "Archives written: 0\nNo Z data waits for its archive.\n");
}

}  // namespace
