#include "validation/Indicators.h"

namespace tessaro {

const char* IndicatorName(TIndicator indicator) {
  static constexpr std::array<const char*, kIndicatorCount> kNames{"TS_sync_loss",
                                                                   "Sync_byte_error",
                                                                   "PAT_error",
                                                                   "Continuity_count_error",
                                                                   "PMT_error",
                                                                   "PID_error",
                                                                   "Transport_error",
                                                                   "CRC_error",
                                                                   "PCR_repetition_error",
                                                                   "PCR_discontinuity_indicator_error",
                                                                   "PCR_accuracy_error",
                                                                   "PTS_error",
                                                                   "CAT_error",
                                                                   "NIT_actual_error",
                                                                   "NIT_other_error",
                                                                   "SI_repetition_error",
                                                                   "Unreferenced_PID",
                                                                   "SDT_actual_error",
                                                                   "SDT_other_error",
                                                                   "EIT_actual_error",
                                                                   "EIT_other_error",
                                                                   "EIT_PF_error",
                                                                   "RST_error",
                                                                   "TDT_error"};
  return kNames[static_cast<size_t>(indicator)];
}

int Priority(TIndicator indicator) {
  if (indicator < TIndicator::Transport_error) return 1;
  return indicator <= TIndicator::CAT_error ? 2 : 3;
}

}  // namespace tessaro
