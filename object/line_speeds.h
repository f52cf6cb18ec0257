// The line speeds SetComPort accepts: the one list the object, its messages and the printer
// search go by.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace molvex {

// Ascending.
inline constexpr std::array<std::int32_t, 4> kAcceptedSpeeds = {9600, 19200, 57600, 115200};

inline bool SpeedAccepted(std::int32_t speed) {
  return std::find(kAcceptedSpeeds.begin(), kAcceptedSpeeds.end(), speed) != kAcceptedSpeeds.end();
}

}  // namespace molvex
