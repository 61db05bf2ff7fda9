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

#include "core/FileMap.h"
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
  // The bytes come in steps of the block size: read into a buffer that stays
  // in the processor's cache, or taken in place from a window of the file
  // mapped into memory, whichever costs less on the machine (see TReadWay).
  static constexpr int64_t kDefaultBlock = 256 * 1024;
  static constexpr int64_t kToEndOfFile = std::numeric_limits<int64_t>::max();
  // What Blocks takes at a time, in whole chunks (at least one).
  static constexpr int64_t kBlocksRead = 512 * 1024;
  // The mapped window: whole large pages, so the system maps its cached
  // large pages at once; its pages count to the resident memory.
  static constexpr int64_t kMapWindow = int64_t{4} << 20;

  // How the bytes come in. The results are the same whatever the way.
  enum class TReadWay : uint8_t {
    // Through the map where the walk covers two windows or more and steps
    // whole blocks, unless the first such walk of the process found the map
    // dearer than twice the copy: a map costs page-table work, a read a
    // copy, and which is the larger depends on the machine (on some, a page
    // fault costs ten times what it does on others). Copies otherwise.
    Measured,
    Map,   // always through the map, unless the system refuses it
    Read,  // always copies
  };

  // Visitor: bool(const uint8_t* packet, int64_t offset); false stops the walk.
  // The packet's bytes stay valid during the call only.
  using TProgress = std::function<void(int64_t done, int64_t total)>;

  explicit TPacketScanner(int64_t blockSize = kDefaultBlock);

  // firstBlock: the first read's size; later reads double it up to the block
  // size (walks that usually end after a few packets read little).
  void SetBlockSize(int64_t blockSize, int64_t firstBlock = 0) {
    blockSize_ = std::max<int64_t>(blockSize, 1);
    firstBlock_ = firstBlock;
  }
  // mapWindow: the size of a mapped window, rounded up to whole pages.
  void SetReadWay(TReadWay way, int64_t mapWindow = kMapWindow) {
    way_ = way;
    mapWindow_ = std::max<int64_t>((mapWindow + kPage - 1) / kPage * kPage, kPage);
  }
  // The way every scanner made from now on starts with: tests and fuzz
  // targets send every walk of the program through the map, or through reads.
  static void SetDefaultReadWay(TReadWay way, int64_t mapWindow = kMapWindow);
  // Called after each step with the bytes done out of the bytes to do.
  void SetProgress(TProgress progress) { progress_ = std::move(progress); }
  // Checked before each step; a set flag ends the walk.
  void SetCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }

  // Walks the packets of [start, end) (end clipped to the file; kToEndOfFile:
  // until the file ends) with slots of packetSize bytes.
  template <class Visitor>
  TScanEnd Scan(const TFileStream& stream, int32_t packetSize, int64_t start, int64_t end, const TScanRule& rule,
                Visitor&& visit);

  // Hands the bytes from start to the end of the file to visit in chunks of
  // chunkSize bytes (the last one shorter), as they are, without looking for
  // packets:
  // bool(const uint8_t* data, int64_t length, int64_t offset); false stops.
  // The caller tells a read error from the end by ReadEnd().
  template <class Visitor>
  TScanEnd Blocks(const TFileStream& stream, int64_t start, int64_t chunkSize, Visitor&& visit);

  // The file offset just past the last byte the last walk read. A walk to
  // the end of the file that stops short of the size the file had when it
  // began met a read that failed, or a file that shrank. Under the map, the
  // bytes a file lost while the walk read them read as zeros, and the read
  // end comes back to where the file ends.
  int64_t ReadEnd() const { return readEnd_; }

 private:
  static constexpr int64_t kPage = 4096;
  static constexpr int64_t kLargePage = int64_t{2} << 20;
  // Under the map the walk reads the file's pages where they lie, not a
  // copy just made in the cache: the main walks ask for the slot this many
  // ahead, so it has come when they get there (measured best of 8 to 64).
  // Asking past the end of what is held is harmless: a prefetch never faults.
  static constexpr int32_t kPrefetchSlots = 48;

  // Ready for a walk of [start, end) of stream.
  void Begin(const TFileStream& stream, int32_t packetSize, int64_t start, int64_t end);
  // After a walk: the read end comes back to where the file lost pages under
  // the map, and the map lets go of the file.
  void EndMap();
  struct TEndMap {
    TPacketScanner* scanner;
    ~TEndMap() { scanner->EndMap(); }
  };
  template <class Visitor>
  TScanEnd Walk(const TScanRule& rule, Visitor& visit);

  // Makes [offset, offset + count) available, as far as the range and the
  // file hold it; returns the bytes available from offset (0 when none, or
  // when cancelled) and points data at them.
  int64_t Ensure(int64_t offset, int64_t count, const uint8_t*& data);
  int64_t FillRead(int64_t offset, int64_t count);
  int64_t FillMapped(int64_t offset, int64_t count);
  bool UseMap();
  // While the way is measured: the processor time of the step just taken
  // (mapped or read), counted to its way; after stretches of both, the choice.
  void Measure(bool mapped, double seconds);
  // Bytes of the range held from offset on.
  int64_t HeldFrom(int64_t offset) const { return std::min(heldEnd_, end_) - offset; }
  bool Cancelled() const { return cancel_ != nullptr && cancel_->load(std::memory_order_relaxed); }

  template <class Visitor>
  TScanEnd WindowSync(int64_t start, const TScanRule& rule, Visitor& visit);
  template <class Visitor>
  TScanEnd Hysteresis(int64_t start, const TScanRule& rule, Visitor& visit);
  // The first offset from pos on where sync is acquired, or -1 when the range ends first.
  int64_t Acquire(int64_t pos, int32_t acquire);

  int64_t blockSize_;
  int64_t firstBlock_ = 0;
  TReadWay way_ = TReadWay::Measured;
  int64_t mapWindow_ = kMapWindow;
  TProgress progress_;
  const std::atomic<bool>* cancel_ = nullptr;

  // The walk in progress.
  const TFileStream* stream_ = nullptr;
  int32_t ps_ = kTSPacketSize;
  int64_t start_ = 0;
  int64_t end_ = 0;
  int64_t nextRead_ = 0;  // size of the next step
  bool cancelled_ = false;
  bool fileEnded_ = false;
  bool stepProgress_ = true;  // each step reports progress (Blocks reports by chunk)
  int64_t fixedStep_ = 0;     // Blocks: every step this long, whatever the block size
  bool mapWorth_ = false;     // the walk covers two windows or more
  int64_t readEnd_ = 0;
  int64_t sizeSeen_ = 0;   // the file's size when last asked, for the progress total
  int64_t startSize_ = 0;  // the file's size when the walk began

  // What is held: the file byte at offset x, heldStart_ <= x < heldEnd_, is
  // data_[x - dataOffset_], in the buffer or in the mapped window.
  const uint8_t* data_ = nullptr;
  int64_t dataOffset_ = 0;
  int64_t heldStart_ = 0;
  int64_t heldEnd_ = 0;

  // Reads: page-aligned, and a file byte lies at the same offset within a
  // page of the buffer as within a page of the file: the kernel's copy then
  // moves whole aligned words, which for a misaligned destination costs it
  // twice the time (measured).
  struct TFree {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  // A buffer of at least bytes; what it held is lost.
  void Allocate(int64_t bytes);
  std::unique_ptr<uint8_t[], TFree> buffer_;
  int64_t capacity_ = 0;

  // The mapped window: [mapOffset_, mapEnd_) of the file at mapData_.
  TFileMap map_;
  const uint8_t* mapData_ = nullptr;
  int64_t mapOffset_ = 0;
  int64_t mapEnd_ = 0;
  bool mapRefused_ = false;  // the system would not map this file: reads for the rest of the walk

  struct TTrial {
    int phase = -1;          // -1: not begun
    int64_t from = 0;        // the read end when the phase began
    double seconds[2] = {};  // reads, map
    int64_t bytes[2] = {};
  } trial_;
};

