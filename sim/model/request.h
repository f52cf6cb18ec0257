// One request as the device takes it: the frame's sequence number, command code and data text
// (Windows-1251). The wire's parser (sim/wire/frame.h) fills it.
#pragma once

#include <cstdint>
#include <string>

namespace molvex::sim {

struct Request {
  std::uint8_t sequence = 0;
  int command = 0;
  std::string data;
};

}  // namespace molvex::sim
