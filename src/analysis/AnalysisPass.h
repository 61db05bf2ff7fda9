// TAnalysisPass: one walk over a stream file that shows every packet, once,
// to a set of observers, with its file offset and its stream time. The walk
// keeps the validator's synchronisation rule, so damaged stretches are
// garbage bytes and never packets; it reports progress, stops when a flag is
// set and says how far it got, so a stopped pass still has figures to give.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

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

  void AddObserver(TPacketObserver* observer) { observers_.push_back(observer); }
  void SetProgress(TProgress progress) { progress_ = std::move(progress); }
  void SetCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }
  void SetBlockSize(int64_t blockSize) { blockSize_ = blockSize; }
  void SetCheckpoint(TCheckpoint checkpoint) { checkpoint_ = std::move(checkpoint); }

  TPassOutcome Run(const TFileStream& stream, int32_t packetSize, int64_t start);

 private:
  std::vector<TPacketObserver*> observers_;
  TProgress progress_;
  TCheckpoint checkpoint_;
  const std::atomic<bool>* cancel_ = nullptr;
  int64_t blockSize_ = TPacketScanner::kDefaultBlock;
};

}  // namespace tessaro
