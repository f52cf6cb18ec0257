// A fresh, empty settings directory (MOLVEXECR_DIR) and empty archive settings for each test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "archive/archive_settings.h"

namespace molvex::testing {

class SettingsDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("molvex-archive-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    ::setenv("MOLVEXECR_DIR", dir.c_str(), 1);
    ResetArchiveSettings();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  void Write(const std::string& text) {
    std::ofstream(dir / "ZRepRec.ini", std::ios::binary) << text;
  }
  std::string File() const { return (dir / "ZRepRec.ini").string(); }

  std::filesystem::path dir;
};

}  // namespace molvex::testing
