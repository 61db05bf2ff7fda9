// TPacketHeaderView: the transport_packet header of one packet (ISO/IEC
// 13818-1, Table 2-2) read where it lies, without a parse: the PID, the
// flags, the counter, whether a PCR is present and where the payload is.
// The walks over whole files (searches, filters, checks, packet chains) take
// their packets apart through it; the decode tree keeps the full parser.
//
// The view points at a sync byte. The header fields read bytes 0 to 3 only;
// HasPCR reads bytes 4 and 5 when an adaptation field is announced, PCR
// bytes 6 to 11; the payload span needs the whole 188 bytes and never
// reaches past them.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "core/PacketParser.h"

namespace tessaro {

struct TPayload {
  const uint8_t* data = nullptr;
  int32_t length = 0;  // 0: nothing to take
};

class TPacketHeaderView {
 public:
  static constexpr uint8_t kSyncByte = 0x47;

  explicit constexpr TPacketHeaderView(const uint8_t* packet) noexcept : p_(packet) {}

  // The four header bytes as one number, the sync byte lowest: several
  // fields tested with one comparison.
  uint32_t Word() const {
    uint32_t word = 0;
    std::memcpy(&word, p_, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap32(word);
    return word;
  }
  // The bits of Word() that hold the sync byte and the PID, and their value
  // in a synchronised packet of pid.
  static constexpr uint32_t kSyncPIDBits = 0x00FF1FFF;
  static constexpr uint32_t SyncPID(int32_t pid) {
    return kSyncByte | (static_cast<uint32_t>(pid) >> 8 & 0x1F) << 8 | (static_cast<uint32_t>(pid) & 0xFF) << 16;
  }

  const uint8_t* Bytes() const { return p_; }
  bool Synced() const { return p_[0] == kSyncByte; }
  bool TransportError() const { return (p_[1] & 0x80) != 0; }
  bool PayloadUnitStart() const { return (p_[1] & 0x40) != 0; }
  bool TransportPriority() const { return (p_[1] & 0x20) != 0; }
  int32_t PID() const { return ((p_[1] & 0x1F) << 8) | p_[2]; }
  int32_t ScramblingControl() const { return p_[3] >> 6; }
  int32_t AdaptationFieldControl() const { return (p_[3] >> 4) & 3; }
  int32_t ContinuityCounter() const { return p_[3] & 0x0F; }
  bool HasAdaptationField() const { return (p_[3] & 0x20) != 0; }
  bool HasPayload() const { return (p_[3] & 0x10) != 0; }
  // An adaptation field of at least one byte whose PCR_flag is set.
  bool HasPCR() const { return HasAdaptationField() && p_[4] > 0 && (p_[5] & 0x10) != 0; }
  // The adaptation field's discontinuity_indicator.
  bool Discontinuity() const { return HasAdaptationField() && p_[4] > 0 && (p_[5] & 0x80) != 0; }
  // program_clock_reference_base * 300 + extension, in 27 MHz ticks; only
  // where HasPCR() holds (reads bytes 6 to 11).
  int64_t PCR() const {
    // Bytes 6 to 9 and 10 to 11 as two numbers (loads of their own size: a
    // copy of six bytes into one word would go through the stack), joined
    // into 48 bits: 33 of base, 6 reserved, 9 of extension.
    uint32_t high = 0;
    uint16_t low = 0;
    std::memcpy(&high, p_ + 6, sizeof high);
    std::memcpy(&low, p_ + 10, sizeof low);
    if constexpr (std::endian::native == std::endian::little) {
      high = __builtin_bswap32(high);
      low = __builtin_bswap16(low);
    }
    const uint64_t field = uint64_t{high} << 16 | low;
    return static_cast<int64_t>(field >> 15) * 300 + static_cast<int64_t>(field & 0x1FF);
  }

  // After the 4 header bytes and the adaptation field the control bits
  // announce, to the end of the packet; nothing when no byte is left.
  TPayload Payload() const {
    if (!HasPayload()) return {};
    const int32_t start = HasAdaptationField() ? 5 + p_[4] : 4;
    if (start >= kTSPacketSize) return {};
    return {p_ + start, kTSPacketSize - start};
  }

 private:
  const uint8_t* p_;
};

// TLoadedPacketHeader: the header fields of a whole packet, read once into
// values. A walk that counts into memory between its tests keeps them in
// registers: through the view, every store to a counter makes the compiler
// read the packet's bytes again (a store may, for all it knows, change
// them). The packet must have at least six bytes; it is one in sync.
class TLoadedPacketHeader {
 public:
  explicit TLoadedPacketHeader(const uint8_t* packet) noexcept
      : view_(packet),
        word_(view_.Word()),
        // The adaptation field's flags, 0 where it is absent or empty.
        flags_((word_ & 0x20000000) != 0 && packet[4] > 0 ? packet[5] : 0) {}

  const TPacketHeaderView& View() const { return view_; }
  bool PayloadUnitStart() const { return (word_ & 0x4000) != 0; }
  // Bytes 1 and 2 of the word, most significant first.
  int32_t PID() const { return __builtin_bswap16(static_cast<uint16_t>(word_ >> 8)) & 0x1FFF; }
  int32_t ScramblingControl() const { return static_cast<int32_t>(word_ >> 30); }
  // The payload flag (0x10) and continuity_counter together.
  uint32_t PayloadAndCounter() const { return word_ >> 24 & 0x1F; }
  bool HasPCR() const { return (flags_ & 0x10) != 0; }
  bool Discontinuity() const { return (flags_ & 0x80) != 0; }
  int64_t PCR() const { return view_.PCR(); }

 private:
  TPacketHeaderView view_;
  uint32_t word_;
  uint8_t flags_;
};

}  // namespace tessaro
