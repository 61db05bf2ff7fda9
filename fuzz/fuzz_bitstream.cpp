// The bit reader driven by the input itself: the first bytes choose the reads,
// the rest is the data read.
#include <cstddef>
#include <cstdint>

#include "core/BitStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t script = data[0] % 64 + 1 < size ? data[0] % 64 + 1 : size - 1;
  tessaro::TBitStream4 bits;
  bits.SetData(data + 1 + script, static_cast<int32_t>(size - 1 - script));
  for (size_t i = 1; i <= script; ++i) {
    const uint8_t op = data[i];
    switch (op % 8) {
      case 0:
        bits.GetBit();
        break;
      case 1:
        bits.GetBits(op / 8);
        break;
      case 2:
        bits.GetBits32();
        break;
      case 3:
        bits.GetAligned32();
        break;
      case 4:
        bits.GetBits40();
        break;
      case 5:
        bits.SkipBytes(op / 8);
        break;
      case 6:
        bits.GetBits16();
        break;
      default:
        (void)bits.GetCurrentPointer();
        break;
    }
  }
  return 0;
}
