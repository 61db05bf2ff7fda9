#include "core/PacketScanner.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace tessaro {

// The thread that reads ahead: one request at a time, into memory the
// scanner leaves alone until it has taken the result.
class TPacketScanner::TReadAhead {
 public:
  // Bytes kept from the block before go in front of a block read ahead.
  static constexpr int64_t kReserve = 4096;

  explicit TReadAhead(const TFileStream& stream) : stream_(stream), worker_([this] { Run(); }) {}
  ~TReadAhead() {
    {
      const std::lock_guard<std::mutex> hold(lock_);
      quit_ = true;
    }
    wake_.notify_all();
    worker_.join();
  }

  void Request(int64_t offset, int64_t count, uint8_t* destination) {
    std::unique_lock<std::mutex> hold(lock_);
    done_.wait(hold, [this] { return !busy_; });
    offset_ = offset;
    count_ = count;
    destination_ = destination;
    requested_ = true;
    finished_ = false;
    wake_.notify_all();
  }

  // The bytes read for a request from offset of at least count bytes: -1
  // when there is none such (a request that differs is waited for and dropped).
  int64_t Take(int64_t offset, int64_t count) {
    std::unique_lock<std::mutex> hold(lock_);
    if (!requested_) return -1;
    done_.wait(hold, [this] { return finished_; });
    requested_ = false;
    return offset_ == offset && (count_ >= count || read_ < count_) ? read_ : -1;
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
      wake_.wait(hold, [this] { return quit_ || (requested_ && !finished_ && !busy_); });
      if (quit_) return;
      busy_ = true;
      const int64_t offset = offset_;
      const int64_t count = count_;
      uint8_t* destination = destination_;
      hold.unlock();
      const int64_t n = stream_.ReadAt(offset, destination, count);
      hold.lock();
      read_ = n;
      busy_ = false;
      finished_ = true;
      done_.notify_all();
    }
  }

  const TFileStream& stream_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::condition_variable done_;
  bool quit_ = false;
  bool requested_ = false;
  bool finished_ = false;
  bool busy_ = false;
  int64_t offset_ = 0;
  int64_t count_ = 0;
  int64_t read_ = 0;
  uint8_t* destination_ = nullptr;
  std::thread worker_;  // last: it starts once everything above is there
};

TPacketScanner::TReadAheadScope::TReadAheadScope(TPacketScanner& scanner) : scanner(scanner) {
  if (scanner.readAhead_) scanner.ahead_ = std::make_unique<TReadAhead>(*scanner.stream_);
}

TPacketScanner::TReadAheadScope::~TReadAheadScope() { scanner.ahead_.reset(); }

TPacketScanner::TPacketScanner(int64_t blockSize) : blockSize_(std::max<int64_t>(blockSize, 1)) {}

TPacketScanner::~TPacketScanner() = default;

int64_t TPacketScanner::Read(int64_t offset, int64_t kept, int64_t readSize) {
  const uint8_t* keptBytes = kept > 0 ? Held() + (offset - bufferOffset_) : nullptr;
  const int64_t from = offset + kept;
  // The read ahead is always waited for: spare_ is the scanner's again only then.
  int64_t n = ahead_ ? ahead_->Take(from, readSize) : -1;
  if (n >= 0 && kept <= TReadAhead::kReserve) {
    // The block read ahead, with the kept bytes put in front of it.
    if (kept > 0) std::memcpy(spare_.data() + TReadAhead::kReserve - kept, keptBytes, static_cast<size_t>(kept));
    buffer_.swap(spare_);
    dataStart_ = TReadAhead::kReserve - kept;
    n = std::min(n, end_ - from);
  } else {
    // Bytes from offset that are already held move to the front and are not read again.
    if (kept > 0) std::memmove(buffer_.data(), keptBytes, static_cast<size_t>(kept));
    dataStart_ = 0;
    if (static_cast<int64_t>(buffer_.size()) < kept + readSize) buffer_.resize(static_cast<size_t>(kept + readSize));
    n = stream_->ReadAt(from, buffer_.data() + kept, readSize);
  }
  if (ahead_ && n == readSize && from + n < end_) {
    const int64_t next = std::min(std::max(nextRead_ * 2, readSize), std::min(blockSize_, end_ - from - n));
    const auto size = static_cast<size_t>(TReadAhead::kReserve + std::max(next, readSize));
    if (spare_.size() < size) spare_.resize(size);
    ahead_->Request(from + n, next, spare_.data() + TReadAhead::kReserve);
  }
  return n;
}

int64_t TPacketScanner::Ensure(int64_t offset, int64_t count, const uint8_t*& data) {
  const int64_t wanted = std::min(count, end_ - offset);
  if (wanted <= 0 || offset < start_) return 0;
  const int64_t held = bufferOffset_ + bufferLength_;
  if (offset >= bufferOffset_ && offset <= held && (offset + wanted <= held || fileEnded_)) {
    data = Held() + (offset - bufferOffset_);
    return std::min(wanted, held - offset);
  }
  if (Cancelled()) {
    cancelled_ = true;
    return 0;
  }
  const int64_t kept = offset >= bufferOffset_ && offset < held ? held - offset : 0;
  const int64_t readSize = std::min(std::max(nextRead_, count - kept), end_ - offset - kept);
  const int64_t n = Read(offset, kept, readSize);
  bufferOffset_ = offset;
  bufferLength_ = kept + n;
  fileEnded_ = n < readSize || offset + kept + n >= end_;
  nextRead_ = std::min(nextRead_ * 2, blockSize_);
  if (progress_) {
    const int64_t total = (end_ == kToEndOfFile ? std::max<int64_t>(stream_->Size(), 0) : end_) - start_;
    progress_(std::min(offset + bufferLength_ - start_, total), total);
  }
  data = Held();
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
