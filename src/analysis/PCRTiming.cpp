// The PCR observer of the analysis pass.

#include "analysis/PCRTiming.h"

#include <algorithm>
#include <cmath>

#include "analysis/StreamClock.h"
#include "analysis/Timeline.h"

namespace tessaro {

void TPCRTiming::Packet(const TPacketHeaderView& header, int64_t offset, double, bool) {
  const int64_t packet = packets_++;
  if (header.HasPCR()) PCRPacket(header, offset, packet);
}

void TPCRTiming::PCRPacket(const TPacketHeaderView& header, int64_t offset, int64_t packet) {
  const auto pid = static_cast<size_t>(header.PID());
  TPID& p = pids_.Get(static_cast<int32_t>(pid));
  TPCRTrack& t = p.track;
  TRecent now{offset, header.PCR(), packet, false};
  p.clock.Reference(offset, now.pcr, header.Discontinuity());
  if (t.count > 0) {
    const TRecent& last = p.last;
    const int64_t ticks = PCRDifference(last.pcr, now.pcr);
    // A step the stream clock would not take is a new time base, signalled or not.
    now.continuous =
        !header.Discontinuity() && ticks > 0 && ticks <= TStreamClock::kLongestStep && offset > last.offset;
    if (now.continuous) {
      t.stepMin = t.steps == 0 ? ticks : std::min(t.stepMin, ticks);
      t.stepMax = t.steps == 0 ? ticks : std::max(t.stepMax, ticks);
      ++t.steps;
      t.stepTicks += ticks;
      t.stepPackets += packet - last.packet;
      if (timeline_ != nullptr)
        timeline_->Interval(static_cast<int32_t>(pid), offset, static_cast<double>(ticks) / kPCRTicksPerSecond);
    } else {
      ++t.discontinuities;
    }
    // PCR accuracy, measured one PCR late, when the neighbour after it is
    // known, and only when all three lie on one time base.
    if (now.continuous && last.continuous && t.count >= 2) {
      const TRecent& before = p.beforeLast;
      const double error = PCRAccuracy(before.offset, before.pcr, last.offset, last.pcr, now.offset, now.pcr);
      ++t.accuracyCount;
      t.accuracySquares += error * error;
      if (std::fabs(error) > t.accuracyMax || t.accuracyMaxOffset < 0) {
        t.accuracyMax = std::fabs(error);
        t.accuracyMaxOffset = last.offset;
      }
      if (timeline_ != nullptr)
        timeline_->Accuracy(static_cast<int32_t>(pid), last.offset, error / static_cast<double>(kPCRTicksPerSecond));
    }
    p.beforeLast = last;
  }
  p.last = now;
  ++t.count;
}

}  // namespace tessaro
