// TPacketScanner: walks a stream file forward in large block reads and hands
// each packet it finds, with its file offset, to a visitor. How it finds
// packet starts among the bytes (its re-synchronisation rule) is a parameter,
// so that every scan of the program keeps its own exact rule while sharing
// the reading, the progress report and the cancel check. Results never depend
// on the block size.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "core/FileStream.h"
#include "core/PacketParser.h"

namespace tessaro {

enum class TSyncRule : uint8_t {
  // A slot that starts with 0x47 and has `need` bytes is a packet and the walk
  // steps one slot; any other byte is passed over one at a time.
  ByteResync,
  // Windows of windowSlots slots. At each window's start the walk moves byte
  // by byte to a 0x47 with another 0x47 one slot later (or with at most one
  // slot left), then takes every slot of the window as a packet without
  // looking again; the next window starts one slot before the end of this one.
  WindowSync,
  // Once, at the start: the first 0x47 with another 0x47 one slot later; from
  // there slot by slot while a slot starts with 0x47 and more than 188 bytes
  // are left.
  SyncOnceStopAtLoss,
  // Every slot from the start, sync byte or not, while 188 bytes are left.
  Stride,
  // Synchronisation with hysteresis (ISO/IEC 13818-1 annex G, ETSI TR 101 290
  // section 5.2.1): in sync at a 0x47 followed by acquire - 1 more at slot
  // spacing (all the slots the range still holds, at least two, near its
  // end); then every slot is visited, sync byte or not, until lose slots in a
  // row lack it. The search for sync then starts again one byte after the
  // first of those slots. The visitor tells a new synchronisation by an
  // offset that does not follow the last one by a slot.
  Hysteresis,
};

struct TScanRule {
  TSyncRule rule = TSyncRule::ByteResync;
  int32_t need = kTSPacketSize;  // ByteResync: bytes a packet needs from its sync byte
  int32_t windowSlots = 1024;    // WindowSync
  int32_t acquire = 5;           // Hysteresis: sync bytes in a row that give sync
  int32_t lose = 2;              // Hysteresis: slots in a row without one that lose it
};

enum class TScanEnd : uint8_t {
  Finished,   // the bytes ran out
  Stopped,    // the visitor asked to stop
  Cancelled,  // the cancel flag was set
};

class TPacketScanner {
 public:
  // Reads of this size, each into the same place of the buffer, stay in the
  // processor's cache: measured on a page-cached file, they take less time
  // than reads of mebibytes, and less than mapping the file, whose page
  // faults cost more than the copy they save.
  static constexpr int64_t kDefaultBlock = 256 * 1024;
  static constexpr int64_t kToEndOfFile = std::numeric_limits<int64_t>::max();
  // What Blocks reads at a time, in whole chunks (at least one).
  static constexpr int64_t kBlocksRead = 512 * 1024;

  // Visitor: bool(const uint8_t* packet, int64_t offset); false stops the walk.
  // The packet's bytes stay valid during the call only.
  using TProgress = std::function<void(int64_t done, int64_t total)>;

  explicit TPacketScanner(int64_t blockSize = kDefaultBlock) : blockSize_(std::max<int64_t>(blockSize, 1)) {}

  // firstBlock: the first read's size; later reads double it up to the block
  // size (walks that usually end after a few packets read little).
  void SetBlockSize(int64_t blockSize, int64_t firstBlock = 0) {
    blockSize_ = std::max<int64_t>(blockSize, 1);
    firstBlock_ = firstBlock;
  }
  // Called after each read with the bytes done out of the bytes to do.
  void SetProgress(TProgress progress) { progress_ = std::move(progress); }
  // Checked before each read; a set flag ends the walk.
  void SetCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }

  // Walks the packets of [start, end) (end clipped to the file; kToEndOfFile:
  // until a read comes back short) with slots of packetSize bytes.
  template <class Visitor>
  TScanEnd Scan(const TFileStream& stream, int32_t packetSize, int64_t start, int64_t end, const TScanRule& rule,
                Visitor&& visit);

