// The per-PID counts of the analysis pass.

#include "analysis/PIDCounts.h"

#include <algorithm>
#include <cmath>

namespace tessaro {

void TPIDCounts::CloseWindows(int64_t window) {
  if (window_ >= 0) {
    // A window skipped whole (a jump of stream time) held no packet of any PID.
    const bool skipped = window > window_ + 1;
    for (const uint16_t pid : present_) {
      TPIDCount& c = counts_[pid];
      const int64_t inWindow = c.packets - beforeWindow_[pid];
      const int64_t low = skipped ? 0 : inWindow;
      c.windowMin = c.windowMin < 0 ? low : std::min(c.windowMin, low);
      c.windowMax = std::max(c.windowMax, inWindow);
    }
  }
  // A PID first met later has no packet before the window it is met in.
  for (const uint16_t pid : present_) beforeWindow_[pid] = counts_[pid].packets;
  window_ = window;
  windowEnd_ = static_cast<double>(window + 1);
}

void TPIDCounts::NextWindow(double time) {
  // The clock runs on at the last rate it knows until the next PCR, so a
  // packet's time may lie past the window a later PCR puts the next packets
  // in: windows only move forward.
  const int64_t window = std::max(static_cast<int64_t>(std::floor(time)), window_);
  if (window != window_) CloseWindows(window);
}

bool TPIDCounts::PESStart(const TPacketHeaderView& header) {
  // packet_start_code_prefix.
  const TPayload payload = header.Payload();
  return payload.length >= 3 && payload.data[0] == 0 && payload.data[1] == 0 && payload.data[2] == 1;
}

}  // namespace tessaro
