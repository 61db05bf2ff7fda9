// The analysis pass: the scanner's walk, the stream clock, and the observers.

#include "analysis/AnalysisPass.h"

namespace tessaro {

TPassOutcome TAnalysisPass::Run(const TFileStream& stream, int32_t packetSize, int64_t start) {
  TPassOutcome outcome;
  const int64_t size = stream.Size();
  TScanRule rule{TSyncRule::Hysteresis};
  rule.acquire = kAcquireSync;
  rule.lose = kLoseSync;

  // The clock follows the first PID met with a PCR, as the validator's does.
  TStreamClock clock;
  int32_t clockPID = -1;
  int64_t packetBytes = 0;
  int64_t lastEnd = start;
  int64_t lastPacket = start;
  const auto visit = [&](const uint8_t* slot, int64_t offset) {
    // The hysteresis walk looks at the slots that lose sync twice: once in
    // sync, once while searching again.
    lastEnd = std::max(lastEnd, offset + packetSize);
    const TPacketHeaderView header(slot);
    if (!header.Synced()) return true;
    if (header.HasPCR()) {
      if (clockPID < 0) clockPID = header.PID();
      if (header.PID() == clockPID) clock.Reference(offset, header.PCR(), header.Discontinuity());
    }
    const bool timed = clock.Running();
    const double time = timed ? clock.Time(offset) : 0.0;
    for (TPacketObserver* observer : observers_) observer->Packet(header, offset, time, timed);
    ++outcome.packets;
    lastPacket = offset;
    packetBytes += packetSize;
    return true;
  };
  // The scanner reports after each read, before the packets it brought are
  // visited: the observers are between two packets then.
  TPacketScanner scanner(blockSize_);
  if (progress_ || checkpoint_)
    scanner.SetProgress([&](int64_t done, int64_t) {
      if (progress_) progress_(start + done, size);
      if (!checkpoint_) return;
      TPassOutcome soFar = outcome;
      soFar.reached = lastEnd;
      soFar.garbageBytes = std::max<int64_t>(lastEnd - start - packetBytes, 0);
      checkpoint_(soFar);
    });
  scanner.SetCancel(cancel_);
  const TScanEnd end = scanner.Scan(stream, packetSize, start, TPacketScanner::kToEndOfFile, rule, visit);
  outcome.cancelled = end == TScanEnd::Cancelled;
  outcome.readFailed = !outcome.cancelled && scanner.ReadEnd() < size;
  // The scanner's read end may lie past the last byte when the walk stepped
  // beyond the file: no byte past the size (or past a packet of a file that
  // grew) was looked at.
  const int64_t bytesEnd = std::max(size, outcome.packets > 0 ? lastPacket + kTSPacketSize : start);
  outcome.reached = std::min(outcome.cancelled ? std::min(lastEnd, scanner.ReadEnd()) : scanner.ReadEnd(), bytesEnd);
  // The file may end inside the last packet's slot (a 192-byte slot whose
  // four leading bytes came first): its missing tail is no garbage.
  if (outcome.packets > 0) packetBytes -= std::max<int64_t>(lastPacket + packetSize - outcome.reached, 0);
  outcome.garbageBytes = std::max<int64_t>(outcome.reached - start - packetBytes, 0);
  return outcome;
}

}  // namespace tessaro
