// TTimeline: the analysis pass's figures over time, in at most 4,096
// buckets whatever the file's length. Buckets cover equal spans of stream
// time; when the stream outgrows them, neighbours merge pairwise and the
// span doubles, so memory stays constant. Until the first PCR (and for a
// stream without any) buckets cover equal spans of file bytes; the first
// PCR folds everything before it into the first bucket of time, so the
// timeline's packets add up to each PID's count.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "analysis/AnalysisPass.h"
#include "analysis/PIDCounts.h"

namespace tessaro {

// std::fmin and std::fmax for figures that are NaN where none was measured,
// inline (the library's are calls): the smaller or larger of two numbers,
// the number where one side is NaN, a on a tie.
inline double LowerOf(double a, double b) { return b < a || std::isnan(a) ? b : a; }
inline double HigherOf(double a, double b) { return b > a || std::isnan(a) ? b : a; }

struct TTimelineCell {
  static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  int32_t pid = 0;
  int64_t packets = 0;
  // Seconds; NaN where the bucket holds no such measurement.
  double accuracyMin = kNone;
  double accuracyMax = kNone;
  double ptsMin = kNone;  // PTS - PCR
  double ptsMax = kNone;
  double dtsMin = kNone;  // DTS - PCR
  double dtsMax = kNone;
  int64_t offset = -1;          // the PID's first packet in the bucket
  int64_t accuracyOffset = -1;  // the packet of the PCR of largest |accuracy|
  double intervalMax = kNone;   // the longest PCR interval closed in the bucket
  int64_t intervalOffset = -1;  // the packet whose PCR closed it
};

struct TTimelineBucket {
  int64_t offset = -1;  // the first packet in it; -1: empty
  std::vector<TTimelineCell> cells;
};

class TTimeline final : public TPacketObserver {
 public:
  static constexpr int32_t kMaxBuckets = 4096;
  // Cells of all buckets together; past it buckets merge too (a stream of
  // thousands of PIDs would otherwise hold thousands of cells per bucket).
  static constexpr int64_t kMaxCells = int64_t{1} << 17;
  static constexpr double kFirstSpan = 1.0 / 1024;  // seconds
  static constexpr int64_t kFirstSpanBytes = 64 * 1024;

  void Packet(const TPacketHeaderView& header, int64_t offset, double time, bool timed) override {
    Count(header.PID(), offset, time, timed);
  }
  // Packet, for a caller that has read the PID already.
  void Count(int32_t pid, int64_t offset, double time, bool timed) {
    // Most packets fall in the bucket being filled, on a PID already in it: a
    // comparison with the bucket's end, no division, no search.
    if (!(time < edge_ && timed && CountInBucket(pid))) Enter(pid, offset, time, timed);
  }
  // Count, for a packet known to be timed before the current bucket's end,
  // when its PID has a cell in that bucket; false, and nothing counted, when
  // it has none.
  bool CountInBucket(int32_t pid) {
    const auto slot = static_cast<size_t>(pid & (kPIDCount - 1));
    if (cellStamp_[slot] != stamp_) return false;
    ++currentCells_[cellIndex_[slot]].packets;
    return true;
  }
  // Stream time where the current bucket ends, while every later packet
  // before it lands in that bucket (-inf: none is known to).
  double Edge() const { return edge_; }
  // A PCR accuracy measured for the PCR in the packet at offset.
  void Accuracy(int32_t pid, int64_t offset, double seconds) {
    TTimelineCell* cell = CellAt(pid, offset);
    if (cell == nullptr) return;
    if (std::fabs(seconds) > Worst(*cell)) cell->accuracyOffset = offset;
    cell->accuracyMin = LowerOf(cell->accuracyMin, seconds);
    cell->accuracyMax = HigherOf(cell->accuracyMax, seconds);
  }
  // The interval, in seconds, that the PCR in the packet at offset closes.
  void Interval(int32_t pid, int64_t offset, double seconds) {
    TTimelineCell* cell = CellAt(pid, offset);
    if (cell == nullptr) return;
    if (std::isnan(cell->intervalMax) || seconds > cell->intervalMax) {
      cell->intervalMax = seconds;
      cell->intervalOffset = offset;
    }
  }
  // PTS - PCR and DTS - PCR of the PES packet starting at offset.
  void Timestamps(int32_t pid, int64_t offset, double pts, double dts) {
    TTimelineCell* cell = CellAt(pid, offset);
    if (cell == nullptr) return;
    cell->ptsMin = LowerOf(cell->ptsMin, pts);
    cell->ptsMax = HigherOf(cell->ptsMax, pts);
    cell->dtsMin = LowerOf(cell->dtsMin, dts);
    cell->dtsMax = HigherOf(cell->dtsMax, dts);
  }
  // The magnitude of a cell's worst accuracy; -1 without any.
  static double Worst(const TTimelineCell& c) {
    if (std::isnan(c.accuracyMin)) return -1;
    return std::max(std::fabs(c.accuracyMin), std::fabs(c.accuracyMax));
  }

