// CRC-32/MPEG-2 (polynomial 0x04C11DB7, MSB first, init 0xFFFFFFFF, no final XOR)
// and the 32-bit byte-order swap.
#pragma once

#include <cstdint>

namespace tessaro {

uint32_t CalcCRC32(const uint8_t* data, int32_t length);
uint32_t SwapBytes32(uint32_t value);

}  // namespace tessaro
