#include "core/PacketScanner.h"

#include <algorithm>
#include <cstring>

namespace tessaro {

int64_t TPacketScanner::Ensure(int64_t offset, int64_t count, const uint8_t*& data) {
  const int64_t wanted = std::min(count, end_ - offset);
  if (wanted <= 0 || offset < start_) return 0;
  const int64_t held = bufferOffset_ + bufferLength_;
  if (offset >= bufferOffset_ && offset <= held && (offset + wanted <= held || fileEnded_)) {
    data = buffer_.data() + (offset - bufferOffset_);
    return std::min(wanted, held - offset);
  }
  if (Cancelled()) {
    cancelled_ = true;
    return 0;
  }
  // Bytes from offset that are already held move to the front and are not read again.
  const int64_t kept = offset >= bufferOffset_ && offset < held ? held - offset : 0;
  if (kept > 0) std::memmove(buffer_.data(), buffer_.data() + (offset - bufferOffset_), static_cast<size_t>(kept));
  const int64_t readSize = std::min(std::max(nextRead_, count - kept), end_ - offset - kept);
  if (static_cast<int64_t>(buffer_.size()) < kept + readSize) buffer_.resize(static_cast<size_t>(kept + readSize));
  const int64_t n = stream_->ReadAt(offset + kept, buffer_.data() + kept, readSize);
  bufferOffset_ = offset;
  bufferLength_ = kept + n;
  fileEnded_ = n < readSize || offset + kept + n >= end_;
  readEnd_ = std::max(readEnd_, offset + kept + n);
  nextRead_ = std::min(nextRead_ * 2, blockSize_);
  if (progress_) {
    const int64_t total = (end_ == kToEndOfFile ? std::max<int64_t>(stream_->Size(), 0) : end_) - start_;
    progress_(std::min(offset + bufferLength_ - start_, total), total);
  }
  data = buffer_.data();
  return std::min(bufferLength_, wanted);
}

int64_t TPacketScanner::Acquire(int64_t pos, int32_t acquire) {
  const int64_t span = int64_t{acquire - 1} * ps_ + kTSPacketSize;
  const uint8_t* b = nullptr;
  for (;; ++pos) {
    const int64_t available = Ensure(pos, span, b);
    if (available < kTSPacketSize) return -1;
    // Fewer bytes than the span only where the range ends: the slots it still holds.
    const int64_t slots = std::min<int64_t>(acquire, (available - kTSPacketSize) / ps_ + 1);
    if (slots < std::min(acquire, 2)) return -1;
    int64_t slot = 0;
    while (slot < slots && b[slot * ps_] == 0x47) ++slot;
    if (slot == slots) return pos;
  }
}

}  // namespace tessaro