template <class Visitor>
TScanEnd TPacketScanner::Scan(const TFileStream& stream, int32_t packetSize, int64_t start, int64_t end,
                              const TScanRule& rule, Visitor&& visit) {
  Begin(stream, packetSize, start, end);
  const TEndMap endMap{this};
  return Walk(rule, visit);
}

template <class Visitor>
TScanEnd TPacketScanner::Walk(const TScanRule& rule, Visitor& visit) {
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
  Begin(stream, kTSPacketSize, start, kToEndOfFile);
  const TEndMap endMap{this};
  stepProgress_ = false;
  // Steps of several chunks: the visitor still gets the same chunks, but a
  // read of a few hundred kilobytes costs the kernel less per byte than one
  // of a hundred (measured).
  const int64_t stepSize = std::max<int64_t>(kBlocksRead / chunkSize, 1) * chunkSize;
  fixedStep_ = nextRead_ = stepSize;
  const int64_t total = std::max<int64_t>(sizeSeen_ - start_, 0);
  const uint8_t* data = nullptr;
  for (int64_t offset = start_;;) {
    const int64_t n = Ensure(offset, stepSize, data);
    if (cancelled_) return TScanEnd::Cancelled;
    if (n <= 0) return TScanEnd::Finished;
    for (int64_t at = 0; at < n; at += chunkSize) {
      const int64_t length = std::min(chunkSize, n - at);
      if (progress_) progress_(std::min(offset + at + length - start_, total), total);
      if (!visit(data + at, length, offset + at)) return TScanEnd::Stopped;
    }
    offset += n;
  }
}

template <class Visitor>
TScanEnd TPacketScanner::Hysteresis(int64_t start, const TScanRule& rule, Visitor& visit) {
  const int32_t lose = std::max(rule.lose, 1);
  const int64_t ahead = int64_t{kPrefetchSlots} * ps_;
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
        __builtin_prefetch(b + i + ahead);
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
      for (; j + ps <= run; j += ps) {
        __builtin_prefetch(b + j + kPrefetchSlots * ps);
        if (!visit(b + j, i + j)) return TScanEnd::Stopped;
      }
      if (j > 0) lastVisited = std::max(lastVisited, i + j - ps);
      i += j;
    }
    chunk = limit - ps;
  }
}

}  // namespace tessaro
