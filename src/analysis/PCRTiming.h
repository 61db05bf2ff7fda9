// TPCRTiming: the PCR observer of the analysis pass. Per PID that carries
// PCRs: how many, the intervals between them, the discontinuities, how far
// each PCR lies from where the transport rate puts it, and the packets of
// the whole stream between counted PCR pairs (the reference PID's give the
// duration and the transport bitrate). It also keeps a TStreamClock for
// each of those PIDs. State only for the PIDs with PCRs.
#pragma once

#include <cstdint>

#include "analysis/AnalysisPass.h"
#include "analysis/PIDCounts.h"
#include "analysis/StreamClock.h"

namespace tessaro {

// PCR accuracy (ETSI TR 101 290, 5.3.2 PCR_accuracy_error and Annex I): the
// transport rate between the PCRs on either side of a PCR predicts its value
// from its byte position; the accuracy is the difference, in 27 MHz ticks, of
// the PCR from that prediction. The three lie on one time base, in file order.
inline double PCRAccuracy(int64_t beforeOffset, int64_t beforePCR, int64_t offset, int64_t pcr, int64_t afterOffset,
                          int64_t afterPCR) {
  const double span = static_cast<double>(PCRDifference(beforePCR, afterPCR));
  const double share = static_cast<double>(offset - beforeOffset) / static_cast<double>(afterOffset - beforeOffset);
  return static_cast<double>(PCRDifference(beforePCR, pcr)) - span * share;
}

struct TPCRTrack {
  int64_t count = 0;
  int64_t discontinuities = 0;
  // Steps between consecutive PCRs on one time base, in 27 MHz ticks.
  int64_t steps = 0;
  int64_t stepTicks = 0;
  int64_t stepMin = 0;
  int64_t stepMax = 0;
  int64_t stepPackets = 0;  // transport packets from the first to the second PCR of each step
  // PCR accuracy, in 27 MHz ticks.
  int64_t accuracyCount = 0;
  double accuracyMax = 0;  // largest absolute value
  double accuracySquares = 0;
  int64_t accuracyMaxOffset = -1;
};

class TTimeline;

class TPCRTiming final : public TPacketObserver {
 public:
  // timeline (optional) is told each interval and each accuracy measured.
  explicit TPCRTiming(TTimeline* timeline = nullptr) : timeline_(timeline) {}
  void Packet(const TPacketHeaderView& header, int64_t offset, double time, bool timed) override;
  // A packet with a PCR, the index-th of the pass: for a caller that shows
  // this observer only such packets.
  void PCRPacket(const TPacketHeaderView& header, int64_t offset, int64_t index);
  const TPCRTrack& operator[](int32_t pid) const {
    static const TPCRTrack kNone;
    const TPID* p = pids_.Find(pid);
    return p != nullptr ? p->track : kNone;
  }
  // The clock of a PID's PCRs; null before its first PCR.
  const TStreamClock* ClockOf(int32_t pid) const {
    const TPID* p = pids_.Find(pid);
    return p != nullptr ? &p->clock : nullptr;
  }

 private:
  struct TRecent {
    int64_t offset = 0;
    int64_t pcr = 0;
    int64_t packet = 0;       // index of its packet in the pass
    bool continuous = false;  // on one time base with the PCR before it
  };
  // What is kept for one PID with PCRs.
  struct TPID {
    TPCRTrack track;
    TRecent last;
    TRecent beforeLast;
    TStreamClock clock;
  };

  TTimeline* timeline_;
  TPIDSlots<TPID> pids_;  // a stream has few PCR PIDs
  int64_t packets_ = 0;
};

}  // namespace tessaro
