#include "core/PacketScanner.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <sys/mman.h>

namespace tessaro {

void TPacketScanner::Allocate(int64_t bytes) {
  // A buffer of a large page or more lies in whole large pages, asked for
  // where the system gives them on request: one page fault instead of one per
  // 4 KiB, on a thread whose heap has not grown that far yet.
  const int64_t align = bytes >= kLargePage / 2 ? kLargePage : kPage;
  const int64_t size = (bytes + align - 1) / align * align;
  buffer_.reset(static_cast<uint8_t*>(std::aligned_alloc(static_cast<size_t>(align), static_cast<size_t>(size))));
  if (!buffer_) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
  if (align == kLargePage) ::madvise(buffer_.get(), static_cast<size_t>(size), MADV_HUGEPAGE);
#endif
  capacity_ = size;
}

int64_t TPacketScanner::Ensure(int64_t offset, int64_t count, const uint8_t*& data) {
  const int64_t wanted = std::min(count, end_ - offset);
  if (wanted <= 0 || offset < start_) return 0;
  const int64_t held = bufferOffset_ + bufferLength_;
  if (offset >= heldStart_ && offset <= held && (offset + wanted <= held || fileEnded_)) {
    data = buffer_.get() + (offset - bufferOffset_);
    return std::min(wanted, held - offset);
  }
  if (Cancelled()) {
    cancelled_ = true;
    return 0;
  }
  // The bytes from offset on that are held stay where they are, and the read
  // lands right after them while the buffer has room: a walk that looks past
  // a block's end costs no copy, and the reads go round a buffer of two blocks
  // small enough to stay in the processor's cache, where the kernel's copy
  // and the walk behind it are cheapest. Only when the room runs out do the
  // kept bytes move to the front.
  const bool keeps = offset >= heldStart_ && offset < held;
  const int64_t kept = keeps ? held - offset : 0;
  int64_t readSize = std::min(std::max(nextRead_, count - kept), end_ - offset - kept);
  // Reads of a page or more end on a page boundary of the file where the
  // range allows, so the next one starts on one; smaller blocks stay as asked.
  const int64_t readEnd = offset + kept + readSize;
  const int64_t toPage = (kPage - readEnd % kPage) % kPage;
  if (readSize >= kPage && end_ - readEnd >= toPage) readSize += toPage;
  int64_t at = keeps ? offset - bufferOffset_ : offset % kPage;  // where offset's byte lies in the buffer
  if (!keeps) heldStart_ = offset;
  if (at + kept + readSize > capacity_) {
    heldStart_ = offset;
    const int64_t front = offset % kPage;
    const int64_t capacity = std::max(2 * blockSize_ + kPage, front + kept + readSize);
    if (capacity > capacity_) {
      std::unique_ptr<uint8_t[], TFree> old = std::move(buffer_);
      Allocate(capacity);
      if (kept > 0) std::memcpy(buffer_.get() + front, old.get() + at, static_cast<size_t>(kept));
    } else if (kept > 0) {
      std::memmove(buffer_.get() + front, buffer_.get() + at, static_cast<size_t>(kept));
    }
    at = front;
  }
  const int64_t n = stream_->ReadAt(offset + kept, buffer_.get() + at + kept, readSize);
  bufferOffset_ = offset - at;
  bufferLength_ = at + kept + n;
  fileEnded_ = n < readSize || offset + kept + n >= end_;
  readEnd_ = std::max(readEnd_, offset + kept + n);
  nextRead_ = std::min(nextRead_ * 2, blockSize_);
  if (progress_) {
    // The file's size is asked again only when the bytes read pass the size
    // last told (it grew) or a read comes back short (it ended, or shrank),
    // not once a block.
    const int64_t done = offset + kept + n;
    if (end_ == kToEndOfFile && (fileEnded_ || done > sizeSeen_)) sizeSeen_ = std::max<int64_t>(stream_->Size(), 0);
    const int64_t total = (end_ == kToEndOfFile ? sizeSeen_ : end_) - start_;
    progress_(std::min(done - start_, total), total);
  }
  data = buffer_.get() + at;
  return std::min(kept + n, wanted);
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
