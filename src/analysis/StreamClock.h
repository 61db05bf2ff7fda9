// TStreamClock: stream time from the PCRs of one PID, so that every interval
// the checks measure is one of the recording, however fast it is read. Between
// two PCRs the time of a byte follows the rate the last two PCRs give (the
// transport rate of ISO/IEC 13818-1, 2.4.2.2); across a discontinuity of the
// time base it runs on at that rate.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tessaro {

// The PCR counts 27 MHz ticks modulo 2^33 * 300.
inline constexpr int64_t kPCRTicksPerSecond = 27000000;
inline constexpr int64_t kPCRWrap = (int64_t{1} << 33) * 300;

// b - a modulo the PCR wrap, in [-wrap/2, wrap/2), for PCR values a and b
// (each below the wrap).
inline int64_t PCRDifference(int64_t a, int64_t b) {
  int64_t d = b - a;
  if (d < 0) d += kPCRWrap;
  return d >= kPCRWrap / 2 ? d - kPCRWrap : d;
}

class TStreamClock {
 public:
  // A step between two PCRs of the clock's PID longer than this is taken for
  // a new time base, not for time that passed.
  static constexpr int64_t kLongestStep = kPCRTicksPerSecond;

  bool Running() const { return running_; }
  // A PCR of the clock's PID (27 MHz value) in the packet at offset;
  // discontinuity: the packet starts a new time base.
  void Reference(int64_t offset, int64_t pcr, bool discontinuity) {
    if (!running_) {
      running_ = true;
    } else {
      const int64_t bytes = offset - offset_;
      const int64_t ticks = PCRDifference(pcr_, pcr);
      if (!discontinuity && ticks > 0 && ticks <= kLongestStep && bytes > 0) {
        const double seconds = static_cast<double>(ticks) * (1.0 / kPCRTicksPerSecond);
        time_ += seconds;
        secondsPerByte_ = seconds / static_cast<double>(bytes);
      } else {
        time_ += static_cast<double>(bytes) * secondsPerByte_;
      }
    }
    offset_ = offset;
    pcr_ = pcr;
  }
  // The rate is known once two PCRs lie on one time base.
  bool RateKnown() const { return secondsPerByte_ > 0; }
  // The last PCR, and the 27 MHz ticks from it to the byte at offset at the
  // clock's rate: the PCR value of that byte is their sum (modulo the wrap).
  int64_t LastPCR() const { return pcr_; }
  double TicksAfterLastPCR(int64_t offset) const {
    return static_cast<double>(offset - offset_) * secondsPerByte_ * static_cast<double>(kPCRTicksPerSecond);
  }
  // Seconds from the first PCR to the byte at offset (0 before the clock runs).
  double Time(int64_t offset) const { return time_ + static_cast<double>(offset - offset_) * secondsPerByte_; }
  // An offset up to which (not included) every byte's Time lies before
  // edge, as far as the clock knows now; the lowest int64_t when none does.
  // Time rises with the offset (each step of it rounds monotonically), so
  // one byte before the limit, checked, vouches for all before it.
  int64_t TimeLimit(double edge) const {
    constexpr int64_t kNone = std::numeric_limits<int64_t>::min();
    if (!running_ || !(Time(offset_) < edge)) return kNone;
    if (!(secondsPerByte_ > 0)) return std::numeric_limits<int64_t>::max();
    // Bytes to the edge at the rate, at most 2^50 (a petabyte) ahead.
    const double bytes = std::min((edge - Time(offset_)) / secondsPerByte_, 0x1p50);
    int64_t limit = offset_ + static_cast<int64_t>(bytes);
    // The rounding of the division may put the estimate a byte or two past.
    for (int step = 0; step < 4 && !(Time(limit - 1) < edge); ++step) limit = offset_ + (limit - offset_) / 2;
    return Time(limit - 1) < edge ? limit : kNone;
  }

 private:
  bool running_ = false;
  int64_t offset_ = 0;
  int64_t pcr_ = 0;
  double time_ = 0;
  double secondsPerByte_ = 0;
};

}  // namespace tessaro
