// The ETSI TR 101 290 indicators the stream checker measures (section 5.2.1,
// first priority, and 5.2.2, second priority), in the order the summary
// lists them, with the settings of a run.
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
};
inline constexpr int kIndicatorCount = 13;

const char* IndicatorName(TIndicator indicator);
bool IsSecondPriority(TIndicator indicator);

struct TCheckSettings {
  // The second-priority checks that are made; the first-priority ones always are.
  std::array<bool, kIndicatorCount> enabled = [] {
    std::array<bool, kIndicatorCount> all{};
    all.fill(true);
    return all;
  }();
  double pcrRepetitionLimit = 0.040;  // seconds between PCRs of a PID (PCR_repetition_error)
  double pcrAccuracyLimit = 500e-9;   // seconds a PCR may lie from its neighbours' rate (PCR_accuracy_error)
  double ptsRepetitionLimit = 0.700;  // seconds between PTSs of a PID (PTS_error)
  // PAT_error and PMT_error: their sections at least this often.
  double tableRepetitionLimit = 0.5;
  // PID_error: a PID a PMT refers to is missing for longer than this (the
  // period TR 101 290 leaves to the user); one never present at all is missing anyway.
  double pidPeriod = 5.0;
  // Findings reported of one indicator on one PID, and of the whole run;
  // further ones are only counted.
  int32_t findingsPerPID = 1000;
  int32_t findingsPerRun = 100000;

  bool Checks(TIndicator indicator) const {
    return !IsSecondPriority(indicator) || enabled[static_cast<size_t>(indicator)];
  }
};

}  // namespace tessaro
