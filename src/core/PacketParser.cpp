#include "core/PacketParser.h"

#include <algorithm>
#include <cstring>

#include "core/BitStream.h"
#include "core/Diagnostics.h"

namespace tessaro {
namespace {

// The adaptation field's optional parts, read through a bit reader over the
// packet. A part is read only when all of its bytes lie inside the packet;
// otherwise its fields keep their previous values and the reader moves on.
class TAdaptationReader {
 public:
  TAdaptationReader(TBitStream4& bits, TTSHeader& h) : bits_(bits), h_(h) {}

  bool Fits(int bytes) const { return bits_.BytesRemaining() >= bytes; }
  void Skip(int bytes) { bits_.SkipBytes(std::min(bytes, bits_.BytesRemaining())); }

  // program_clock_reference_base 33, reserved 6, program_clock_reference_extension 9.
  void ClockReference(int64_t& base, int32_t& reserved, int32_t& extension) {
    if (!Fits(6)) return Skip(6);
    bits_.Read(base, 33);
    bits_.Read(reserved, 6);
    bits_.Read(extension, 9);
  }

  void Extension() {
    TTSHeader& h = h_;
    if (!Fits(2)) return;
    bits_.Read(h.adaptation_field_extension_length, 8);
    bits_.Read(h.ltw_flag, 1);
    bits_.Read(h.piecewise_rate_flag, 1);
    bits_.Read(h.seamless_splice_flag, 1);
    bits_.Read(h.adaptation_field_extension_reserved, 5);
    if (h.ltw_flag) {
      if (Fits(2)) {
        bits_.Read(h.ltw_valid_flag, 1);
        bits_.Read(h.ltw_offset, 15);
      } else {
        Skip(2);
      }
    }
    if (h.piecewise_rate_flag) {
      if (Fits(3)) {
        bits_.Read(h.piecewise_rate_reserved, 2);
        bits_.Read(h.piecewise_rate, 22);
      } else {
        Skip(3);
      }
    }
    if (h.seamless_splice_flag && Fits(5)) {
      // splice_type 4, DTS_next_AU[32..30] 3, marker, [29..15] 15, marker, [14..0] 15, marker.
      bits_.Read(h.splice_type, 4);
      int64_t dts = 0;
      int32_t markers = 0;
      dts = bits_.ReadPart(h.DTS_next_AU, 3);
      markers = static_cast<int32_t>(bits_.ReadPart(h.DTS_next_AU_marker_bits, 1));
      dts = (dts << 15) | bits_.ReadPart(h.DTS_next_AU, 15);
      markers = (markers << 1) | static_cast<int32_t>(bits_.ReadPart(h.DTS_next_AU_marker_bits, 1));
      dts = (dts << 15) | bits_.ReadPart(h.DTS_next_AU, 15);
      markers = (markers << 1) | static_cast<int32_t>(bits_.ReadPart(h.DTS_next_AU_marker_bits, 1));
      h.DTS_next_AU = dts;
      h.DTS_next_AU_marker_bits = markers;
    }
  }

 private:
  TBitStream4& bits_;
  TTSHeader& h_;
};

// Forgets the parts of a field recorded for an earlier packet, so that the
// parts of this one are not added to them.
void ForgetParts(TTSHeader& h) {
  if (TFieldPositions* positions = ActivePositions()) {
    positions->Assign(&h.DTS_next_AU, {});
    positions->Assign(&h.DTS_next_AU_marker_bits, {});
  }
}

}  // namespace

uint32_t TMPEGTSBasePacketParser::ParseData(const uint8_t* packet, int32_t /*length*/) {
  return Guarded("TMPEGTSBasePacketParser.ParseData", E_FAIL, [&]() -> uint32_t {
    Packet = packet;
    if (packet == nullptr || packet[0] != 0x47) {
      DebugOutput("zrk: Invalid TS packed.");
      return E_FAIL;
    }
    TTSHeader& h = Header;
    TBitStream4 bits;
    bits.SetData(packet, kTSPacketSize);
    // transport_packet(): the 4 header bytes.
    bits.Read(h.sync_byte, 8);
    bits.Read(h.transport_error_indicator, 1);
    bits.Read(h.payload_unit_start_indicator, 1);
    bits.Read(h.transport_priority, 1);
    bits.Read(h.PID, 13);
    bits.Read(h.transport_scrambling_control, 2);
    bits.Read(h.adaptation_field_control, 2);
    bits.Read(h.continuity_counter, 4);

    h.discontinuity_indicator = h.random_access_indicator = h.elementary_stream_priority_indicator = 0;
    h.PCR_flag = h.OPCR_flag = h.splicing_point_flag = 0;
    h.transport_private_data_flag = h.adaptation_field_extension_flag = 0;

    int pos = 4;
    if (h.HasAdaptationField()) {
      // adaptation_field(): its length, then the flags byte and the parts the
      // flags announce, whatever the length says.
      bits.Read(h.adaptation_field_length, 8);
      pos = 5 + h.adaptation_field_length;
      if (h.adaptation_field_length > 0) {
        bits.Read(h.discontinuity_indicator, 1);
        bits.Read(h.random_access_indicator, 1);
        bits.Read(h.elementary_stream_priority_indicator, 1);
        bits.Read(h.PCR_flag, 1);
        bits.Read(h.OPCR_flag, 1);
        bits.Read(h.splicing_point_flag, 1);
        bits.Read(h.transport_private_data_flag, 1);
        bits.Read(h.adaptation_field_extension_flag, 1);
        TAdaptationReader optional(bits, h);
        if (h.PCR_flag)
          optional.ClockReference(h.program_clock_reference_base, h.program_clock_reference_reserved,
                                  h.program_clock_reference_extension);
        if (h.OPCR_flag)
          optional.ClockReference(h.original_program_clock_reference_base, h.original_program_clock_reference_reserved,
                                  h.original_program_clock_reference_extension);
        if (h.splicing_point_flag) {
          if (optional.Fits(1)) {
            bits.Read(h.splice_countdown, 8);
          } else {
            optional.Skip(1);
          }
        }
        if (h.transport_private_data_flag) {
          if (optional.Fits(1)) {
            bits.Read(h.transport_private_data_length, 8);
            const int stored = std::min({h.transport_private_data_length, 180, bits.BytesRemaining()});
            if (stored > 0) std::memcpy(h.private_data.data(), bits.GetCurrentPointer(), static_cast<size_t>(stored));
            optional.Skip(h.transport_private_data_length);
          } else {
            optional.Skip(1);
          }
        }
        if (h.adaptation_field_extension_flag) {
          ForgetParts(h);
          optional.Extension();
        }
      }
    }
    if (h.HasPayloadFlag()) {
      PayloadLength = kTSPacketSize - pos;
      Payload = PayloadLength > 0 ? packet + pos : nullptr;
    } else {
      Payload = nullptr;
      PayloadLength = 0;
    }
    return S_OK;
  });
}

}  // namespace tessaro
