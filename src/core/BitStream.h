// TBitStream4: big-endian bit reader over a byte buffer it does not own.
// A read may run up to 32 bits past the end of the data (BitsLeft then goes
// negative); the bytes past the end read as zero and are never touched.
#pragma once

#include <algorithm>
#include <cstdint>

#include "core/FieldPositions.h"

namespace tessaro {

class TBitStream4 {
 public:
  int32_t Size = 0;
  int32_t BytePos = 0;
  int32_t BitPos = 0;
  int32_t Error = 0;
  int64_t BitsLeft = 0;
  const uint8_t* Data = nullptr;

  // 0, or E_FAIL (fields unchanged) for a null pointer or a size of 0 or less.
  uint32_t SetData(const uint8_t* data, int32_t size);

  uint32_t GetBit();
  uint32_t GetBits(int n);  // 0..32 bits
  uint32_t GetBits3() { return GetBits(3); }
  uint32_t GetBits5() { return GetBits(5); }
  uint32_t GetBits7() { return GetBits(7); }
  uint32_t GetBits8() { return GetBits(8); }
  uint32_t GetBits16() { return GetBits(16); }
  uint32_t GetBits32();
  uint32_t GetAligned32();
  uint64_t GetBits40();
  void SkipBytes(int32_t n);

  // Reads bits (0 to 64) into field and, while positions are active, records
  // where the field lies: the part of those bits that is inside the data.
  template <class T>
  T Read(T& field, int bits) {
    const int64_t at = BitOffset();
    field = static_cast<T>(bits > 32 ? GetBitsWide(bits) : GetBits(bits));
    if (ActivePositions() != nullptr) NoteField(&field, Data, at, std::min<int64_t>(bits, DataBitsFrom(at)));
    return field;
  }
  // The same for one more part of a field whose bits are not contiguous.
  template <class T>
  uint32_t ReadPart(T& field, int bits) {
    const int64_t at = BitOffset();
    const uint32_t value = GetBits(bits);
    if (ActivePositions() != nullptr) NoteFieldPart(&field, Data, at, std::min<int64_t>(bits, DataBitsFrom(at)));
    return value;
  }
  // Bits consumed since SetData.
  int64_t BitOffset() const { return int64_t{BytePos} * 8 + BitPos; }

  // The byte that holds the next bit (clamped to the end of the data).
  const uint8_t* GetCurrentPointer() const;
  // Bytes of data from the current byte to the end (0 when past the end).
  int32_t BytesRemaining() const;

 private:
  uint64_t GetBitsWide(int n);  // 33..64 bits as two reads
  int64_t DataBitsFrom(int64_t bit) const { return std::max<int64_t>(int64_t{Size} * 8 - bit, 0); }
  uint8_t ByteAt(int64_t index) const;
  bool Refuse(int64_t bits);
};

}  // namespace tessaro
