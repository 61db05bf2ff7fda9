// TAnalysisPass: one walk over a stream file that shows every packet, once,
// to an observer (which may fan it out to several), with its file offset and
// the stream clock that times it. The walk keeps the validator's
// synchronisation rule, so damaged stretches are garbage bytes and never
// packets; it reports progress, stops when a flag is set and says how far it
// got, so a stopped pass still has figures to give.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>

#include "analysis/StreamClock.h"
#include "core/FileStream.h"
#include "core/PacketHeaderView.h"
#include "core/PacketScanner.h"

namespace tessaro {

class TPacketObserver {
 public:
  virtual ~TPacketObserver() = default;
  // time: seconds of stream time at offset (0 until the clock runs; timed
  // tells which).
  virtual void Packet(const TPacketHeaderView& header, int64_t offset, double time, bool timed) = 0;
};

struct TPassOutcome {
  int64_t packets = 0;
  int64_t garbageBytes = 0;  // bytes of the walked range that were not in a packet
  int64_t reached = 0;       // offset just past the last byte the pass looked at
  bool cancelled = false;
  bool readFailed = false;  // the reads stopped short of the size the file had at the start
};

class TAnalysisPass {
 public:
  // Sync bytes in a row that give sync and slots in a row without one that
  // lose it: the validator's numbers.
  static constexpr int32_t kAcquireSync = 5;
  static constexpr int32_t kLoseSync = 2;

  using TProgress = std::function<void(int64_t done, int64_t fileSize)>;
  // The outcome so far, between two packets, after each read.
  using TCheckpoint = std::function<void(const TPassOutcome& soFar)>;

  void SetProgress(TProgress progress) { progress_ = std::move(progress); }
  void SetCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }
  void SetBlockSize(int64_t blockSize) { blockSize_ = blockSize; }
  void SetCheckpoint(TCheckpoint checkpoint) { checkpoint_ = std::move(checkpoint); }

  // Shows every packet from start on to observer.Packet(header, index,
  // offset, clock): the header a TLoadedPacketHeader, index the packet's
  // number in the pass from 0, clock the stream clock with the packet's own
  // PCR taken (its Time(offset) is the packet's stream time, when it runs).
  // The observer's type is a parameter so that its per-packet work joins the
  // walk's loop instead of costing a call per packet.
  template <class Observer>
  TPassOutcome Run(const TFileStream& stream, int32_t packetSize, int64_t start, Observer& observer);

 private:
  // The walk's own figures, kept as it goes.
  struct TWalk {
    int64_t start = 0;
    int64_t size = 0;
    int32_t packetSize = kTSPacketSize;
    int64_t lastEnd = 0;  // past the last slot without a packet looked at
    int64_t lastPacket = 0;
    TPassOutcome outcome;
  };
  void Prepare(TPacketScanner& scanner, TWalk& walk);
  // Just past the last byte looked at.
  static int64_t LastEnd(const TWalk& walk) {
    return std::max(walk.lastEnd, walk.outcome.packets > 0 ? walk.lastPacket + walk.packetSize : walk.start);
  }
  static TPassOutcome Finish(const TPacketScanner& scanner, TScanEnd end, TWalk& walk);

  TProgress progress_;
  TCheckpoint checkpoint_;
  const std::atomic<bool>* cancel_ = nullptr;
  int64_t blockSize_ = TPacketScanner::kDefaultBlock;
};

template <class Observer>
TPassOutcome TAnalysisPass::Run(const TFileStream& stream, int32_t packetSize, int64_t start, Observer& observer) {
  TWalk walk;
  walk.start = start;
  walk.size = stream.Size();
  walk.packetSize = packetSize;
  walk.lastEnd = start;
  walk.lastPacket = start;
  TScanRule rule{TSyncRule::Hysteresis};
  rule.acquire = kAcquireSync;
  rule.lose = kLoseSync;

  // The clock follows the first PID met with a PCR, as the validator's does.
  TStreamClock clock;
  int32_t clockPID = -1;
  const auto visit = [&](const uint8_t* slot, int64_t offset) __attribute__((always_inline)) {
    // The hysteresis walk looks at the slots that lose sync twice: once in
    // sync, once while searching again. Packets come in rising offsets (a
    // search starts past the last one), so the last packet's end needs no
    // comparison.
    if (slot[0] != TPacketHeaderView::kSyncByte) {
      walk.lastEnd = std::max(walk.lastEnd, offset + packetSize);
      return true;
    }
    const TLoadedPacketHeader header(slot);
    if (header.HasPCR()) {
      if (clockPID < 0) clockPID = header.PID();
      if (header.PID() == clockPID) clock.Reference(offset, header.PCR(), header.Discontinuity());
    }
    observer.Packet(header, walk.outcome.packets++, offset, clock);
    walk.lastPacket = offset;
    return true;
  };
  TPacketScanner scanner(blockSize_);
  Prepare(scanner, walk);
  const TScanEnd end = scanner.Scan(stream, packetSize, start, TPacketScanner::kToEndOfFile, rule, visit);
  return Finish(scanner, end, walk);
}

}  // namespace tessaro
