#include "core/PacketScanner.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

namespace {

// What the measured way found for this process: the first walks long enough
// to tell decide it for the later ones.
enum : uint8_t { kUndecided, kReadsWin, kMapWins };
std::atomic<uint8_t> gFoundWay{kUndecided};

// The trial: reads, then the map, to warm up (the first reads fault the
// buffer in, the first map the page tables); then each again, measured.
constexpr int kTrialPhases = 4;
constexpr int kFirstMeasured = 2;

// The processor time of this thread: a step's waits for the disk are not
// in it, so a cold file compares the ways by the work each costs (from a
// cold cache both wait alike, and wall time picked either at random).
double ThreadSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// What every scanner starts with: measured, unless TESSARO_READ_WAY says
// "map" or "read".
TPacketScanner::TReadWay WayFromEnvironment() {
  const char* way = std::getenv("TESSARO_READ_WAY");
  if (way != nullptr && std::strcmp(way, "map") == 0) return TPacketScanner::TReadWay::Map;
  if (way != nullptr && std::strcmp(way, "read") == 0) return TPacketScanner::TReadWay::Read;
  return TPacketScanner::TReadWay::Measured;
}
std::atomic<TPacketScanner::TReadWay> gDefaultWay{WayFromEnvironment()};
std::atomic<int64_t> gDefaultWindow{TPacketScanner::kMapWindow};

}  // namespace

TPacketScanner::TPacketScanner(int64_t blockSize) : blockSize_(std::max<int64_t>(blockSize, 1)) {
  SetReadWay(gDefaultWay.load(std::memory_order_relaxed), gDefaultWindow.load(std::memory_order_relaxed));
}

void TPacketScanner::SetDefaultReadWay(TReadWay way, int64_t mapWindow) {
  gDefaultWay.store(way, std::memory_order_relaxed);
  gDefaultWindow.store(mapWindow, std::memory_order_relaxed);
}

void TPacketScanner::Begin(const TFileStream& stream, int32_t packetSize, int64_t start, int64_t end) {
  stream_ = &stream;
  ps_ = std::max(packetSize, 1);
  start_ = std::max<int64_t>(start, 0);
  sizeSeen_ = startSize_ = std::max<int64_t>(stream.Size(), 0);
  end_ = end == kToEndOfFile ? kToEndOfFile : std::min(end, sizeSeen_);
  nextRead_ = firstBlock_ > 0 ? std::min(firstBlock_, blockSize_) : blockSize_;
  cancelled_ = false;
  fileEnded_ = false;
  stepProgress_ = true;
  fixedStep_ = 0;
  mapRefused_ = false;
  mapWorth_ = (end_ == kToEndOfFile ? sizeSeen_ : end_) - start_ >= 2 * mapWindow_;
  readEnd_ = start_;
  data_ = nullptr;
  dataOffset_ = 0;
  heldStart_ = 0;
  heldEnd_ = 0;
  trial_ = TTrial{};
}

void TPacketScanner::EndMap() {
  if (mapData_ != nullptr) {
    // Bytes of the window past where a file that shrank ends now read as
    // zeros, the page the end lies in without a fault: none of them counts
    // as read. (A walk that steps past the end of a file that did not
    // shrink keeps the read end a read there gives.)
    if (const int64_t lost = map_.Vanished(); lost >= 0) readEnd_ = std::min(readEnd_, lost);
    if (const int64_t size = std::max<int64_t>(stream_->Size(), 0); size < startSize_)
      readEnd_ = std::min(readEnd_, size);
  }
  map_.Unmap();
  mapData_ = nullptr;
  mapOffset_ = 0;
  mapEnd_ = 0;
}

