// The PES timestamp observer of the analysis pass.

#include "analysis/Timestamps.h"

#include <cmath>

#include "analysis/PCRTiming.h"
#include "analysis/Services.h"
#include "analysis/Timeline.h"
#include "core/ByteView.h"

namespace tessaro {

namespace {

// A 33-bit PTS or DTS field of the PES header (ISO/IEC 13818-1, Table
// 2-21): 3 + 15 + 15 bits between marker bits.
int64_t Timestamp(const TByteView& b, int64_t at) {
  return ((int64_t{b.U8(at)} & 0x0E) << 29) | (int64_t{b.U16(at + 1)} >> 1) << 15 | (int64_t{b.U16(at + 3)} >> 1);
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
  const TByteView pes(payload.data, payload.length);
  // packet_start_code_prefix, and the stream_ids whose packets have the
  // optional header ('10' marker bits) with PTS_DTS_flags.
  if (pes.U24(0) != 0x000001 || (pes.U8(6) & 0xC0) != 0x80) return;
  const uint32_t streamId = pes.U8(3);
  if (streamId == 0xBC || streamId == 0xBE || streamId == 0xBF || streamId == 0xF0 || streamId == 0xF1 ||
      streamId == 0xF2 || streamId == 0xF8 || streamId == 0xFF)
    return;
  const uint32_t flags = pes.U8(7) >> 6;
  if ((flags & 2) == 0 || !pes.Contains(9, flags == 3 ? 10 : 5)) return;
  const int64_t pts = Timestamp(pes, 9);
  // Without a DTS the access unit is decoded at its presentation time.
  const int64_t dts = flags == 3 ? Timestamp(pes, 14) : pts;

  TTimestampTrack& t = tracks_[static_cast<size_t>(pid)];
  if (t.ptsFirst < 0) t.ptsFirst = pts;
  t.ptsLast = pts;
  const int32_t pcrPID = services_.PCRPIDOf(pid);
  if (pcrPID < 0) return;
  // Each program is timed by its own PCR PID's clock.
  if (!timing_.RateKnown(pcrPID)) return;
  const double ticksAfter = timing_.TicksAfterLastPCR(pcrPID, offset);
  const int64_t pcr = timing_.LastPCR(pcrPID);
  const double ptsAhead = Ahead(pcr, ticksAfter, pts);
  const double dtsAhead = Ahead(pcr, ticksAfter, dts);
  t.ptsMin = LowerOf(t.ptsMin, ptsAhead);
  t.ptsMax = HigherOf(t.ptsMax, ptsAhead);
  t.dtsMin = LowerOf(t.dtsMin, dtsAhead);
  t.dtsMax = HigherOf(t.dtsMax, dtsAhead);
  if (timeline_ != nullptr) timeline_->Timestamps(pid, offset, ptsAhead, dtsAhead);
}

}  // namespace tessaro
