// The stream analysis: the pass and its observers, and the figures made from them.

#include "analysis/StreamAnalysis.h"

#include <cmath>
#include <limits>
#include <memory>

#include "analysis/AnalysisPass.h"
#include "analysis/PCRTiming.h"
#include "analysis/PIDCounts.h"
#include "analysis/Services.h"
#include "analysis/Timeline.h"
#include "analysis/Timestamps.h"
#include "core/PacketSizeProbe.h"
#include "core/StreamTypes.h"

namespace tessaro {

namespace {

constexpr double kTicks = static_cast<double>(kPCRTicksPerSecond);
// Bits of one packet as the transport rate counts it (ISO/IEC 13818-1,
// 2.4.2.2): 188 bytes, whatever slot a file stores it in.
constexpr double kPacketBits = 8.0 * kTSPacketSize;

TPCRFigures PCRFigures(int32_t pid, const TPCRTrack& t) {
  TPCRFigures f;
  f.pid = pid;
  f.count = t.count;
  f.discontinuities = t.discontinuities;
  if (t.steps > 0) {
    f.intervalMin = static_cast<double>(t.stepMin) / kTicks;
    f.intervalAvg = static_cast<double>(t.stepTicks) / static_cast<double>(t.steps) / kTicks;
    f.intervalMax = static_cast<double>(t.stepMax) / kTicks;
  }
  if (t.accuracyCount > 0) {
    f.accuracyMax = t.accuracyMax / kTicks;
    f.accuracyRMS = std::sqrt(t.accuracySquares / static_cast<double>(t.accuracyCount)) / kTicks;
    f.accuracyMaxOffset = t.accuracyMaxOffset;
  }
  return f;
}

std::optional<double> Measured(double value) { return std::isnan(value) ? std::nullopt : std::optional(value); }

std::optional<int32_t> Known(int32_t value) { return value < 0 ? std::nullopt : std::optional(value); }

TServiceFigures ServiceFigures(const TService& s) {
  TServiceFigures f;
  f.programNumber = s.programNumber;
  f.pmtPID = Known(s.pmtPID);
  f.pcrPID = Known(s.pcrPID);
  f.name = s.name;
  f.provider = s.provider;
  f.serviceType = Known(s.serviceType);
  for (const TElementaryStream& es : s.streams) {
    // The table's names are in parentheses, as the PMT tree shows them.
    std::string name = GetStreamTypeName(es.streamType);
    if (name.size() >= 2 && name.front() == '(' && name.back() == ')') name = name.substr(1, name.size() - 2);
    f.streams.push_back({es.pid, es.streamType, name, es.language, es.what});
  }
  return f;
}

TTimelineFigures TimelineFigures(const TTimeline& timeline) {
  TTimelineFigures f;
  if (timeline.Timed())
    f.bucket = timeline.Span();
  else
    f.bucketBytes = static_cast<int64_t>(timeline.Span());
  const std::vector<TTimelineBucket>& buckets = timeline.Buckets();
  for (size_t i = 0; i < buckets.size(); ++i) {
    const TTimelineBucket& b = buckets[i];
    if (b.offset < 0) continue;
    TTimelineRow row;
    if (f.bucket) row.time = static_cast<double>(i) * *f.bucket;
    row.offset = b.offset;
    for (const TTimelineCell& c : b.cells)
      row.pids.push_back({c.pid, c.packets, Measured(c.accuracyMin), Measured(c.accuracyMax), Measured(c.ptsMin),
                          Measured(c.ptsMax), Measured(c.dtsMin), Measured(c.dtsMax), c.offset, Measured(c.intervalMax),
                          c.intervalOffset, c.accuracyOffset});
    std::sort(row.pids.begin(), row.pids.end(),
              [](const TTimelinePID& a, const TTimelinePID& b) { return a.pid < b.pid; });
    f.rows.push_back(std::move(row));
  }
  return f;
}

// The observers of one pass, wired together, and shown each packet as the
// one observer of the pass: the counts and the timeline take every packet
// in the walk's own loop, the others only the packets they read (most
// packets of a stream are none of those), so the rest of a packet costs no
// call at all.
struct TObservers {
  // The observers lie in this object, not each behind a pointer of its own:
  // the walk's loop reaches them from one address. About a megabyte of
  // per-PID state, so the object belongs on the heap.
  TPIDCounts counts;
  TServices services;
  TTimeline timeline;
  TPCRTiming timing{&timeline};
  TTimestamps timestamps{services, timing, &timeline};

  // Packets before this offset fall in the counts' window and the
  // timeline's bucket by the clock as it stands: for them the stream time
  // need not be worked out. A PCR may change the clock: those packets, and
  // any from this offset on, take the full path, which sets it again.
  int64_t inTimeUntil = std::numeric_limits<int64_t>::min();

  TObservers() = default;
  TObservers(const TObservers&) = delete;
  TObservers& operator=(const TObservers&) = delete;

