// TPIDCounts: the per-PID observer of the analysis pass: packets, continuity
// errors, scrambled packets, PCRs, PES starts, where each PID first and last
// appears, and its packets per one-second window of stream time (the
// smallest and largest window give the bitrate range). Fixed arrays over all
// 8192 PIDs; nothing grows with the file.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "analysis/AnalysisPass.h"

namespace tessaro {

inline constexpr int32_t kPIDCount = 8192;

struct TPIDCount {
  int64_t packets = 0;
  int64_t ccErrors = 0;
  int64_t scrambled = 0;
  int64_t pcrs = 0;
  int64_t pesStarts = 0;
  int64_t firstOffset = -1;
  int64_t lastOffset = -1;
  // Packets in the smallest and the largest whole one-second window (-1: no
  // whole window yet).
  int64_t windowMin = -1;
  int64_t windowMax = -1;
};

class TPIDCounts final : public TPacketObserver {
 public:
  void Packet(const TPacketHeaderView& header, int64_t offset, double time, bool timed) override;
  const TPIDCount& operator[](int32_t pid) const { return counts_[static_cast<size_t>(pid & (kPIDCount - 1))]; }

 private:
  struct TContinuity {
    int8_t last = -1;  // -1: no packet with payload yet
    bool repeated = false;
  };
  void CloseWindows(int64_t window);

  std::array<TPIDCount, kPIDCount> counts_{};
  std::array<TContinuity, kPIDCount> continuity_{};
  std::array<int64_t, kPIDCount> inWindow_{};
  // The PIDs met so far, in the order met: a window closes over them alone,
  // not over all 8192 (at most 8192 entries).
  std::vector<uint16_t> present_;
  int64_t window_ = -1;  // the one-second window of stream time being counted
};

}  // namespace tessaro
