// The ETSI TR 101 290 indicators the stream checker measures (section 5.2.1,
// first priority, 5.2.2, second priority, and 5.2.3, third priority without
// the buffer checks 3.3, 3.9 and 3.10), in the order the summary lists them,
// with the settings of a run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessaro {

enum class TIndicator : uint8_t {
  TS_sync_loss,
  Sync_byte_error,
  PAT_error,
  Continuity_count_error,
  PMT_error,
  PID_error,
  Transport_error,
  CRC_error,
  PCR_repetition_error,
  PCR_discontinuity_indicator_error,
  PCR_accuracy_error,
  PTS_error,
  CAT_error,
  NIT_actual_error,
  NIT_other_error,
  SI_repetition_error,
  Unreferenced_PID,
  SDT_actual_error,
  SDT_other_error,
  EIT_actual_error,
  EIT_other_error,
  EIT_PF_error,
  RST_error,
  TDT_error,
};
inline constexpr int kIndicatorCount = 24;

const char* IndicatorName(TIndicator indicator);
// 1, 2 or 3: the indicator's priority in TR 101 290.
int Priority(TIndicator indicator);
inline bool IsSecondPriority(TIndicator indicator) { return Priority(indicator) == 2; }
inline bool IsThirdPriority(TIndicator indicator) { return Priority(indicator) == 3; }

struct TCheckSettings {
  // The second- and third-priority checks that are made; the first-priority
  // ones always are. The third priority is also switched as a whole.
  std::array<bool, kIndicatorCount> enabled = [] {
    std::array<bool, kIndicatorCount> all{};
    all.fill(true);
    return all;
  }();
  bool thirdPriority = true;
  double pcrRepetitionLimit = 0.040;  // seconds between PCRs of a PID (PCR_repetition_error)
  double pcrAccuracyLimit = 500e-9;   // seconds a PCR may lie from its neighbours' rate (PCR_accuracy_error)
  double ptsRepetitionLimit = 0.700;  // seconds between PTSs of a PID (PTS_error)
  // PAT_error and PMT_error: their sections at least this often.
  double tableRepetitionLimit = 0.5;
  // PID_error: a PID a PMT refers to is missing for longer than this (the
  // period TR 101 290 leaves to the user); one never present at all is missing anyway.
  double pidPeriod = 5.0;
  // Unreferenced_PID: a PID no PMT (nor the CAT) names this long after its first packet.
  double unreferencedPeriod = 0.5;
  // Findings reported of one indicator on one PID, and of the whole run;
  // further ones are only counted.
  int32_t findingsPerPID = 1000;
  int32_t findingsPerRun = 100000;

  bool Checks(TIndicator indicator) const {
    const int priority = Priority(indicator);
    return priority == 1 || ((priority == 2 || thirdPriority) && enabled[static_cast<size_t>(indicator)]);
  }
};

}  // namespace tessaro
