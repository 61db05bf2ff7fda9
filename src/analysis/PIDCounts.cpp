// The per-PID counts of the analysis pass.

#include "analysis/PIDCounts.h"

#include <algorithm>
#include <cmath>

namespace tessaro {

namespace {
constexpr int32_t kNullPID = 0x1FFF;
}

void TPIDCounts::CloseWindows(int64_t window) {
  if (window_ >= 0) {
    // A window skipped whole (a jump of stream time) held no packet of any PID.
    const bool skipped = window > window_ + 1;
    for (const uint16_t pid : present_) {
      TPIDCount& c = counts_[pid];
      const int64_t low = skipped ? 0 : inWindow_[pid];
      c.windowMin = c.windowMin < 0 ? low : std::min(c.windowMin, low);
      c.windowMax = std::max(c.windowMax, inWindow_[pid]);
    }
  }
  for (const uint16_t pid : present_) inWindow_[pid] = 0;
  window_ = window;
}

void TPIDCounts::Packet(const TPacketHeaderView& header, int64_t offset, double time, bool timed) {
  const int32_t pid = header.PID();
  TPIDCount& c = counts_[static_cast<size_t>(pid)];
  if (timed) {
    // The clock runs on at the last rate it knows until the next PCR, so a
    // packet's time may lie past the window a later PCR puts the next
    // packets in: windows only move forward.
    // Most packets fall in the window being counted: one comparison, no floor.
    if (window_ < 0 || !(time < static_cast<double>(window_ + 1))) {
      const int64_t window = std::max(static_cast<int64_t>(std::floor(time)), window_);
      if (window != window_) CloseWindows(window);
    }
    ++inWindow_[static_cast<size_t>(pid)];
  }
  if (c.packets++ == 0) present_.push_back(static_cast<uint16_t>(pid));
  if (c.firstOffset < 0) c.firstOffset = offset;
  c.lastOffset = offset;
  if (header.ScramblingControl() != 0) ++c.scrambled;
  if (header.HasPCR()) ++c.pcrs;
  // PES_packet (ISO/IEC 13818-1, Table 2-21) opens with packet_start_code_prefix.
  if (header.PayloadUnitStart()) {
    const TPayload payload = header.Payload();
    if (payload.length >= 3 && payload.data[0] == 0 && payload.data[1] == 0 && payload.data[2] == 1) ++c.pesStarts;
  }

  // continuity_counter (ISO/IEC 13818-1, 2.4.3.3): one up per packet with
  // payload, one repeat allowed, anything after a discontinuity_indicator.
  if (pid == kNullPID || !header.HasPayload()) return;
  TContinuity& cc = continuity_[static_cast<size_t>(pid)];
  const auto value = static_cast<int8_t>(header.ContinuityCounter());
  if (cc.last >= 0 && !header.Discontinuity()) {
    if (value == cc.last) {
      if (cc.repeated) ++c.ccErrors;
      cc.repeated = true;
    } else {
      if (value != ((cc.last + 1) & 0x0F)) ++c.ccErrors;
      cc.repeated = false;
    }
  } else {
    cc.repeated = false;
  }
  cc.last = value;
}

}  // namespace tessaro
