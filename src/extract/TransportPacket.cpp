#include "extract/TransportPacket.h"

#include <algorithm>
#include <cstring>

#include "core/BitStream.h"
#include "core/ByteView.h"
#include "core/Crc32.h"
#include "core/Diagnostics.h"
#include "core/PacketHeaderView.h"
#include "core/PacketParser.h"

namespace tessaro {
namespace {

constexpr std::array<int32_t, 6> kTypeSizes{0, 188, 204, 196, 212, 192};

// Bytes written from a packet offset on; a byte past the packet's 188 is not
// written, only counted, so that a build that does not fit is refused.
class TPacketWriter {
 public:
  TPacketWriter(uint8_t* packet, int32_t at) : packet_(packet), pos_(at) {}
  void Put(uint32_t byte) {
    if (pos_ >= 0 && pos_ < kTSPacketSize) packet_[pos_] = static_cast<uint8_t>(byte);
    ++pos_;
  }
  void PadTo(int32_t end) {
    while (pos_ < end) Put(0xFF);
  }
  int32_t Pos() const { return pos_; }
  bool Fits() const { return pos_ <= kTSPacketSize; }

 private:
  uint8_t* packet_;
  int32_t pos_;
};

uint32_t Bit(uint8_t flag) { return flag & 1u; }

// program_clock_reference_base 33, reserved 6 (written as 1s), extension 9.
void PutClockReference(TPacketWriter& w, uint64_t base, uint16_t extension) {
  w.Put(static_cast<uint32_t>((base >> 25) & 0xFF));
  w.Put(static_cast<uint32_t>((base >> 17) & 0xFF));
  w.Put(static_cast<uint32_t>((base >> 9) & 0xFF));
  w.Put(static_cast<uint32_t>((base >> 1) & 0xFF));
  w.Put(static_cast<uint32_t>((base & 1) << 7) | 0x7E | ((extension >> 8) & 1u));
  w.Put(extension & 0xFFu);
}

void ReadClockReference(TBitStream4& bits, uint64_t& base, uint8_t& reserved, uint16_t& extension) {
  base = (uint64_t{bits.GetBits(1)} << 32) | bits.GetBits(32);
  reserved = static_cast<uint8_t>(bits.GetBits(6));
  extension = static_cast<uint16_t>(bits.GetBits(9));
}

// Copies up to the array's size of the next count bytes, as far as the
// packet holds them, and moves past all count.
template <size_t N>
void ReadBytes(TBitStream4& bits, std::array<uint8_t, N>& into, int32_t count) {
  const int32_t stored = std::min({count, static_cast<int32_t>(N), bits.BytesRemaining()});
  if (stored > 0) std::memcpy(into.data(), bits.GetCurrentPointer(), static_cast<size_t>(stored));
  bits.SkipBytes(std::min(count, bits.BytesRemaining()));
}

}  // namespace

bool IsPacketType(int32_t code) { return code >= 1 && code < static_cast<int32_t>(kTypeSizes.size()); }

int32_t PacketSizeOfType(int32_t code) { return IsPacketType(code) ? kTypeSizes[static_cast<size_t>(code)] : 188; }

int32_t PacketTypeOfSize(int32_t size) {
  for (int32_t code = 1; code < static_cast<int32_t>(kTypeSizes.size()); ++code)
    if (kTypeSizes[static_cast<size_t>(code)] == size) return code;
  return 0;
}

int32_t GetPacketPID(const uint8_t* buffer, int32_t length) {
  if (buffer == nullptr || length < 4) return -1;
  return TPacketHeaderView(buffer).PID();
}

// ---- Ttransport_packet_class ---------------------------------------------------

Ttransport_packet_class::Ttransport_packet_class(int32_t packetType)
    : packetType_(IsPacketType(packetType) ? packetType : 1), packetSize_(PacketSizeOfType(packetType_)) {}

bool Ttransport_packet_class::SetData(const uint8_t* buffer, int32_t length) {
  return Guarded("Ttransport_packet_class.SetData", false, [&] {
    if (buffer == nullptr || length != packetSize_) return false;
    std::memcpy(buffer_.data(), buffer, static_cast<size_t>(length));
    return ParsePacket();
  });
}

bool Ttransport_packet_class::GetData(const uint8_t*& buffer, int32_t& length) const {
  buffer = buffer_.data();
  length = packetSize_;
  return true;
}

void Ttransport_packet_class::SetSlotPrefix(const uint8_t* prefix) {
  const int32_t n = SlotSyncOffset(packetSize_);
  if (prefix != nullptr && n > 0) std::memcpy(buffer_.data(), prefix, static_cast<size_t>(n));
}

bool Ttransport_packet_class::BuildPacket() {
  return Guarded("Ttransport_packet_class.BuildPacket", false, [&] {
    const Ttransport_packet_fields& f = fields_;
    std::fill_n(buffer_.data(), packetSize_, uint8_t{0xFF});
    TPacketWriter w(Packet(), 0);
    // transport_packet(): the 4 header bytes.
    w.Put(f.sync_byte);
    w.Put(Bit(f.transport_error_indicator) << 7 | Bit(f.payload_unit_start_indicator) << 6 |
          Bit(f.transport_priority) << 5 | ((f.PID >> 8) & 0x1Fu));
    w.Put(f.PID & 0xFFu);
    w.Put((f.transport_scrambling_control & 3u) << 6 | (f.adaptation_field_control & 3u) << 4 |
          (f.continuity_counter & 0x0Fu));
    if ((f.adaptation_field_control & 2) != 0) {
      // adaptation_field(): every optional part its flag announces, then stuffing.
      w.Put(f.adaptation_field_length);
      const int32_t end = w.Pos() + f.adaptation_field_length;
      if (f.adaptation_field_length != 0) {
        w.Put(Bit(f.discontinuity_indicator) << 7 | Bit(f.random_access_indicator) << 6 |
              Bit(f.elementary_stream_priority_indicator) << 5 | Bit(f.PCR_flag) << 4 | Bit(f.OPCR_flag) << 3 |
              Bit(f.splicing_point_flag) << 2 | Bit(f.transport_private_data_flag) << 1 |
              Bit(f.adaptation_field_extension_flag));
        if (f.PCR_flag) PutClockReference(w, f.program_clock_reference_base, f.program_clock_reference_extension);
        if (f.OPCR_flag)
          PutClockReference(w, f.original_program_clock_reference_base, f.original_program_clock_reference_extension);
        if (f.splicing_point_flag) w.Put(f.splice_countdown);
        if (f.transport_private_data_flag) {
          w.Put(f.transport_private_data_length);
          for (int i = 0; i < f.transport_private_data_length; ++i) w.Put(f.private_data_byte[static_cast<size_t>(i)]);
        }
        if (f.adaptation_field_extension_flag) {
          w.Put(f.adaptation_field_extension_length);
          const int32_t extensionEnd = w.Pos() + f.adaptation_field_extension_length;
          w.Put(Bit(f.ltw_flag) << 7 | Bit(f.piecewise_rate_flag) << 6 | Bit(f.seamless_splice_flag) << 5 | 0x1F);
          if (f.ltw_flag) {
            w.Put(Bit(f.ltw_valid_flag) << 7 | ((f.ltw_offset >> 8) & 0x7Fu));
            w.Put(f.ltw_offset & 0xFFu);
          }
          if (f.piecewise_rate_flag) {
            w.Put(0xC0);
            w.Put(f.piecewise_rate >> 8);
            w.Put(f.piecewise_rate & 0xFFu);
          }
          if (f.seamless_splice_flag) {
            w.Put((f.splice_type & 0x0Fu) << 4 | (f.DTS_next_AU_32_30 & 7u) << 1 | 1);
            w.Put(f.DTS_next_AU_29_15 >> 7);
            w.Put((f.DTS_next_AU_29_15 & 0x7Fu) << 1 | 1);
            w.Put(f.DTS_next_AU_14_0 >> 7);
            w.Put((f.DTS_next_AU_14_0 & 0x7Fu) << 1 | 1);
          }
          w.PadTo(extensionEnd);
        }
        w.PadTo(end);
      }
    }
    headerLength_ = w.Pos();
    if (!w.Fits()) {
      DebugOutput("zrk: Error in Ttransport_packet_class.BuildPacket - fields do not fit in a packet.");
      return false;
    }
    return true;
  });
}

bool Ttransport_packet_class::ParsePacket() {
  return Guarded("Ttransport_packet_class.ParsePacket", false, [&] {
    Ttransport_packet_fields& f = fields_;
    f = Ttransport_packet_fields{};
    TBitStream4 bits;
    bits.SetData(Packet(), kTSPacketSize);
    auto u8 = [&bits](int n) { return static_cast<uint8_t>(bits.GetBits(n)); };
    f.sync_byte = u8(8);
    f.transport_error_indicator = u8(1);
    f.payload_unit_start_indicator = u8(1);
    f.transport_priority = u8(1);
    f.PID = static_cast<uint16_t>(bits.GetBits(13));
    f.transport_scrambling_control = u8(2);
    f.adaptation_field_control = u8(2);
    f.continuity_counter = u8(4);
    headerLength_ = 4;
    if ((f.adaptation_field_control & 2) == 0) return true;

    f.adaptation_field_length = u8(8);
    const int32_t end = 5 + f.adaptation_field_length;
    headerLength_ = end;
    if (f.adaptation_field_length == 0) return true;
    f.discontinuity_indicator = u8(1);
    f.random_access_indicator = u8(1);
    f.elementary_stream_priority_indicator = u8(1);
    f.PCR_flag = u8(1);
    f.OPCR_flag = u8(1);
    f.splicing_point_flag = u8(1);
    f.transport_private_data_flag = u8(1);
    f.adaptation_field_extension_flag = u8(1);
    if (f.PCR_flag)
      ReadClockReference(bits, f.program_clock_reference_base, f.program_clock_reference_reserved,
                         f.program_clock_reference_extension);
    if (f.OPCR_flag)
      ReadClockReference(bits, f.original_program_clock_reference_base, f.original_program_clock_reference_reserved,
                         f.original_program_clock_reference_extension);
    if (f.splicing_point_flag) f.splice_countdown = u8(8);
    if (f.transport_private_data_flag) {
      f.transport_private_data_length = u8(8);
      ReadBytes(bits, f.private_data_byte, f.transport_private_data_length);
    }
    if (f.adaptation_field_extension_flag) {
      f.adaptation_field_extension_length = u8(8);
      const int32_t extensionEnd = bits.BytePos + f.adaptation_field_extension_length;
      f.ltw_flag = u8(1);
      f.piecewise_rate_flag = u8(1);
      f.seamless_splice_flag = u8(1);
      f.adaptation_field_extension_reserved = u8(5);
      if (f.ltw_flag) {
        f.ltw_valid_flag = u8(1);
        f.ltw_offset = static_cast<uint16_t>(bits.GetBits(15));
      }
      if (f.piecewise_rate_flag) {
        f.piecewise_rate_reserved = u8(2);
        f.piecewise_rate = static_cast<uint16_t>(bits.GetBits(22) & 0xFFFF);
      }
      if (f.seamless_splice_flag) {
        f.splice_type = u8(4);
        f.DTS_next_AU_32_30 = u8(3);
        f.marker_bit_1 = u8(1);
        f.DTS_next_AU_29_15 = static_cast<uint16_t>(bits.GetBits(15));
        f.marker_bit_2 = u8(1);
        f.DTS_next_AU_14_0 = static_cast<uint16_t>(bits.GetBits(15));
        f.marker_bit_3 = u8(1);
      }
      ReadBytes(bits, f.adaptation_field_extension_reserved_byte, extensionEnd - bits.BytePos);
    }
    ReadBytes(bits, f.stuffing_byte, end - bits.BytePos);
    return true;
  });
}

bool Ttransport_packet_class::Increment_continuity_counter() {
  return Guarded("Ttransport_packet_class.Increment_continuity_counter", false, [&] {
    Ttransport_packet_fields& f = fields_;
    f.continuity_counter = static_cast<uint8_t>((f.continuity_counter + 1) % 16);
    Packet()[3] = static_cast<uint8_t>((f.transport_scrambling_control & 3u) << 6 |
                                       (f.adaptation_field_control & 3u) << 4 | f.continuity_counter);
    return true;
  });
}

// ---- Tpsi_transport_packet_class ----------------------------------------------------

bool Tpsi_transport_packet_class::SetData(const uint8_t* buffer, int32_t length) {
  return Guarded("Tpsi_transport_packet_class.SetData", false, [&] {
    if (!Ttransport_packet_class::SetData(buffer, length) || HeaderLength() >= kTSPacketSize) return false;
    pointer_field = Packet()[HeaderLength()];
    return true;
  });
}

bool Tpsi_transport_packet_class::BuildPacket() {
  return Guarded("Tpsi_transport_packet_class.BuildPacket", false, [&] {
    if (!Ttransport_packet_class::BuildPacket() || HeaderLength() >= kTSPacketSize) return false;
    Packet()[HeaderLength()] = pointer_field;
    return true;
  });
}

// ---- Tprogram_association_section_class -----------------------------------------------

bool Tprogram_association_section_class::SetData(const uint8_t* buffer, int32_t length) {
  return Guarded("Tprogram_association_section_class.SetData", false, [&] {
    if (!Tpsi_transport_packet_class::SetData(buffer, length)) return false;
    Tprogram_association_section_fields& s = section_;
    const TByteView packet(Packet(), kTSPacketSize);
    const int32_t at = SectionStart();
    s.table_id = static_cast<uint8_t>(packet.U8(at));
    const uint32_t flags = packet.U8(at + 1);
    s.section_syntax_indicator = static_cast<uint8_t>(flags >> 7);
    s.zero_bit = static_cast<uint8_t>((flags >> 6) & 1);
    s.reserved1 = static_cast<uint8_t>((flags >> 4) & 3);
    s.section_length = static_cast<uint16_t>(packet.U16(at + 1) & 0x0FFF);
    s.transport_stream_id = static_cast<uint16_t>(packet.U16(at + 3));
    const uint32_t version = packet.U8(at + 5);
    s.reserved2 = static_cast<uint8_t>(version >> 6);
    s.version_number = static_cast<uint8_t>((version >> 1) & 0x1F);
    s.current_next_indicator = static_cast<uint8_t>(version & 1);
    s.section_number = static_cast<uint8_t>(packet.U8(at + 6));
    s.last_section_number = static_cast<uint8_t>(packet.U8(at + 7));
    // The entries the section announces, as far as the tables and the packet hold them.
    const int32_t announced = (s.section_length - 9) / 4;
    const int32_t inPacket = std::max((kTSPacketSize - (at + 8)) / 4, 0);
    s.N = std::clamp(announced, 0, std::min(Tprogram_association_section_fields::kMaxPrograms, inPacket));
    for (int32_t i = 0; i < s.N; ++i) {
      const int32_t entry = at + 8 + 4 * i;
      const auto k = static_cast<size_t>(i);
      s.program_number[k] = static_cast<uint16_t>(packet.U16(entry));
      s.reserved[k] = static_cast<uint8_t>(packet.U8(entry + 2) >> 5);
      s.PID[k] = static_cast<uint16_t>(packet.U16(entry + 2) & 0x1FFF);
    }
    s.CRC_32 = packet.U32(at + 8 + 4 * s.N);
    return true;
  });
}

bool Tprogram_association_section_class::BuildPacket() {
  return Guarded("Tprogram_association_section_class.BuildPacket", false, [&] {
    if (!Tpsi_transport_packet_class::BuildPacket()) return false;
    Tprogram_association_section_fields& s = section_;
    const int32_t at = SectionStart();
    // One section in one packet: 8 header bytes, the loop and the CRC_32.
    if (s.N < 0 || s.N > Tprogram_association_section_fields::kMaxPrograms || at + 12 + 4 * s.N > kTSPacketSize) {
      DebugOutput("zrk: Error in Tprogram_association_section_class.BuildPacket - section does not fit in a packet.");
      return false;
    }
    s.section_length = static_cast<uint16_t>(s.N * 4 + 9);
    TPacketWriter w(Packet(), at);
    w.Put(s.table_id);
    w.Put(Bit(s.section_syntax_indicator) << 7 | 0x30 | ((s.section_length >> 8) & 0x0Fu));
    w.Put(s.section_length & 0xFFu);
    w.Put(s.transport_stream_id >> 8);
    w.Put(s.transport_stream_id & 0xFFu);
    w.Put(0xC0 | (s.version_number & 0x1Fu) << 1 | Bit(s.current_next_indicator));
    w.Put(s.section_number);
    w.Put(s.last_section_number);
    for (int32_t i = 0; i < s.N; ++i) {
      const auto k = static_cast<size_t>(i);
      w.Put(s.program_number[k] >> 8);
      w.Put(s.program_number[k] & 0xFFu);
      w.Put(0xE0 | ((s.PID[k] >> 8) & 0x1Fu));
      w.Put(s.PID[k] & 0xFFu);
    }
    s.CRC_32 = CalcCRC32(Packet() + at, w.Pos() - at);
    for (int shift = 24; shift >= 0; shift -= 8) w.Put((s.CRC_32 >> shift) & 0xFFu);
    return true;
  });
}

}  // namespace tessaro
