// The object fixture with the Z capture's seams in hand: its clock is the fixture's fake clock
// (which the virtual printer reads too) and the uploader is recorded, not started.
#pragma once

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "archive/z_archive.h"
#include "tests/object/object_fixture.h"
#include "tests/support/file_bytes.h"

namespace molvex::testing {

// The report tests' printer: status byte 5 carries bits (0x3A) that are no error, saved as they
// come.
constexpr Status kHealthy = {0x80, 0x80, 0x80, 0x80, 0x80, 0xBA};
constexpr Status kSyntaxError = {0xA1, 0x80, 0x80, 0x80, 0x80, 0xBA};
constexpr Status kReportNotAllowed = {0xA0, 0x82, 0x80, 0x80, 0x80, 0xBA};

inline std::vector<std::string>& StartedPrograms() {
  static std::vector<std::string> started;
  return started;
}

inline ProgramStart RecordStart(const std::string& path) {
  StartedPrograms().push_back(path);
  return ProgramStart::Started;
}

// UTF-8 text in Windows-1251, as the info log holds it.
inline std::string Cp1251(std::string_view utf8) {
  const auto wide = Utf8ToWide(utf8);
  return WideToPrinter(wide.data(), wide.size());
}

using testsupport::FileBytes;

class ReportTest : public ObjectTest {
 protected:
  void SetUp() override {
    ObjectTest::SetUp();
    clock.SetLocal(LocalDateTime{2026, 12, 10, 22, 5, 0});
    SetZCaptureClock(&clock);
    StartedPrograms().clear();
    SetUploaderStarter(&RecordStart);
    ForgetZDataKeptInProcess();
  }
  void TearDown() override {
    ForgetZDataKeptInProcess();
    SetZCaptureClock(nullptr);
    SetUploaderStarter(nullptr);
    ObjectTest::TearDown();
  }

  // Opens port 1 with a settings file: the archive in the test's directory, identifiers 12 and
  // 3 unless given.
  void OpenWithSettings(const std::string& id = "12", const std::string& printer = "3") {
    std::ofstream(dir / "ZRepRec.ini")
        << "[Identification]\nIdReastaurant=" << id << "\nFiscalPrinter=" << printer
        << "\n[Files]\nLocalPath=" << dir.string() << "/\n";
    int result = 0;
    ASSERT_EQ(obj.SetComPort(1, 115200, &result), S_OK);
    ASSERT_EQ(result, 1);
    port.printer().ClearRequests();
  }

  // The data texts of the requests with this command code.
  std::vector<std::string> DataOf(int command) const {
    std::vector<std::string> texts;
    for (const auto& r : port.requests()) {
      if (r.command == command) texts.push_back(r.data);
    }
    return texts;
  }

  // Files named *.zre in `where`, sorted.
  static std::vector<std::string> Archives(const std::filesystem::path& where) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(where)) {
      if (e.path().extension() == ".zre") names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

}  // namespace molvex::testing
