// TSectionAssembler: the PSI/SI sections of one PID put together from its
// packets as they come (ISO/IEC 13818-1, 2.4.4: pointer_field, section_length,
// several sections in a packet, stuffing bytes 0xFF after the last). A section
// in progress is dropped when packets of the PID were lost or repeated, or
// when a new one starts before it is whole.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace tessaro {

class TSectionAssembler {
 public:
  // 3 header bytes and the largest section_length (12 bits).
  static constexpr int32_t kLargestSection = 3 + 0xFFF;

  // No section in progress.
  bool Idle() const { return have_ == 0; }

  // The payload of one packet of the PID at offset. onSection(bytes, length,
  // offset of the packet the section starts in) for each whole section.
  template <class OnSection>
  void Feed(const uint8_t* payload, int32_t length, bool unitStart, bool continuityBroken, int64_t offset,
            OnSection&& onSection) {
    if (continuityBroken) have_ = 0;
    if (!unitStart) {
      if (have_ > 0) Append(payload, length, onSection);
      return;
    }
    if (length < 1) return;
    const int32_t pointer = payload[0];
    // The bytes before the pointed-to start end the section in progress; one
    // that is still not whole then was cut short.
    if (have_ > 0) Append(payload + 1, std::min(pointer, length - 1), onSection);
    have_ = 0;
    for (int32_t pos = 1 + pointer; pos < length && payload[pos] != 0xFF;) {
      start_ = offset;
      pos += Append(payload + pos, length - pos, onSection);
      if (have_ > 0) break;  // it goes on in a later packet
    }
  }

 private:
  // Takes bytes of the section in progress (or a new one); returns how many it used.
  template <class OnSection>
  int32_t Append(const uint8_t* data, int32_t length, OnSection& onSection) {
    int32_t used = 0;
    if (have_ < 3) {
      used = std::min(3 - have_, length);
      std::memcpy(buffer_.data() + have_, data, static_cast<size_t>(used));
      have_ += used;
      if (have_ < 3) return used;
      need_ = 3 + (((buffer_[1] & 0x0F) << 8) | buffer_[2]);
    }
    const int32_t take = std::min(need_ - have_, length - used);
    std::memcpy(buffer_.data() + have_, data + used, static_cast<size_t>(take));
    have_ += take;
    used += take;
    if (have_ == need_) {
      have_ = 0;
      onSection(buffer_.data(), need_, start_);
    }
    return used;
  }

  std::array<uint8_t, kLargestSection> buffer_{};
  int32_t have_ = 0;  // bytes of the section in progress; 0: none
  int32_t need_ = 0;  // its whole length, once its first three bytes are in
  int64_t start_ = 0;
};

}  // namespace tessaro
