// Which bit of which status byte sets which bit of the error word. The decoder maps with it,
// and the virtual printer places its conditions with it.
#pragma once

#include <cstdint>

// Error-word bits that make a reply a failure: 0..6, 8, 9, 13, 16..19 and 24..29. The others
// (7, 10..12, 14, 15, 20..23) are reported but do not fail a command.
constexpr std::uint32_t FailureMask = 0x3F0F237Fu;

struct StatusBit {
  std::uint8_t byte;       // status byte 0..5
  std::uint8_t mask;       // bit value within the byte
  std::uint8_t error_bit;  // bit number in the error word
};

constexpr int kStatusBitCount = 25;
extern const StatusBit kStatusBitMap[kStatusBitCount];

// The six status bytes (top bits ignored) as error-word bits.
std::uint32_t MapStatusBytes(const std::uint8_t status[6]);

// Where an error-word bit lives in the status bytes; false for bits that no status bit sets.
bool FindStatusBit(int error_bit, StatusBit& where);
