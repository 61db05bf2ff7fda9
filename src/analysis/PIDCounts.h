// TPIDCounts: the per-PID observer of the analysis pass: packets, continuity
// errors, scrambled packets, PCRs, PES starts, where each PID first and last
// appears, and its packets per one-second window of stream time (the
// smallest and largest window give the bitrate range). Fixed arrays over all
// 8192 PIDs; nothing grows with the file.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "analysis/AnalysisPass.h"

namespace tessaro {

inline constexpr int32_t kPIDCount = 8192;

// Per-PID state for the few PIDs that need it, in the order met, found
// through a table of slots: state for all 8192 PIDs would be memory to
// clear that a stream never uses.
template <class T>
class TPIDSlots {
 public:
  TPIDSlots() { slot_.fill(-1); }
  // pid's state; null when it has none.
  const T* Find(int32_t pid) const {
    const int16_t slot = slot_[static_cast<size_t>(pid & (kPIDCount - 1))];
    return slot < 0 ? nullptr : &items_[static_cast<size_t>(slot)];
  }
  // pid's state, made when it has none (a reference valid until the next new one).
  T& Get(int32_t pid) {
    int16_t& slot = slot_[static_cast<size_t>(pid & (kPIDCount - 1))];
    if (slot < 0) {
      slot = static_cast<int16_t>(items_.size());
      items_.emplace_back();
    }
    return items_[static_cast<size_t>(slot)];
  }

 private:
  std::array<int16_t, kPIDCount> slot_;
  std::vector<T> items_;
};

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
  void Packet(const TPacketHeaderView& header, int64_t offset, double time, bool timed) override {
    const TLoadedPacketHeader loaded(header.Bytes());
    Count(loaded, loaded.PID(), loaded.HasPCR(), loaded.PayloadUnitStart(), offset, time, timed);
  }
  // Packet, for a caller that has read the PID, whether a PCR is present and
  // payload_unit_start_indicator already. Once a packet is timed, every
  // later one is (the stream clock, once running, runs on).
  void Count(const TLoadedPacketHeader& header, int32_t pid, bool pcr, bool unitStart, int64_t offset, double time,
             bool timed) {
    // Most packets fall in the window being counted: one comparison, no floor.
    if (timed && !(time < windowEnd_)) NextWindow(time);
    CountInWindow(header, pid, pcr, unitStart, offset);
  }
  // Count, for a packet known to be timed within the window being counted.
  void CountInWindow(const TLoadedPacketHeader& header, int32_t pid, bool pcr, bool unitStart, int64_t offset) {
    TPIDCount& c = counts_[static_cast<size_t>(pid)];
    if (c.packets++ == 0) {
      present_.push_back(static_cast<uint16_t>(pid));
      c.firstOffset = offset;
    }
    c.lastOffset = offset;
    if (header.ScramblingControl() != 0) ++c.scrambled;
    if (pcr) ++c.pcrs;
    if (unitStart && PESStart(header.View())) ++c.pesStarts;

    // continuity_counter (ISO/IEC 13818-1, 2.4.3.3): one up per packet with
    // payload, one repeat allowed, anything after a discontinuity_indicator.
    // Nearly every packet has payload and the counter one up from the last:
    // one comparison of the two with what is expected.
    uint16_t& expect = expect_[static_cast<size_t>(pid)];
    const auto bits = static_cast<uint16_t>(header.PayloadAndCounter());
    if (bits == expect && !header.Discontinuity()) {
      expect = kPayload | ((bits + 1) & 0x0F);
      return;
    }
    if (pid == kNullPID || (bits & kPayload) == 0) return;
    const int32_t value = bits & 0x0F;
    bool repeated = false;
    if (expect != kNothingExpected && !header.Discontinuity()) {
      const int32_t last = (expect - 1) & 0x0F;
      if (value == last) {
        if ((expect & kRepeated) != 0) ++c.ccErrors;
        repeated = true;
      } else if (value != ((last + 1) & 0x0F)) {
        ++c.ccErrors;
      }
    }
    expect = static_cast<uint16_t>(kPayload | ((value + 1) & 0x0F) | (repeated ? kRepeated : 0));
  }
  // Where the window being counted ends, in seconds of stream time (-inf
  // before the first timed packet).
  double WindowEnd() const { return windowEnd_; }
  const TPIDCount& operator[](int32_t pid) const { return counts_[static_cast<size_t>(pid & (kPIDCount - 1))]; }

 private:
  static constexpr int32_t kNullPID = 0x1FFF;
  // A packet whose time lies past the window being counted.
  void NextWindow(double time);
  void CloseWindows(int64_t window);
  // The payload opens a PES_packet (ISO/IEC 13818-1, Table 2-21).
  static bool PESStart(const TPacketHeaderView& header);

  std::array<TPIDCount, kPIDCount> counts_{};
  // Per PID, the payload flag and continuity_counter its next packet with
  // payload should have (TLoadedPacketHeader::PayloadAndCounter), with
  // kRepeated when the last one was a repeat; kNothingExpected before its
  // first such packet, and always for the null PID. Not a char type: a
  // store to one would, for the compiler, change any memory, the packet's
  // bytes included.
  static constexpr uint16_t kPayload = 0x10;
  static constexpr uint16_t kRepeated = 0x20;
  static constexpr uint16_t kNothingExpected = 0xFFFF;
  std::array<uint16_t, kPIDCount> expect_ = [] {
    std::array<uint16_t, kPIDCount> all{};
    all.fill(kNothingExpected);
    return all;
  }();
  // Each PID's packets before the window being counted: its packets in the
  // window are the rest.
  std::array<int64_t, kPIDCount> beforeWindow_{};
  // The PIDs met so far, in the order met: a window closes over them alone,
  // not over all 8192 (at most 8192 entries).
  std::vector<uint16_t> present_;
  int64_t window_ = -1;  // the one-second window of stream time being counted
  // Where it ends: window_ + 1 seconds, -inf before the first timed packet.
  double windowEnd_ = -std::numeric_limits<double>::infinity();
};

}  // namespace tessaro
