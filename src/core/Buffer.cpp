#include "core/Buffer.h"

#include <algorithm>
#include <cstring>

namespace tessaro {

TBuffer::TBuffer(int32_t capacity, int32_t increment) : increment_(std::max(increment, 0)) {
  if (capacity > 0) {
    memory_ = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
    capacity_ = capacity;
  }
}

uint8_t* TBuffer::GetData() { return memory_.get() + start_; }
int32_t TBuffer::GetDataSize() const { return end_ - start_; }
uint8_t* TBuffer::GetFreePointer() { return memory_.get() + end_; }
int32_t TBuffer::GetFreeSpace() const { return capacity_ - end_; }

void TBuffer::SetCapacity(int32_t capacity) {
  const int32_t size = GetDataSize();
  if (capacity < size) capacity = size;  // never drop unread data
  auto block = std::make_unique<uint8_t[]>(static_cast<size_t>(std::max(capacity, 1)));
  if (size > 0) std::memcpy(block.get(), memory_.get() + start_, static_cast<size_t>(size));
  memory_ = std::move(block);
  start_ = 0;
  end_ = size;
  capacity_ = capacity;
}

void TBuffer::SetReadOffset(int32_t offset) {
  if (offset >= 0 && offset < end_) {
    start_ = offset;
  } else {
    start_ = 0;
    end_ = 0;
  }
}

void TBuffer::Compact() {
  if (start_ <= 0) return;
  const int32_t size = GetDataSize();
  if (size > 0) std::memmove(memory_.get(), memory_.get() + start_, static_cast<size_t>(size));
  end_ = size;
  start_ = 0;
}

void TBuffer::Append(const uint8_t* source, int32_t count) {
  if (source == nullptr || count <= 0) return;
  if (static_cast<int64_t>(end_) + count > capacity_) SetCapacity(end_ + std::max(increment_, count));
  std::memcpy(GetFreePointer(), source, static_cast<size_t>(count));
  end_ += count;
}

void TBuffer::Clear() {
  start_ = 0;
  end_ = 0;
}

}  // namespace tessaro
