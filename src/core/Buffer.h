// TBuffer: growable byte buffer with a read position. Unread data is the bytes
// from Start to End; 0 <= Start <= End <= Capacity always holds.
#pragma once

#include <cstdint>
#include <memory>

namespace tessaro {

class TBuffer {
 public:
  TBuffer(int32_t capacity, int32_t increment);
  virtual ~TBuffer() = default;
  TBuffer(const TBuffer&) = delete;
  TBuffer& operator=(const TBuffer&) = delete;

  virtual uint8_t* GetData();
  virtual int32_t GetDataSize() const;
  virtual uint8_t* GetFreePointer();
  virtual void SetCapacity(int32_t capacity);
  virtual void SetReadOffset(int32_t offset);
  virtual int32_t GetFreeSpace() const;
  virtual void Compact();
  virtual void Append(const uint8_t* source, int32_t count);
  virtual void Clear();

  int32_t Capacity() const { return capacity_; }
  int32_t StartPos() const { return start_; }
  int32_t EndPos() const { return end_; }

 private:
  std::unique_ptr<uint8_t[]> memory_;
  int32_t capacity_ = 0;
  int32_t end_ = 0;
  int32_t start_ = 0;
  int32_t increment_ = 0;
};

}  // namespace tessaro