int64_t TPacketScanner::Ensure(int64_t offset, int64_t count, const uint8_t*& data) {
  const int64_t wanted = std::min(count, end_ - offset);
  if (wanted <= 0 || offset < start_) return 0;
  if (offset >= heldStart_ && offset <= heldEnd_ && (offset + wanted <= heldEnd_ || fileEnded_)) {
    data = data_ + (offset - dataOffset_);
    return std::min(wanted, heldEnd_ - offset);
  }
  if (Cancelled()) {
    cancelled_ = true;
    return 0;
  }
  if (const int64_t lost = map_.Vanished(); lost >= 0) {
    // The file lost pages the walk read through the map: it ends where they begin.
    end_ = std::min(end_, lost);
    readEnd_ = std::min(readEnd_, lost);
    heldEnd_ = std::min(heldEnd_, lost);
    fileEnded_ = true;
    return 0;
  }
  const bool mapped = UseMap();
  // While the way is measured, the system's part of each step is timed:
  // the copy of a read, or the page-table work of a new window.
  const bool timed = trial_.phase >= 0 && trial_.phase < kTrialPhases;
  const double before = timed ? ThreadSeconds() : 0;
  const int64_t got = mapped ? FillMapped(offset, count) : FillRead(offset, count);
  readEnd_ = std::max(readEnd_, heldEnd_);
  if (timed && !mapRefused_) Measure(mapped, ThreadSeconds() - before);
  nextRead_ = fixedStep_ > 0 ? fixedStep_ : std::min(nextRead_ * 2, blockSize_);
  if (progress_ && stepProgress_) {
    // The file's size is asked again only when the bytes read pass the size
    // last told (it grew) or the file ends (it ended, or shrank), not once a
    // step.
    const int64_t done = heldEnd_;
    if (end_ == kToEndOfFile && (fileEnded_ || done > sizeSeen_)) sizeSeen_ = std::max<int64_t>(stream_->Size(), 0);
    const int64_t total = (end_ == kToEndOfFile ? sizeSeen_ : end_) - start_;
    progress_(std::min(done - start_, total), total);
  }
  data = data_ + (offset - dataOffset_);
  return std::min(got, wanted);
}

bool TPacketScanner::UseMap() {
  if (mapRefused_ || way_ == TReadWay::Read) return false;
  if (way_ == TReadWay::Map) return true;
  // Walks that begin with small steps, as they usually end soon, read
  // until their steps have grown.
  if (!mapWorth_ || (fixedStep_ == 0 && nextRead_ < blockSize_)) return false;
  switch (gFoundWay.load(std::memory_order_relaxed)) {
    case kMapWins:
      return true;
    case kReadsWin:
      return false;
    default:
      if (trial_.phase < 0) {
        trial_.phase = 0;
        trial_.from = readEnd_;
      }
      return trial_.phase % 2 == 1;
  }
}

void TPacketScanner::Measure(bool mapped, double seconds) {
  if (trial_.phase >= kFirstMeasured) trial_.seconds[mapped ? 1 : 0] += seconds;
  const int64_t bytes = readEnd_ - trial_.from;
  if (bytes < (trial_.phase < kFirstMeasured ? 1 : 2) * mapWindow_) return;
  if (trial_.phase >= kFirstMeasured) trial_.bytes[mapped ? 1 : 0] += bytes;
  trial_.from = readEnd_;
  if (++trial_.phase < kTrialPhases) return;
  // The map's first windows cost more than its later ones (page tables,
  // pages seen for the first time), and a copy costs the same throughout:
  // the map keeps its place unless it costs far more than the copy, as it
  // does where a page fault is slow.
  const double reads = trial_.seconds[0] / static_cast<double>(std::max<int64_t>(trial_.bytes[0], 1));
  const double map = trial_.seconds[1] / static_cast<double>(std::max<int64_t>(trial_.bytes[1], 1));
  gFoundWay.store(map <= 2 * reads ? kMapWins : kReadsWin, std::memory_order_relaxed);
}