  bool Timed() const { return timed_; }
  // The span of a bucket: seconds when Timed(), else bytes.
  double Span() const { return timed_ ? span_ : static_cast<double>(spanBytes_); }
  // Bucket i starts at i * Span() (seconds from the first PCR, or bytes
  // from the first packet); empty buckets have offset -1.
  const std::vector<TTimelineBucket>& Buckets() const { return buckets_; }

 private:
  TTimelineCell& Cell(TTimelineBucket& bucket, int32_t pid);
  TTimelineBucket* BucketAt(int64_t offset);
  // pid's cell in the bucket that holds the packet at offset; null before
  // the first bucket. The measurements come for packets just counted, whose
  // cell the current bucket's index finds, without a search.
  TTimelineCell* CellAt(int32_t pid, int64_t offset) {
    const auto slot = static_cast<size_t>(pid & (kPIDCount - 1));
    if (current_ < static_cast<int64_t>(buckets_.size()) && cellStamp_[slot] == stamp_) {
      TTimelineBucket& bucket = buckets_[static_cast<size_t>(current_)];
      if (bucket.offset >= 0 && bucket.offset <= offset) return &bucket.cells[static_cast<size_t>(cellIndex_[slot])];
    }
    TTimelineBucket* bucket = BucketAt(offset);
    return bucket == nullptr ? nullptr : &Cell(*bucket, pid);
  }
  // A packet the fast path of Count does not take: a new bucket, a new PID
  // in the bucket, or the stream not yet timed.
  void Enter(int32_t pid, int64_t offset, double time, bool timed);
  void EnterBucket(int64_t index, int64_t offset);
  // Adds a later bucket to an earlier one.
  void Absorb(TTimelineBucket& into, TTimelineBucket&& from);
  void Merge();
  void Recache();

  std::vector<TTimelineBucket> buckets_;
  bool timed_ = false;
  double span_ = kFirstSpan;
  int64_t spanBytes_ = kFirstSpanBytes;
  int64_t origin_ = -1;  // offset of the first packet
  int64_t current_ = 0;  // the bucket being filled
  int64_t cells_ = 0;
  // Where each PID's cell of the current bucket is, valid while its stamp is.
  std::array<int32_t, kPIDCount> cellIndex_{};
  std::array<uint32_t, kPIDCount> cellStamp_{};
  uint32_t stamp_ = 1;
  // The current bucket's cells, wherever a stamp is valid (set with the
  // index, and again when they move).
  TTimelineCell* currentCells_ = nullptr;
  // Stream time where the current bucket ends, while every later packet
  // before it lands in that bucket (-inf: take the full path).
  double edge_ = -std::numeric_limits<double>::infinity();
};

}  // namespace tessaro
