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

uint32_t Bit(int32_t flag) { return static_cast<uint32_t>(flag) & 1u; }
uint32_t Bits(int64_t value, int shift, uint32_t mask) { return static_cast<uint32_t>(value >> shift) & mask; }

// program_clock_reference_base 33, reserved 6 (written as 1s), extension 9.
void PutClockReference(TPacketWriter& w, int64_t base, int32_t extension) {
  w.Put(static_cast<uint32_t>((base >> 25) & 0xFF));
  w.Put(static_cast<uint32_t>((base >> 17) & 0xFF));
  w.Put(static_cast<uint32_t>((base >> 9) & 0xFF));
  w.Put(static_cast<uint32_t>((base >> 1) & 0xFF));
  w.Put(static_cast<uint32_t>((base & 1) << 7) | 0x7E | ((extension >> 8) & 1u));
  w.Put(extension & 0xFFu);
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
    const TTSHeader& f = fields_;
    std::fill_n(buffer_.data(), packetSize_, uint8_t{0xFF});
    TPacketWriter w(Packet(), 0);
    // transport_packet(): the 4 header bytes.
    w.Put(Bits(f.sync_byte, 0, 0xFF));
    w.Put(Bit(f.transport_error_indicator) << 7 | Bit(f.payload_unit_start_indicator) << 6 |
          Bit(f.transport_priority) << 5 | Bits(f.PID, 8, 0x1F));
    w.Put(Bits(f.PID, 0, 0xFF));
    w.Put(Bits(f.transport_scrambling_control, 0, 3) << 6 | Bits(f.adaptation_field_control, 0, 3) << 4 |
          Bits(f.continuity_counter, 0, 0x0F));
    const bool privateFits = f.transport_private_data_length >= 0 &&
                             f.transport_private_data_length <= static_cast<int32_t>(f.private_data.size());
    if ((f.adaptation_field_control & 2) != 0) {
      // adaptation_field(): every optional part its flag announces, then stuffing.
      const int32_t length = f.adaptation_field_length & 0xFF;
      w.Put(static_cast<uint32_t>(length));
      const int32_t end = w.Pos() + length;
      if (length != 0) {
        w.Put(Bit(f.discontinuity_indicator) << 7 | Bit(f.random_access_indicator) << 6 |
              Bit(f.elementary_stream_priority_indicator) << 5 | Bit(f.PCR_flag) << 4 | Bit(f.OPCR_flag) << 3 |
              Bit(f.splicing_point_flag) << 2 | Bit(f.transport_private_data_flag) << 1 |
              Bit(f.adaptation_field_extension_flag));
        if (f.PCR_flag) PutClockReference(w, f.program_clock_reference_base, f.program_clock_reference_extension);
        if (f.OPCR_flag)
          PutClockReference(w, f.original_program_clock_reference_base, f.original_program_clock_reference_extension);
        if (f.splicing_point_flag) w.Put(Bits(f.splice_countdown, 0, 0xFF));
        if (f.transport_private_data_flag && privateFits) {
          w.Put(static_cast<uint32_t>(f.transport_private_data_length));
          for (int i = 0; i < f.transport_private_data_length; ++i) w.Put(f.private_data[static_cast<size_t>(i)]);
        }
        if (f.adaptation_field_extension_flag) {
          w.Put(Bits(f.adaptation_field_extension_length, 0, 0xFF));
          const int32_t extensionEnd = w.Pos() + (f.adaptation_field_extension_length & 0xFF);
          w.Put(Bit(f.ltw_flag) << 7 | Bit(f.piecewise_rate_flag) << 6 | Bit(f.seamless_splice_flag) << 5 | 0x1F);
          if (f.ltw_flag) {
            w.Put(Bit(f.ltw_valid_flag) << 7 | Bits(f.ltw_offset, 8, 0x7F));
            w.Put(Bits(f.ltw_offset, 0, 0xFF));
          }
          if (f.piecewise_rate_flag) {
            w.Put(0xC0 | Bits(f.piecewise_rate, 16, 0x3F));
            w.Put(Bits(f.piecewise_rate, 8, 0xFF));
            w.Put(Bits(f.piecewise_rate, 0, 0xFF));
          }
          if (f.seamless_splice_flag) {
            // splice_type, DTS_next_AU[32..30], [29..15] and [14..0], each part closed by a marker bit.
            w.Put(Bits(f.splice_type, 0, 0x0F) << 4 | Bits(f.DTS_next_AU, 30, 7) << 1 | 1);
            w.Put(Bits(f.DTS_next_AU, 22, 0xFF));
            w.Put(Bits(f.DTS_next_AU, 15, 0x7F) << 1 | 1);
            w.Put(Bits(f.DTS_next_AU, 7, 0xFF));
            w.Put(Bits(f.DTS_next_AU, 0, 0x7F) << 1 | 1);
          }
          w.PadTo(extensionEnd);
        }
        w.PadTo(end);
      }
    }
    headerLength_ = w.Pos();
    if (!w.Fits() || !privateFits) {
      DebugOutput("zrk: Error in Ttransport_packet_class.BuildPacket - fields do not fit in a packet.");
      return false;
    }
    return true;
  });
}

// The one header parser reads the fields; the payload starts after the
// adaptation field its length announces.
bool Ttransport_packet_class::ParsePacket() {
  return Guarded("Ttransport_packet_class.ParsePacket", false, [&] {
    TMPEGTSBasePacketParser parser;
    if (parser.ParseData(Packet(), kTSPacketSize) != S_OK) return false;
    fields_ = parser.Header;
    headerLength_ = fields_.HasAdaptationField() ? 5 + fields_.adaptation_field_length : 4;
    return true;
  });
}

bool Ttransport_packet_class::Increment_continuity_counter() {
  return Guarded("Ttransport_packet_class.Increment_continuity_counter", false, [&] {
    TTSHeader& f = fields_;
    f.continuity_counter = (f.continuity_counter + 1) & 0x0F;
    Packet()[3] =
        static_cast<uint8_t>(Bits(f.transport_scrambling_control, 0, 3) << 6 |
                             Bits(f.adaptation_field_control, 0, 3) << 4 | Bits(f.continuity_counter, 0, 0x0F));
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
