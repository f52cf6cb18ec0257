// The control bytes of the printer's frames, for the link and for the virtual printer, which
// parses frames on its own.
#pragma once

#include <cstdint>

constexpr std::uint8_t kFramePreamble = 0x01;    // opens a frame
constexpr std::uint8_t kFrameTerminator = 0x03;  // closes it, after the check digits
constexpr std::uint8_t kFrameSeparator = 0x04;   // between a reply's data and its status bytes
constexpr std::uint8_t kFramePostamble = 0x05;   // before the check digits
constexpr std::uint8_t kFrameNak = 0x15;         // the printer refuses a broken request
constexpr std::uint8_t kFrameSyn = 0x16;         // the printer is busy
