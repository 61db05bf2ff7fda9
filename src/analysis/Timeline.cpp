// The timeline observer: buckets of stream time (or of bytes before the
// first PCR), merged pairwise to stay within their bounds.

#include "analysis/Timeline.h"

#include <algorithm>
#include <cmath>

namespace tessaro {

namespace {

// from is the later of the two: on a tie the earlier packet stays.
void Combine(TTimelineCell& into, const TTimelineCell& from) {
  into.packets += from.packets;
  if (into.offset < 0) into.offset = from.offset;
  if (TTimeline::Worst(from) > TTimeline::Worst(into)) into.accuracyOffset = from.accuracyOffset;
  if (from.intervalMax > into.intervalMax || (std::isnan(into.intervalMax) && !std::isnan(from.intervalMax))) {
    into.intervalMax = from.intervalMax;
    into.intervalOffset = from.intervalOffset;
  }
  // LowerOf and HigherOf take the number where one side is NaN.
  into.accuracyMin = LowerOf(into.accuracyMin, from.accuracyMin);
  into.accuracyMax = HigherOf(into.accuracyMax, from.accuracyMax);
  into.ptsMin = LowerOf(into.ptsMin, from.ptsMin);
  into.ptsMax = HigherOf(into.ptsMax, from.ptsMax);
  into.dtsMin = LowerOf(into.dtsMin, from.dtsMin);
  into.dtsMax = HigherOf(into.dtsMax, from.dtsMax);
}

}  // namespace

void TTimeline::Absorb(TTimelineBucket& into, TTimelineBucket&& from) {
  if (into.offset < 0) into.offset = from.offset;
  if (into.cells.empty()) {
    into.cells = std::move(from.cells);
    return;
  }
  // The PID index of the current bucket serves for into's cells here: the
  // callers rebuild it (Recache) when they are done.
  ++stamp_;
  for (size_t i = 0; i < into.cells.size(); ++i) {
    const auto slot = static_cast<size_t>(into.cells[i].pid & (kPIDCount - 1));
    cellStamp_[slot] = stamp_;
    cellIndex_[slot] = static_cast<int32_t>(i);
  }
  for (const TTimelineCell& cell : from.cells) {
    const auto slot = static_cast<size_t>(cell.pid & (kPIDCount - 1));
    if (cellStamp_[slot] == stamp_) {
      Combine(into.cells[static_cast<size_t>(cellIndex_[slot])], cell);
    } else {
      cellStamp_[slot] = stamp_;
      cellIndex_[slot] = static_cast<int32_t>(into.cells.size());
      into.cells.push_back(cell);
    }
  }
}

void TTimeline::Recache() {
  ++stamp_;
  if (current_ >= static_cast<int64_t>(buckets_.size())) return;
  std::vector<TTimelineCell>& cells = buckets_[static_cast<size_t>(current_)].cells;
  currentCells_ = cells.data();
  for (size_t i = 0; i < cells.size(); ++i) {
    const auto slot = static_cast<size_t>(cells[i].pid & (kPIDCount - 1));
    cellStamp_[slot] = stamp_;
    cellIndex_[slot] = static_cast<int32_t>(i);
  }
}

TTimelineCell& TTimeline::Cell(TTimelineBucket& bucket, int32_t pid) {
  const bool current = &bucket == &buckets_[static_cast<size_t>(current_)];
  const auto slot = static_cast<size_t>(pid & (kPIDCount - 1));
  if (current && cellStamp_[slot] == stamp_) return bucket.cells[static_cast<size_t>(cellIndex_[slot])];
  // Every cell of the current bucket is in the index: one missing there is new.
  auto it = current ? bucket.cells.end()
                    : std::find_if(bucket.cells.begin(), bucket.cells.end(),
                                   [&](const TTimelineCell& c) { return c.pid == pid; });
  if (it == bucket.cells.end()) {
    // A bucket usually holds the PIDs the one before it held: room for
    // them at once, not a growth step at each.
    const auto index = static_cast<size_t>(&bucket - buckets_.data());
    if (bucket.cells.empty() && index > 0) bucket.cells.reserve(buckets_[index - 1].cells.size());
    TTimelineCell cell;
    cell.pid = pid;
    bucket.cells.push_back(cell);
    ++cells_;
    it = bucket.cells.end() - 1;
  }
  if (current) {
    cellStamp_[slot] = stamp_;
    cellIndex_[slot] = static_cast<int32_t>(it - bucket.cells.begin());
    currentCells_ = bucket.cells.data();  // the cells may have moved
  }
  return *it;
}

void TTimeline::Merge() {
  edge_ = -std::numeric_limits<double>::infinity();
  std::vector<TTimelineBucket> merged((buckets_.size() + 1) / 2);
  for (size_t i = 0; i < buckets_.size(); ++i) Absorb(merged[i / 2], std::move(buckets_[i]));
  buckets_ = std::move(merged);
  cells_ = 0;
  for (const TTimelineBucket& bucket : buckets_) cells_ += static_cast<int64_t>(bucket.cells.size());
  if (timed_)
    span_ *= 2;
  else
    spanBytes_ *= 2;
  current_ /= 2;
  Recache();
}

void TTimeline::EnterBucket(int64_t index, int64_t offset) {
  if (static_cast<int64_t>(buckets_.size()) <= index) buckets_.resize(static_cast<size_t>(index) + 1);
  if (index != current_) {
    current_ = index;
    Recache();
  }
  TTimelineBucket& bucket = buckets_[static_cast<size_t>(index)];
  if (bucket.offset < 0) bucket.offset = offset;
}

void TTimeline::Enter(int32_t pid, int64_t offset, double time, bool timed) {
  edge_ = -std::numeric_limits<double>::infinity();
  if (origin_ < 0) origin_ = offset;
  if (timed && !timed_) {
    // The first PCR: what came before it is the first bucket of time.
    TTimelineBucket before;
    for (TTimelineBucket& bucket : buckets_) Absorb(before, std::move(bucket));
    buckets_.clear();
    buckets_.push_back(std::move(before));
    cells_ = static_cast<int64_t>(buckets_[0].cells.size());
    timed_ = true;
    current_ = 0;
    Recache();
  }
  int64_t index = current_;
  if (timed_) {
    // The clock runs on at the last rate it knows until the next PCR, which
    // may put the next packets a little earlier: buckets only move forward.
    if (std::isfinite(time) && time / span_ < 1e15)
      index = std::max(index, static_cast<int64_t>(std::floor(std::max(time, 0.0) / span_)));
  } else {
    index = std::max(index, (offset - origin_) / spanBytes_);
  }
  while (index >= kMaxBuckets) {
    Merge();
    index /= 2;
  }
  EnterBucket(index, offset);
  TTimelineCell& cell = Cell(buckets_[static_cast<size_t>(current_)], pid);
  if (cell.offset < 0) cell.offset = offset;
  ++cell.packets;
  if (cells_ > kMaxCells) Merge();
  // Until the bucket's end, a packet of a PID with a cell here only counts.
  if (timed_) edge_ = static_cast<double>(current_ + 1) * span_;
}

TTimelineBucket* TTimeline::BucketAt(int64_t offset) {
  for (int64_t i = std::min<int64_t>(current_, static_cast<int64_t>(buckets_.size()) - 1); i >= 0; --i) {
    TTimelineBucket& bucket = buckets_[static_cast<size_t>(i)];
    if (bucket.offset >= 0 && bucket.offset <= offset) return &bucket;
  }
  return nullptr;
}

}  // namespace tessaro
