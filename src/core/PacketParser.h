// TMPEGTSBasePacketParser: the one transport packet header parser
// (ISO/IEC 13818-1, transport_packet and adaptation_field syntax).
#pragma once

#include <array>
#include <cstdint>

namespace tessaro {

inline constexpr int kTSPacketSize = 188;

// The header block a list row copies and the decode tree shows.
struct TTSHeader {
  int32_t sync_byte = 0;
  int32_t transport_error_indicator = 0;
  int32_t payload_unit_start_indicator = 0;
  int32_t transport_priority = 0;
  int32_t PID = 0;
  int32_t transport_scrambling_control = 0;
  int32_t adaptation_field_control = 0;
  int32_t continuity_counter = 0;
  int32_t adaptation_field_length = 0;
  int32_t discontinuity_indicator = 0;
  int32_t random_access_indicator = 0;
  int32_t elementary_stream_priority_indicator = 0;
  int32_t PCR_flag = 0;
  int32_t OPCR_flag = 0;
  int32_t splicing_point_flag = 0;
  int32_t transport_private_data_flag = 0;
  int32_t adaptation_field_extension_flag = 0;
  int64_t program_clock_reference_base = 0;
  int32_t program_clock_reference_reserved = 0;  // 6 bits
  int32_t program_clock_reference_extension = 0;
  int64_t original_program_clock_reference_base = 0;
  int32_t original_program_clock_reference_reserved = 0;  // 6 bits
  int32_t original_program_clock_reference_extension = 0;
  int32_t splice_countdown = 0;
  int32_t transport_private_data_length = 0;
  std::array<uint8_t, 180> private_data{};
  int32_t adaptation_field_extension_length = 0;
  int32_t ltw_flag = 0;
  int32_t piecewise_rate_flag = 0;
  int32_t seamless_splice_flag = 0;
  int32_t adaptation_field_extension_reserved = 0;  // 5 bits
  int32_t ltw_valid_flag = 0;
  int32_t ltw_offset = 0;
  int32_t piecewise_rate_reserved = 0;  // 2 bits
  int32_t piecewise_rate = 0;
  int32_t splice_type = 0;
  int64_t DTS_next_AU = 0;
  int32_t DTS_next_AU_marker_bits = 0;  // the three marker bits between its parts

  bool HasAdaptationField() const { return (adaptation_field_control & 2) != 0; }
  bool HasPayloadFlag() const { return (adaptation_field_control & 1) != 0; }
  bool HasPCR() const { return HasAdaptationField() && PCR_flag == 1; }
};

class TMPEGTSBasePacketParser {
 public:
  virtual ~TMPEGTSBasePacketParser() = default;

  // Parses the first 188 bytes at packet. S_OK, or E_FAIL when byte 0 is not
  // 0x47 (the fields then keep the previous packet's values). length is not
  // consulted: a packet is always 188 bytes.
  virtual uint32_t ParseData(const uint8_t* packet, int32_t length);

  const uint8_t* Packet = nullptr;
  TTSHeader Header;
  // First payload byte, or null when PayloadLength is below 1.
  const uint8_t* Payload = nullptr;
  // 188 minus the payload's offset; 0 or below means no payload.
  int32_t PayloadLength = 0;
};

}  // namespace tessaro
