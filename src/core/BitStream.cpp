#include "core/BitStream.h"

#include "core/Diagnostics.h"

namespace tessaro {

uint32_t TBitStream4::SetData(const uint8_t* data, int32_t size) {
  if (data == nullptr || size <= 0) return E_FAIL;
  Data = data;
  Size = size;
  BytePos = 0;
  BitPos = 0;
  Error = 0;
  BitsLeft = static_cast<int64_t>(size) * 8;
  return S_OK;
}

uint8_t TBitStream4::ByteAt(int64_t index) const {
  return (Data != nullptr && index >= 0 && index < Size) ? Data[index] : 0;
}

bool TBitStream4::Refuse(int64_t bits) {
  if (BitsLeft < bits - 32) {
    Error = -1;
    return true;
  }
  return false;
}

uint32_t TBitStream4::GetBit() {
  if (Refuse(1)) return 0;
  const uint32_t value = (ByteAt(BytePos) >> (7 - BitPos)) & 1u;
  BytePos += (BitPos + 1) / 8;
  BitPos = (BitPos + 1) % 8;
  BitsLeft -= 1;
  return value;
}

uint32_t TBitStream4::GetBits(int n) {
  if (n <= 0 || n > 32) return 0;
  if (Refuse(n)) return 0;
  // Five bytes always hold BitPos (0..7) + n (up to 32) bits.
  uint64_t window = 0;
  if (BytePos >= 0 && static_cast<int64_t>(BytePos) + 5 <= Size) {
    const uint8_t* b = Data + BytePos;
    window = (uint64_t{b[0]} << 32) | (uint64_t{b[1]} << 24) | (uint64_t{b[2]} << 16) | (uint64_t{b[3]} << 8) | b[4];
  } else {
    for (int i = 0; i < 5; ++i) window = (window << 8) | ByteAt(static_cast<int64_t>(BytePos) + i);
  }
  const uint64_t value = (window >> (40 - BitPos - n)) & ((uint64_t{1} << n) - 1);
  BytePos += (BitPos + n) / 8;
  BitPos = (BitPos + n) % 8;
  BitsLeft -= n;
  return static_cast<uint32_t>(value);
}

uint32_t TBitStream4::GetBits32() {
  if (Refuse(32)) return 0;
  const uint32_t high = GetBits16();
  return (high << 16) | GetBits16();
}

uint32_t TBitStream4::GetAligned32() {
  if (Refuse(32)) return 0;
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = (value << 8) | ByteAt(static_cast<int64_t>(BytePos) + i);
  BytePos += 4;
  BitsLeft -= 32;
  return value;
}

uint64_t TBitStream4::GetBits40() {
  if (Refuse(40)) return 0;
  const uint64_t high = GetBits(20);
  return (high << 20) | GetBits(20);
}

uint64_t TBitStream4::GetBitsWide(int n) {
  if (n <= 32) return GetBits(n);
  if (n > 64 || Refuse(n)) return 0;
  const uint64_t high = GetBits(n - 32);
  return (high << 32) | GetBits(32);
}

void TBitStream4::SkipBytes(int32_t n) {
  if (n <= 0) return;
  if (Refuse(static_cast<int64_t>(n) * 8)) return;
  BytePos += n;
  BitsLeft -= static_cast<int64_t>(n) * 8;
}

const uint8_t* TBitStream4::GetCurrentPointer() const {
  if (Data == nullptr) return nullptr;
  return Data + (BytePos < Size ? BytePos : Size);
}

int32_t TBitStream4::BytesRemaining() const { return BytePos < Size ? Size - BytePos : 0; }

}  // namespace tessaro
