// The status map of the printer's conditions: each lands where the host reads it, informational
// states never make a command fail and errors always do.
#include <gtest/gtest.h>

#include "link/status_map.h"
#include "sim/model/conditions.h"
#include "tests/sim/sim_harness.h"

namespace simtest {
namespace {

using namespace molvex::sim;

TEST(Conditions, EachConditionMapsBackToItsOwnErrorBitOnItsSideOfTheFailureMask) {
  for (const ConditionInfo& info : kConditions) {
    std::uint8_t status[6];
    PlaceConditions(Bit(info.condition), status);
    std::uint8_t plain[6];
    for (std::size_t i = 0; i < 6; ++i) {
      EXPECT_EQ(status[i] & 0x80, 0x80);
      plain[i] = status[i] & 0x7F;
    }
    EXPECT_EQ(MapStatusBytes(plain), 1u << info.error_bit) << info.name;
    EXPECT_EQ((FailureMask >> info.error_bit) & 1u, info.error ? 1u : 0u) << info.name;
    EXPECT_EQ(ConditionByName(info.name), info.condition);
  }
}

TEST(Conditions, ErrorBitsAreDistinct) {
  std::uint32_t seen = 0;
  for (const ConditionInfo& info : kConditions) {
    EXPECT_EQ(seen & (1u << info.error_bit), 0u) << info.name;
    seen |= 1u << info.error_bit;
  }
}

}  // namespace
}  // namespace simtest
