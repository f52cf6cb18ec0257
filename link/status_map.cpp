#include "link/status_map.h"

const StatusBit kStatusBitMap[kStatusBitCount] = {
    {0, 0x01, 0},  {0, 0x02, 1},  {0, 0x04, 2},  {0, 0x10, 3},  {0, 0x20, 27},
    {1, 0x01, 4},  {1, 0x02, 5},  {1, 0x04, 6},  {1, 0x08, 7},  {1, 0x10, 8},
    {1, 0x20, 12}, {2, 0x01, 9},  {2, 0x08, 10}, {2, 0x20, 11}, {4, 0x01, 16},
    {4, 0x04, 13}, {4, 0x08, 20}, {4, 0x10, 17}, {4, 0x20, 28}, {5, 0x01, 18},
    {5, 0x02, 21}, {5, 0x04, 19}, {5, 0x08, 22}, {5, 0x10, 23}, {5, 0x20, 14},
};

std::uint32_t MapStatusBytes(const std::uint8_t status[6]) {
  std::uint32_t word = 0;
  for (const StatusBit& bit : kStatusBitMap) {
    if ((status[bit.byte] & bit.mask) != 0) word |= 1u << bit.error_bit;
  }
  return word;
}

bool FindStatusBit(int error_bit, StatusBit& where) {
  for (const StatusBit& bit : kStatusBitMap) {
    if (bit.error_bit == error_bit) {
      where = bit;
      return true;
    }
  }
  return false;
}