  // Hands the bytes from start to the end of the file to visit in chunks of
  // chunkSize bytes (the last one shorter), as they are, without looking for
  // packets:
  // bool(const uint8_t* data, int64_t length, int64_t offset); false stops.
  // The walk finishes at the first read that returns nothing; the caller
  // tells a read error from the end by the bytes it was given.
  template <class Visitor>
  TScanEnd Blocks(const TFileStream& stream, int64_t start, int64_t chunkSize, Visitor&& visit);

  // The file offset just past the last byte the last Scan read. A walk to the
  // end of the file that stops short of the size the file had when it began
  // met a read that failed, or a file that shrank.
  int64_t ReadEnd() const { return readEnd_; }

 private:
  // Makes [offset, offset + count) resident, as far as the range and the file
  // hold it; returns the bytes available from offset (0 when none, or when
  // cancelled) and points data at them.
  int64_t Ensure(int64_t offset, int64_t count, const uint8_t*& data);
  // Bytes of the range the buffer holds from offset on (offset within the buffer).
  int64_t HeldFrom(int64_t offset) const { return std::min(bufferOffset_ + bufferLength_, end_) - offset; }
  bool Cancelled() const { return cancel_ != nullptr && cancel_->load(std::memory_order_relaxed); }

  template <class Visitor>
  TScanEnd WindowSync(int64_t start, const TScanRule& rule, Visitor& visit);
  template <class Visitor>
  TScanEnd Hysteresis(int64_t start, const TScanRule& rule, Visitor& visit);
  // The first offset from pos on where sync is acquired, or -1 when the range ends first.
  int64_t Acquire(int64_t pos, int32_t acquire);

  int64_t blockSize_;
  int64_t firstBlock_ = 0;
  TProgress progress_;
  const std::atomic<bool>* cancel_ = nullptr;

  // The scan in progress.
  const TFileStream* stream_ = nullptr;
  int32_t ps_ = kTSPacketSize;
  int64_t start_ = 0;
  int64_t end_ = 0;
  int64_t nextRead_ = 0;  // size of the next read
  bool cancelled_ = false;
  bool fileEnded_ = false;
  int64_t readEnd_ = 0;
  int64_t sizeSeen_ = 0;  // the file's size when last asked, for the progress total

