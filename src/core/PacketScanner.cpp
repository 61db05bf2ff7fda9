#include "core/PacketScanner.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <sys/mman.h>

namespace tessaro {

void TPacketScanner::Allocate(int64_t bytes) {
  // A buffer of a quarter of a large page or more lies in whole large pages,
  // asked for where the system gives them on request: one page fault instead
  // of one per 4 KiB, on a thread whose heap has not grown that far yet.
  const int64_t align = bytes >= kLargePage / 4 ? kLargePage : kPage;
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
  // Every read lands at the same place, a page or two into the buffer, with
  // the held bytes from offset on (a packet cut by the last read's end) moved
  // just before it: the kernel's copy and the walk behind it then reuse the
  // same cache lines block after block, where a read that lands after the
  // last one walks through twice the memory (measured: a fifth of the walk's
  // time on a page-cached file).
  const bool keeps = offset >= heldStart_ && offset < held;
  const int64_t kept = keeps ? held - offset : 0;
  int64_t readSize = std::min(std::max(nextRead_, count - kept), end_ - offset - kept);
  // Reads of a page or more end on a page boundary of the file where the
  // range allows, so the next one starts on one; smaller blocks stay as asked.
  const int64_t readStart = offset + kept;
  const int64_t readEnd = readStart + readSize;
  const int64_t toPage = (kPage - readEnd % kPage) % kPage;
  if (readSize >= kPage && end_ - readEnd >= toPage) readSize += toPage;
  // Where readStart's byte goes: at its offset within a page, after room for the kept bytes.
  const int64_t at = std::max<int64_t>((kept + kPage - 1) / kPage, 1) * kPage + readStart % kPage;
  const int64_t from = offset - bufferOffset_;  // where the kept bytes lie now
  if (at + readSize > capacity_) {
    std::unique_ptr<uint8_t[], TFree> old = std::move(buffer_);
    Allocate(std::max(blockSize_ + 3 * kPage, at + readSize));
    if (kept > 0) std::memcpy(buffer_.get() + at - kept, old.get() + from, static_cast<size_t>(kept));
  } else if (kept > 0) {
    std::memmove(buffer_.get() + at - kept, buffer_.get() + from, static_cast<size_t>(kept));
  }
  heldStart_ = offset;
  const int64_t n = stream_->ReadAt(readStart, buffer_.get() + at, readSize);
  bufferOffset_ = readStart - at;
  bufferLength_ = at + n;
  fileEnded_ = n < readSize || readStart + n >= end_;
  readEnd_ = std::max(readEnd_, readStart + n);
  nextRead_ = std::min(nextRead_ * 2, blockSize_);
  if (progress_) {
    // The file's size is asked again only when the bytes read pass the size
    // last told (it grew) or a read comes back short (it ended, or shrank),
    // not once a block.
    const int64_t done = readStart + n;
    if (end_ == kToEndOfFile && (fileEnded_ || done > sizeSeen_)) sizeSeen_ = std::max<int64_t>(stream_->Size(), 0);
    const int64_t total = (end_ == kToEndOfFile ? sizeSeen_ : end_) - start_;
    progress_(std::min(done - start_, total), total);
  }
  data = buffer_.get() + at - kept;
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