  __attribute__((always_inline)) void Packet(const TLoadedPacketHeader& header, int64_t index, int64_t offset,
                                             const TStreamClock& clock) {
    const int32_t pid = header.PID();
    const bool pcr = header.HasPCR();
    const bool unitStart = header.PayloadUnitStart();
    // The timeline takes each packet before the measurements made on it.
    if (!pcr && offset < inTimeUntil) {
      counts.CountInWindow(header, pid, pcr, unitStart, offset);
      if (!timeline.CountInBucket(pid)) {
        timeline.Count(pid, offset, clock.Time(offset), true);
        inTimeUntil = clock.TimeLimit(std::min(counts.WindowEnd(), timeline.Edge()));
      }
    } else {
      const bool timed = clock.Running();
      const double time = timed ? clock.Time(offset) : 0.0;
      counts.Count(header, pid, pcr, unitStart, offset, time, timed);
      timeline.Count(pid, offset, time, timed);
      inTimeUntil = clock.TimeLimit(std::min(counts.WindowEnd(), timeline.Edge()));
    }
    if (pcr) timing.PCRPacket(header.View(), offset, index);
    // The stream time is no business of these two.
    if (services.Reads(pid)) services.Packet(header.View(), offset, 0.0, false);
    // Timestamps reads the PES headers, timed by the clocks timing keeps.
    if (unitStart) timestamps.Packet(header.View(), offset, 0.0, false);
  }
};

// The figures of the observers as they stand; head holds what was found
// before the pass (the stream's packet size and start, the file's size).
TStreamAnalysis Figures(const TStreamAnalysis& head, const TPassOutcome& outcome, const TObservers& o) {
  TStreamAnalysis result = head;
  result.packets = outcome.packets;
  result.garbageBytes = outcome.garbageBytes;
  result.reached = outcome.reached;
  result.readFailed = outcome.readFailed;
  result.partial = outcome.cancelled || outcome.readFailed;

  // The reference PCR PID: the most PCRs, the lowest PID on a tie.
  for (int32_t pid = 0; pid < kPIDCount; ++pid) {
    const TPCRTrack& t = o.timing[pid];
    if (t.count == 0) continue;
    if (!result.pcrPID || t.count > o.timing[*result.pcrPID].count) result.pcrPID = pid;
    result.pcr.push_back(PCRFigures(pid, t));
  }
  if (result.pcrPID) {
    const TPCRTrack& ref = o.timing[*result.pcrPID];
    if (ref.steps > 0) {
      result.duration = static_cast<double>(ref.stepTicks) / kTicks;
      result.bitrate = kPacketBits * static_cast<double>(ref.stepPackets) / *result.duration;
    }
  }

  for (int32_t pid = 0; pid < kPIDCount; ++pid) {
    const TPIDCount& c = o.counts[pid];
    if (c.packets == 0) continue;
    TPIDFigures f;
    f.pid = pid;
    f.packets = c.packets;
    f.share = static_cast<double>(c.packets) / static_cast<double>(result.packets);
    if (result.bitrate) f.bitrate = *result.bitrate * f.share;
    if (c.windowMin >= 0) {
      f.bitrateMin = kPacketBits * static_cast<double>(c.windowMin);
      f.bitrateMax = kPacketBits * static_cast<double>(c.windowMax);
    }
    f.ccErrors = c.ccErrors;
    f.scrambled = c.scrambled;
    f.pcrs = c.pcrs;
    f.pesStarts = c.pesStarts;
    f.firstOffset = c.firstOffset;
    f.lastOffset = c.lastOffset;
    f.description = o.services.Description(pid);
    result.pids.push_back(f);

    const TTimestampTrack& t = o.timestamps[pid];
    if (t.ptsFirst >= 0)
      result.timestamps.push_back({pid, Measured(t.ptsMin), Measured(t.ptsMax), Measured(t.dtsMin), Measured(t.dtsMax),
                                   static_cast<double>(t.ptsFirst) / 90000.0,
                                   static_cast<double>(t.ptsLast) / 90000.0});
  }
  for (const TService& s : o.services.Services()) result.services.push_back(ServiceFigures(s));
  result.timeline = TimelineFigures(o.timeline);
  return result;
}

}  // namespace

TStreamAnalysis AnalyzeStream(const TFileStream& stream, const TAnalysisOptions& options) {
  TStreamAnalysis head;
  head.fileSize = std::max<int64_t>(stream.Size(), 0);
  uint8_t probe[kIsTSProbeBytes];
  const int64_t got = stream.ReadAt(0, probe, kIsTSProbeBytes);
  int32_t packetSize = 0;
  int32_t start = 0;
  if (got <= 0 || !GetTSStreamType(probe, got, packetSize, start)) {
    head.readFailed = got < 0;
    return head;
  }
  head.isStream = true;
  head.packetSize = packetSize;
  head.startOffset = start;

  TAnalysisPass pass;
  const auto held = std::make_unique<TObservers>();
  TObservers& observers = *held;
  pass.SetProgress(options.progress);
  pass.SetCancel(options.cancel);
  if (options.blockSize > 0) pass.SetBlockSize(options.blockSize);
  if (options.snapshot) {
    using TClock = std::chrono::steady_clock;
    // The pass keeps this for its whole run: what it needs of this scope is its own.
    pass.SetCheckpoint([&head, &options, &observers, lastTime = TClock::now(),
                        lastReached = int64_t{start}](const TPassOutcome& soFar) mutable {
      if (soFar.reached - lastReached < options.snapshotBytes) return;
      const TClock::time_point now = TClock::now();
      if (now - lastTime < options.snapshotInterval) return;
      lastTime = now;
      lastReached = soFar.reached;
      TStreamAnalysis figures = Figures(head, soFar, observers);
      figures.partial = true;
      options.snapshot(figures);
    });
  }
  return Figures(head, pass.Run(stream, packetSize, start, observers), observers);
}

}  // namespace tessaro