  // Page-aligned, and a file byte lies at the same offset within a page of
  // the buffer as within a page of the file: the kernel's copy then moves
  // whole aligned words, which for a misaligned destination costs it twice
  // the time (measured).
  struct TFree {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  static constexpr int64_t kPage = 4096;
  static constexpr int64_t kLargePage = int64_t{2} << 20;
  // A buffer of at least bytes; what it held is lost.
  void Allocate(int64_t bytes);
  std::unique_ptr<uint8_t[], TFree> buffer_;
  int64_t capacity_ = 0;
  int64_t bufferOffset_ = 0;  // file offset of buffer_[0], a multiple of kPage (below 0 near the start)
  int64_t bufferLength_ = 0;  // bytes of the buffer up to the end of the file's bytes it holds
  // The first file byte held: the buffer's bytes before it are left over
  // from earlier reads.
  int64_t heldStart_ = 0;
};

template <class Visitor>
TScanEnd TPacketScanner::Scan(const TFileStream& stream, int32_t packetSize, int64_t start, int64_t end,
                              const TScanRule& rule, Visitor&& visit) {
  stream_ = &stream;
  ps_ = std::max(packetSize, 1);
  start_ = std::max<int64_t>(start, 0);
  const int64_t size = stream.Size();
  sizeSeen_ = std::max<int64_t>(size, 0);
  end_ = end == kToEndOfFile ? kToEndOfFile : std::min(end, sizeSeen_);
  nextRead_ = firstBlock_ > 0 ? std::min(firstBlock_, blockSize_) : blockSize_;
  cancelled_ = false;
  fileEnded_ = false;
  readEnd_ = start_;
  bufferOffset_ = 0;
  bufferLength_ = 0;
  heldStart_ = 0;
  auto finish = [this](bool stopped) {
    if (cancelled_) return TScanEnd::Cancelled;
    return stopped ? TScanEnd::Stopped : TScanEnd::Finished;
  };
  const uint8_t* b = nullptr;
  switch (rule.rule) {
    case TSyncRule::WindowSync:
      return WindowSync(start_, rule, visit);
    case TSyncRule::ByteResync: {
      // What the buffer holds is judged in place; the next read comes only
      // when a packet's bytes run past it.
      const int64_t need = std::max(rule.need, 1);
      for (int64_t pos = start_;;) {
        if (Ensure(pos, need, b) < need) return finish(false);
        const int64_t last = HeldFrom(pos) - need;  // the last position whose bytes are all held
        int64_t i = 0;
        while (i <= last) {
          if (b[i] == 0x47) {
            if (!visit(b + i, pos + i)) return finish(true);
            i += ps_;
          } else {
            ++i;
          }
        }
        pos += i;
      }
    }
    case TSyncRule::SyncOnceStopAtLoss: {
      int64_t pos = start_;
      // The pair: a 0x47 and another one slot later, within the range.
      for (bool found = false; !found;) {
        if (Ensure(pos, int64_t{ps_} + 1, b) < int64_t{ps_} + 1) break;
        const int64_t last = HeldFrom(pos) - ps_ - 1;
        int64_t i = 0;
        while (i <= last && !(b[i] == 0x47 && b[i + ps_] == 0x47)) ++i;
        found = i <= last;
        pos += i;
      }
      for (;;) {
        if (Ensure(pos, kTSPacketSize + 1, b) < kTSPacketSize + 1 || b[0] != 0x47) return finish(false);
        const int64_t last = HeldFrom(pos) - kTSPacketSize - 1;
        int64_t i = 0;
        for (; i <= last; i += ps_) {
          if (b[i] != 0x47) return finish(false);
          if (!visit(b + i, pos + i)) return finish(true);
        }
        pos += i;
      }
    }
    case TSyncRule::Stride:
      for (int64_t pos = start_;;) {
        if (Ensure(pos, kTSPacketSize, b) < kTSPacketSize) return finish(false);
        const int64_t last = HeldFrom(pos) - kTSPacketSize;
        int64_t i = 0;
        for (; i <= last; i += ps_)
          if (!visit(b + i, pos + i)) return finish(true);
        pos += i;
      }
    case TSyncRule::Hysteresis:
      return Hysteresis(start_, rule, visit);
  }
  return TScanEnd::Finished;
}

template <class Visitor>
TScanEnd TPacketScanner::Blocks(const TFileStream& stream, int64_t start, int64_t chunkSize, Visitor&& visit) {
  chunkSize = std::max<int64_t>(chunkSize, 1);
  start = std::max<int64_t>(start, 0);
  // Reads of several chunks at a time: the visitor still gets the same
  // chunks, but a read of a few hundred kilobytes costs the kernel less per
  // byte than one of a hundred (measured).
  const int64_t readSize = std::max<int64_t>(kBlocksRead / chunkSize, 1) * chunkSize;
  // The block buffer is the packet walks' too: nothing of theirs stays valid.
  bufferLength_ = 0;
  if (capacity_ < readSize) Allocate(readSize);
  const int64_t total = std::max<int64_t>(stream.Size() - start, 0);
  for (int64_t offset = start;;) {
    if (Cancelled()) return TScanEnd::Cancelled;
    const int64_t n = stream.ReadAt(offset, buffer_.get(), readSize);
    if (n <= 0) return TScanEnd::Finished;
    for (int64_t at = 0; at < n; at += chunkSize) {
      const int64_t length = std::min(chunkSize, n - at);
      if (progress_) progress_(std::min(offset + at + length - start, total), total);
      if (!visit(static_cast<const uint8_t*>(buffer_.get() + at), length, offset + at)) return TScanEnd::Stopped;
    }
    offset += n;
  }
}

template <class Visitor>
TScanEnd TPacketScanner::Hysteresis(int64_t start, const TScanRule& rule, Visitor& visit) {
  const int32_t lose = std::max(rule.lose, 1);
  const uint8_t* b = nullptr;
  for (int64_t pos = start;;) {
    pos = Acquire(pos, std::max(rule.acquire, 1));
    if (pos < 0) return cancelled_ ? TScanEnd::Cancelled : TScanEnd::Finished;
    // In sync: the slots the buffer holds whole, one after another, then the next read.
    for (int32_t missing = 0; missing < lose;) {
      if (Ensure(pos, kTSPacketSize, b) < kTSPacketSize) return cancelled_ ? TScanEnd::Cancelled : TScanEnd::Finished;
      const int64_t held = HeldFrom(pos);
      int64_t i = 0;
      do {
        // Read before the visit: the visitor's own test of the byte can then
        // use it, where a read after its stores would have to go to memory.
        const bool synced = b[i] == 0x47;
        if (!visit(b + i, pos + i)) return cancelled_ ? TScanEnd::Cancelled : TScanEnd::Stopped;
        missing = synced ? 0 : missing + 1;
        i += ps_;
      } while (missing < lose && i + kTSPacketSize <= held);
      pos += i;
    }
    pos -= int64_t{lose} * ps_ - 1;
  }
}

template <class Visitor>
TScanEnd TPacketScanner::WindowSync(int64_t start, const TScanRule& rule, Visitor& visit) {
  const int64_t ps = ps_;
  const int64_t window = ps * std::max(rule.windowSlots, 2);
  int64_t lastVisited = -1;  // the last slot of a window is the first of the next
  const uint8_t* b = nullptr;
  for (int64_t chunk = start;;) {
    // The window is [chunk, limit); limit comes down to where the data end
    // when they end first. Its bytes are walked where the buffer holds them,
    // so a window never has to lie in one piece.
    int64_t limit = chunk + window;
    const auto available = [&](int64_t pos, int64_t count) {
      count = std::min(count, limit - pos);
      const int64_t got = count > 0 ? Ensure(pos, count, b) : 0;
      if (got < count) limit = pos + got;
      return got;
    };
    const int64_t opening = available(chunk, ps + 1);
    if (cancelled_) return TScanEnd::Cancelled;
    if (opening <= ps) return TScanEnd::Finished;
    // Synchronise: a 0x47 with another one slot later, or with one slot left.
    int64_t i = chunk;
    for (;;) {
      const int64_t got = available(i, ps + 1);
      if (cancelled_) return TScanEnd::Cancelled;
      if (got < ps || (b[0] == 0x47 && (got == ps || b[ps] == 0x47))) break;
      // The positions whose test the held bytes decide alone, in one go.
      const int64_t last = std::min(HeldFrom(i), limit - i) - ps - 1;
      int64_t j = 1;
      while (j <= last && !(b[j] == 0x47 && b[j + ps] == 0x47)) ++j;
      i += j;
    }
    // Every slot of the window from there, as far as the buffer holds them at a time.
    for (;;) {
      const int64_t got = available(i, ps);
      if (cancelled_) return TScanEnd::Cancelled;
      if (got < ps) break;
      const int64_t run = std::min(HeldFrom(i), limit - i);
      int64_t j = 0;
      // The slots a window shares with the one before (visited there) are
      // passed over first; the rest go without that test.
      while (j + ps <= run && i + j <= lastVisited) j += ps;
      for (; j + ps <= run; j += ps)
        if (!visit(b + j, i + j)) return TScanEnd::Stopped;
      if (j > 0) lastVisited = std::max(lastVisited, i + j - ps);
      i += j;
    }
    chunk = limit - ps;
  }
}

}  // namespace tessaro
