// The analysis pass: what its walk does between reads and at the end.

#include "analysis/AnalysisPass.h"

namespace tessaro {

void TAnalysisPass::Prepare(TPacketScanner& scanner, TWalk& walk) {
  // The scanner reports after each read, before the packets it brought are
  // visited: the observers are between two packets then.
  if (progress_ || checkpoint_)
    scanner.SetProgress([this, &walk](int64_t done, int64_t) {
      if (progress_) progress_(walk.start + done, walk.size);
      if (!checkpoint_) return;
      TPassOutcome soFar = walk.outcome;
      soFar.reached = LastEnd(walk);
      soFar.garbageBytes = std::max<int64_t>(soFar.reached - walk.start - walk.outcome.packets * walk.packetSize, 0);
      checkpoint_(soFar);
    });
  scanner.SetCancel(cancel_);
}

TPassOutcome TAnalysisPass::Finish(const TPacketScanner& scanner, TScanEnd end, TWalk& walk) {
  TPassOutcome outcome = walk.outcome;
  outcome.cancelled = end == TScanEnd::Cancelled;
  outcome.readFailed = !outcome.cancelled && scanner.ReadEnd() < walk.size;
  // The scanner's read end may lie past the last byte when the walk stepped
  // beyond the file: no byte past the size (or past a packet of a file that
  // grew) was looked at.
  const int64_t bytesEnd = std::max(walk.size, outcome.packets > 0 ? walk.lastPacket + kTSPacketSize : walk.start);
  outcome.reached =
      std::min(outcome.cancelled ? std::min(LastEnd(walk), scanner.ReadEnd()) : scanner.ReadEnd(), bytesEnd);
  // The file may end inside the last packet's slot (a 192-byte slot whose
  // four leading bytes came first): its missing tail is no garbage.
  int64_t packetBytes = outcome.packets * walk.packetSize;
  if (outcome.packets > 0) packetBytes -= std::max<int64_t>(walk.lastPacket + walk.packetSize - outcome.reached, 0);
  outcome.garbageBytes = std::max<int64_t>(outcome.reached - walk.start - packetBytes, 0);
  return outcome;
}

}  // namespace tessaro
