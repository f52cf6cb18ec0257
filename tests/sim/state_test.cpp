// The fiscal memory kept in a state file across restarts.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include <unistd.h>

#include "sim/model/state_file.h"
#include "tests/sim/sim_harness.h"

namespace simtest {
namespace {

using molvex::sim::DeviceState;
using molvex::sim::LoadState;
using molvex::sim::SaveState;

std::string TempPath(const char* name) {
  return ::testing::TempDir() + "/" + name + "-" + std::to_string(::getpid());
}

TEST_F(LinkedPrinter, StateSurvivesARestartOfTheDevice) {
  const std::string path = TempPath("ecr-state");
  device.SetStateChanged([this, path] { ASSERT_TRUE(SaveState(device.state(), path)); });
  ProgramArticle(5, '\xC1', "2.50", "\xCC\xEE\xEB\xEE\xEA\xEE");
  Ok(102, "2,,BORIS");
  Ok(101, "2,,77");
  Ok(36, "1,0A000001,FF000000,0A0000FE,0A000005,5000,3C00,0500");
  Ok(48, "00002,77,00001,I");
  Ok(58, "5*2.000");
  Ok(53, "\tP");
  Ok(56);
  Ok(69, "0,0");
  Ok(48, "00002,77,00001,I");
  Ok(58, "5");
  Ok(53, "\tP");
  Ok(56);

  molvex::FakeClock other_clock;
  molvex::sim::InProcessPort restarted(other_clock);
  DeviceState& s = restarted.device().state();
  ASSERT_TRUE(LoadState(s, path));
  EXPECT_EQ(s.z_number, 1);
  EXPECT_EQ(s.receipt_number, 2);
  EXPECT_EQ(s.cash, 750);
  EXPECT_EQ(s.day.sales[1], 250);
  EXPECT_EQ(s.last_z.sales[1], 500);
  EXPECT_EQ(s.articles[5].name, "\xCC\xEE\xEB\xEE\xEA\xEE");
  EXPECT_EQ(s.articles[5].sold_quantity, 1000);
  EXPECT_EQ(s.operators[2].name, "BORIS");
  EXPECT_EQ(s.operators[2].password, "77");
  EXPECT_EQ(s.net.target_port, 0x0050);
  ASSERT_EQ(s.z_history.size(), 1u);
  EXPECT_EQ(s.z_data, device.state().z_data);
  EXPECT_EQ(s.document_number, device.state().document_number);
  std::remove(path.c_str());
}

TEST(StateFile, MissingOrDamagedFilesLeaveTheStateAlone) {
  DeviceState s;
  s.z_number = 42;
  EXPECT_FALSE(LoadState(s, TempPath("no-such-state")));
  const std::string path = TempPath("bad-state");
  const char* const damaged[] = {
      "",
      "not a state file\n",
      "molvex-ecr-state 1\ncounters=1,2\n",
      "molvex-ecr-state 1\narticle=99999,192,1,100,0,0,0,41\n",
      "molvex-ecr-state 1\narticle=1,197,1,100,0,0,0,41\n",
      "molvex-ecr-state 1\noperator=1,4,ZZ\n",
      "molvex-ecr-state 1\nno equals sign\n",
      "molvex-ecr-state 1\nday=1,2;3\n",
  };
  for (const char* text : damaged) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    EXPECT_FALSE(LoadState(s, path)) << text;
    EXPECT_EQ(s.z_number, 42);
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace simtest
