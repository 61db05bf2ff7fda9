// The PES timestamp observer of the analysis pass.

#include "analysis/Timestamps.h"

#include <cmath>

#include "analysis/PCRTiming.h"
#include "analysis/Services.h"
#include "analysis/Timeline.h"

namespace tessaro {

namespace {

// A 33-bit PTS or DTS field of the PES header (ISO/IEC 13818-1, Table
// 2-21): 3 + 15 + 15 bits between marker bits, in the five bytes at f.
int64_t Timestamp(const uint8_t* f) {
  return (int64_t{f[0]} & 0x0E) << 29 | int64_t{f[1]} << 22 | int64_t{f[2] >> 1} << 15 | int64_t{f[3]} << 7 | f[4] >> 1;
}

// 27 MHz ticks from the PCR value at a byte (a whole PCR plus ticks after
// it) to a 90 kHz timestamp, modulo the 33-bit wrap, in seconds.
double Ahead(int64_t pcr, double ticksAfter, int64_t timestamp) {
  const double ticks = static_cast<double>(PCRDifference(pcr, timestamp * 300)) - ticksAfter;
  return ticks / static_cast<double>(kPCRTicksPerSecond);
}

}  // namespace

void TTimestamps::Packet(const TPacketHeaderView& header, int64_t offset, double, bool) {
  const int32_t pid = header.PID();
  if (!header.PayloadUnitStart() || header.ScramblingControl() != 0) return;
  const TPayload payload = header.Payload();
  // Up to the flags byte, then the timestamps they announce, in the packet.
  const uint8_t* pes = payload.data;
  if (payload.length < 8) return;
  // packet_start_code_prefix, and the stream_ids whose packets have the
  // optional header ('10' marker bits) with PTS_DTS_flags.
  if (pes[0] != 0 || pes[1] != 0 || pes[2] != 1 || (pes[6] & 0xC0) != 0x80) return;
  const uint32_t streamId = pes[3];
  if (streamId == 0xBC || streamId == 0xBE || streamId == 0xBF || streamId == 0xF0 || streamId == 0xF1 ||
      streamId == 0xF2 || streamId == 0xF8 || streamId == 0xFF)
    return;
  const uint32_t flags = pes[7] >> 6;
  if ((flags & 2) == 0 || payload.length < 9 + (flags == 3 ? 10 : 5)) return;
  const int64_t pts = Timestamp(pes + 9);
  // Without a DTS the access unit is decoded at its presentation time.
  const int64_t dts = flags == 3 ? Timestamp(pes + 14) : pts;

  TTimestampTrack& t = tracks_.Get(pid);
  if (t.ptsFirst < 0) t.ptsFirst = pts;
  t.ptsLast = pts;
  const int32_t pcrPID = services_.PCRPIDOf(pid);
  if (pcrPID < 0) return;
  // Each program is timed by its own PCR PID's clock.
  const TStreamClock* clock = timing_.ClockOf(pcrPID);
  if (clock == nullptr || !clock->RateKnown()) return;
  const int64_t pcr = clock->LastPCR();
  const double ticksAfter = clock->TicksAfterLastPCR(offset);
  const double ptsAhead = Ahead(pcr, ticksAfter, pts);
  const double dtsAhead = flags == 3 ? Ahead(pcr, ticksAfter, dts) : ptsAhead;
  t.ptsMin = LowerOf(t.ptsMin, ptsAhead);
  t.ptsMax = HigherOf(t.ptsMax, ptsAhead);
  t.dtsMin = LowerOf(t.dtsMin, dtsAhead);
  t.dtsMax = HigherOf(t.dtsMax, dtsAhead);
  if (timeline_ != nullptr) timeline_->Timestamps(pid, offset, ptsAhead, dtsAhead);
}

}  // namespace tessaro
