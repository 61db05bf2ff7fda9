// TByteView: a bounded, read-only view of bytes. Reads outside the view yield
// zero and never touch memory, so decoders can follow lying length fields
// without running off their buffer.
#pragma once

#include <algorithm>
#include <cstdint>

namespace tessaro {

class TByteView {
 public:
  TByteView() = default;
  TByteView(const uint8_t* data, int32_t size) : data_(data), size_(data != nullptr && size > 0 ? size : 0) {}

  int32_t Size() const { return size_; }
  bool Contains(int64_t index, int64_t count = 1) const { return index >= 0 && count >= 0 && index + count <= size_; }
  uint32_t U8(int64_t i) const { return Contains(i) ? data_[i] : 0u; }
  uint32_t U16(int64_t i) const { return (U8(i) << 8) | U8(i + 1); }
  uint32_t U24(int64_t i) const { return (U8(i) << 16) | U16(i + 1); }
  uint32_t U32(int64_t i) const { return (U8(i) << 24) | U24(i + 1); }
  // The bytes from index on, cut to count and to the end of the view.
  TByteView Sub(int64_t index, int64_t count) const {
    if (index < 0 || index >= size_ || count <= 0) return {};
    return {data_ + index, static_cast<int32_t>(std::min<int64_t>(count, size_ - index))};
  }
  const uint8_t* Data() const { return data_; }

 private:
  const uint8_t* data_ = nullptr;
  int32_t size_ = 0;
};

}  // namespace tessaro
