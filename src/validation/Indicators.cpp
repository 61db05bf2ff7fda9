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
                                                                   "CAT_error"};
  return kNames[static_cast<size_t>(indicator)];
}

bool IsSecondPriority(TIndicator indicator) { return indicator >= TIndicator::Transport_error; }

}  // namespace tessaro
