// TTimestamps: the PES timestamp observer of the analysis pass. For every
// PES packet with a PTS it measures PTS - PCR and DTS - PCR, the time the
// decoder holds the access unit in its buffers, against the PCR of the
// program's PCR PID at the PES packet's first byte (that PID's clock as the
// PCR observer keeps it), and keeps the first and last PTS of each PID. Only
// packets that start a payload unit concern it; only the PIDs with PES
// timestamps have state.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "analysis/AnalysisPass.h"
#include "analysis/PIDCounts.h"

namespace tessaro {

class TPCRTiming;
class TServices;
class TTimeline;

struct TTimestampTrack {
  static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  // Seconds; NaN until measured.
  double ptsMin = kNone;
  double ptsMax = kNone;
  double dtsMin = kNone;
  double dtsMax = kNone;
  int64_t ptsFirst = -1;  // 90 kHz values; -1: no PTS seen
  int64_t ptsLast = -1;
};

class TTimestamps final : public TPacketObserver {
 public:
  // services names each stream's PCR PID, timing keeps that PID's clock (it
  // must see each packet before this observer does); timeline (optional)
  // gets every measurement.
  TTimestamps(const TServices& services, const TPCRTiming& timing, TTimeline* timeline)
      : services_(services), timing_(timing), timeline_(timeline) {}
  void Packet(const TPacketHeaderView& header, int64_t offset, double time, bool timed) override;
  const TTimestampTrack& operator[](int32_t pid) const {
    static const TTimestampTrack kNone;
    const TTimestampTrack* track = tracks_.Find(pid);
    return track != nullptr ? *track : kNone;
  }

 private:
  const TServices& services_;
  const TPCRTiming& timing_;
  TTimeline* timeline_;
  TPIDSlots<TTimestampTrack> tracks_;  // the PIDs with PES timestamps
};

}  // namespace tessaro
