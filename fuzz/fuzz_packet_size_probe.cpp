// Stream type detection over arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "core/PacketSizeProbe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int32_t packetSize = 0;
  int32_t offset = 0;
  if (tessaro::GetTSStreamType(data, static_cast<int64_t>(size), packetSize, offset)) {
    if (offset < 0 || static_cast<size_t>(offset) + 2u * static_cast<size_t>(packetSize) >= size) __builtin_trap();
  }
  return 0;
}
