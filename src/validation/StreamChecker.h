// TStreamChecker: the transport stream checks of ETSI TR 101 290 over one
// file, as the packet scanner walks it with TR 101 290's own synchronisation
// (five sync bytes give sync, two missing lose it).
//
// First priority: TS_sync_loss, Sync_byte_error, PAT_error (PAT sections
// every 0.5 s, nothing but PAT sections on PID 0x0000, not scrambled),
// Continuity_count_error (one duplicate packet allowed), PMT_error (PMT
// sections every 0.5 s on each PMT PID of the PAT, not scrambled) and
// PID_error (a PID a PMT refers to is missing). Second priority:
// Transport_error, CRC_error (PAT, CAT, PMT, NIT, SDT, EIT, BAT, TOT),
// PCR_repetition_error, PCR_discontinuity_indicator_error,
// PCR_accuracy_error (a PCR more than 500 ns from the value the transport rate
// between its neighbours predicts, as the analysis pass measures it),
// PTS_error and CAT_error. Third priority, but for the buffer checks:
// NIT_actual_error and NIT_other_error, SI_repetition_error, Unreferenced_PID,
// SDT_actual_error and SDT_other_error, EIT_actual_error, EIT_other_error and
// EIT_PF_error, RST_error and TDT_error (SIRules.h holds their limits).
// Intervals are stream time from the PCRs (TStreamClock).
//
// Every finding is one report of type Error whose message starts with the
// indicator's name, then "PID 0xXXXX" where one PID is concerned, then the
// packet's "offset 0x" + 16 hex digits, then what was found, then " at
// HH:MM:SS.mmm", the packet's stream time from the first PCR (none for a
// packet before it, or in a stream without PCRs). A finding that
// something did not come in time (a table, a PMT naming a PID) is at the
// packet where its limit ran out, which need not be one of its PID: an SI
// table's names no PID; a PAT, PMT or PID gap keeps its PID, and is told when
// the gap ends (or at the end of the stream), with its length. After a set
// number of findings of one indicator on one PID (and of the whole run) a
// single Warning says further ones are only counted; the Info summary at the
// end holds every count. Memory does not grow with the file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/PacketScanner.h"
#include "validation/Indicators.h"

namespace tessaro {

class TFileStream;

class TStreamChecker {
 public:
  using TReport = std::function<void(int32_t reportType, const std::string& message)>;

  TStreamChecker(const TCheckSettings& settings, TReport report);
  ~TStreamChecker();
  TStreamChecker(const TStreamChecker&) = delete;
  TStreamChecker& operator=(const TStreamChecker&) = delete;

  // Checks the packets of stream from start to its end in slots of
  // packetSize bytes, then reports the end-of-stream findings and the
  // summary (a cancelled run says where it stopped). A run whose reads end
  // before the size the file had at its start reports an Error saying how
  // many bytes could be read, and its summary is that of a stopped run. The
  // scanner brings the progress report and the cancel flag. One checker
  // checks one stream.
  TScanEnd Check(const TFileStream& stream, int32_t packetSize, int64_t start, TPacketScanner& scanner);

  // Findings of the indicator, reported or only counted.
  int64_t Count(TIndicator indicator) const;
  int64_t Packets() const;
  // After Check: where the bytes read end, and the file's size when the check began.
  int64_t BytesRead() const { return bytesRead_; }
  int64_t StartSize() const { return startSize_; }

 private:
  class TState;
  std::unique_ptr<TState> state_;
  int64_t bytesRead_ = 0;
  int64_t startSize_ = 0;
};

}  // namespace tessaro