int64_t TPacketScanner::FillRead(int64_t offset, int64_t count) {
  // Every read lands at the same place, a page or two into the buffer, with
  // the held bytes from offset on (a packet cut by the last step's end) moved
  // just before it: the kernel's copy and the walk behind it then reuse the
  // same cache lines block after block, where a read that lands after the
  // last one walks through twice the memory (measured: a fifth of the walk's
  // time on a page-cached file).
  const bool keeps = offset >= heldStart_ && offset < heldEnd_;
  const int64_t kept = keeps ? heldEnd_ - offset : 0;
  const uint8_t* keptAt = keeps ? data_ + (offset - dataOffset_) : nullptr;
  int64_t readSize = std::min(std::max(nextRead_, count - kept), end_ - offset - kept);
  // Reads of a page or more end on a page boundary of the file where the
  // range allows, so the next one starts on one; smaller blocks stay as asked.
  const int64_t readStart = offset + kept;
  const int64_t readEnd = readStart + readSize;
  const int64_t toPage = (kPage - readEnd % kPage) % kPage;
  if (readSize >= kPage && end_ - readEnd >= toPage) readSize += toPage;
  // Where readStart's byte goes: at its offset within a page, after room for the kept bytes.
  const int64_t at = std::max<int64_t>((kept + kPage - 1) / kPage, 1) * kPage + readStart % kPage;
  if (at + readSize > capacity_) {
    // The old buffer stays until its kept bytes are copied.
    std::unique_ptr<uint8_t[], TFree> old = std::move(buffer_);
    Allocate(std::max(blockSize_ + 3 * kPage, at + readSize));
    if (kept > 0) std::memcpy(buffer_.get() + at - kept, keptAt, static_cast<size_t>(kept));
  } else if (kept > 0) {
    std::memmove(buffer_.get() + at - kept, keptAt, static_cast<size_t>(kept));
  }
  const int64_t n = stream_->ReadAt(readStart, buffer_.get() + at, readSize);
  data_ = buffer_.get();
  dataOffset_ = readStart - at;
  heldStart_ = offset;
  heldEnd_ = readStart + n;
  fileEnded_ = n < readSize || heldEnd_ >= end_;
  return kept + n;
}

int64_t TPacketScanner::FillMapped(int64_t offset, int64_t count) {
  // Steps as reads would take them, out of a window that holds them. The
  // file's size is asked at every step, as a read would find it: a step
  // never reaches past the end of a file that shrank, and pages lost while
  // a step is walked are the handler's part (see TFileMap).
  const int64_t from = offset >= heldStart_ && offset < heldEnd_ ? heldEnd_ : offset;
  const int64_t want = std::min(std::max(from + nextRead_, offset + count), end_);
  const int64_t size = std::max<int64_t>(stream_->Size(), 0);
  const int64_t limit = std::min(want, size);
  if (offset >= limit) {
    heldStart_ = heldEnd_ = offset;
    fileEnded_ = true;
    return 0;
  }
  if (mapData_ == nullptr || offset < mapOffset_ || limit > mapEnd_) {
    // A new window, from the start of the page (large page, for windows of
    // them) that holds offset, as far as the file goes.
    const int64_t align = mapWindow_ >= 2 * kLargePage ? kLargePage : kPage;
    const int64_t first = offset / align * align;
    const int64_t length = std::min(std::max(mapWindow_, want - first), std::min(end_, size) - first);
    mapData_ = map_.Map(stream_->Descriptor(), first, length);
    if (mapData_ == nullptr) {
      // The last window went with the refusal: the read starts afresh at offset.
      mapRefused_ = true;
      mapOffset_ = mapEnd_ = 0;
      heldStart_ = heldEnd_ = 0;
      return FillRead(offset, count);
    }
    mapOffset_ = first;
    mapEnd_ = first + length;
  }
  data_ = mapData_;
  dataOffset_ = mapOffset_;
  heldStart_ = mapOffset_;
  heldEnd_ = std::min(limit, mapEnd_);
  fileEnded_ = heldEnd_ < want || heldEnd_ >= end_;
  return heldEnd_ - offset;
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
