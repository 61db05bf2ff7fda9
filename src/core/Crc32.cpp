#include "core/Crc32.h"

#include <array>

namespace tessaro {
namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t crc = i << 24;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    table[i] = crc;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

uint32_t CalcCRC32(const uint8_t* data, int32_t length) {
  uint32_t crc = 0xFFFFFFFFu;
  if (data == nullptr) return crc;
  for (int32_t i = 0; i < length; ++i) crc = kTable[((crc >> 24) ^ data[i]) & 0xFF] ^ (crc << 8);
  return crc;
}

uint32_t SwapBytes32(uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}

}  // namespace tessaro
