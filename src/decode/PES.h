// PES packet header decoder (ISO/IEC 13818-1, PES packet syntax), with the
// program stream pack header and system header a PES extension may carry.
// The records are plain data: a packet-list row holds its own copy.
#pragma once

#include <array>
#include <cstdint>
#include <type_traits>

#include "core/TreeNode.h"

namespace tessaro {

// Entries a system header can hold inside a PES extension: pack_field_length
// is at most 255 bytes, of which 14 are the pack header and 12 the system
// header's fixed part, which leaves room for 76 three-byte entries.
inline constexpr int kMaxSystemHeaderStreams = 76;

// One stream entry of system_header(); its stream_id is not kept.
struct TSystemHeaderStream {
  uint8_t fixed_bits = 0;  // '11'
  uint8_t P_STD_buffer_bound_scale = 0;
  uint16_t P_STD_buffer_size_bound = 0;
  bool operator==(const TSystemHeaderStream&) const = default;
};

// system_header() of ISO/IEC 13818-1 (program stream system header).
struct TSystemHeader {
  uint32_t system_header_start_code = 0;
  uint32_t header_length = 0;
  uint32_t marker_bit_1 = 0;
  uint32_t rate_bound = 0;
  uint32_t marker_bit_2 = 0;
  uint32_t audio_bound = 0;
  uint32_t fixed_flag = 0;
  uint32_t CSPS_flag = 0;
  uint32_t system_audio_lock_flag = 0;
  uint32_t system_video_lock_flag = 0;
  uint32_t marker_bit_3 = 0;
  uint32_t video_bound = 0;
  uint32_t packet_rate_restriction_flag = 0;
  uint32_t reserved = 0;
  int32_t stream_count = 0;  // entries stored, at most kMaxSystemHeaderStreams
  std::array<TSystemHeaderStream, kMaxSystemHeaderStreams> streams{};
  bool operator==(const TSystemHeader&) const = default;
};

// pack_header() of ISO/IEC 13818-1 (program stream pack header).
struct TPackHeader {
  uint32_t pack_start_code = 0;
  uint32_t fixed_bits = 0;  // '01'
  uint32_t system_clock_reference_base_32_30 = 0;
  uint32_t marker_bit_1 = 0;
  uint32_t system_clock_reference_base_29_15 = 0;
  uint32_t marker_bit_2 = 0;
  uint32_t system_clock_reference_base_14_0 = 0;
  uint32_t marker_bit_3 = 0;
  uint32_t system_clock_reference_extension = 0;
  uint32_t marker_bit_4 = 0;
  uint32_t program_mux_rate = 0;
  uint32_t marker_bit_5 = 0;
  uint32_t marker_bit_6 = 0;
  uint32_t reserved = 0;
  uint32_t pack_stuffing_length = 0;
  std::array<uint8_t, 7> stuffing_byte{};
  // Whether the last successful ParsePackHeader found a system header.
  bool system_header_present = false;
  TSystemHeader system_header;
  bool operator==(const TPackHeader&) const = default;
};

// The parts of a PES header in the order ParsePES reads them. A header cut
// short by the end of the payload records the first part it could not read;
// that part and every later one keep whatever the record held before.
enum class TPESField : int32_t {
  packet_start_code_prefix,
  stream_id,
  PES_packet_length,
  flags_1,  // '10', scrambling .. original_or_copy
  flags_2,  // PTS_DTS_flags .. PES_extension_flag
  PES_header_data_length,
  PTS,
  DTS,
  ESCR,
  ES_rate,
  trick_mode,
  additional_copy_info,
  previous_PES_packet_CRC,
  extension_flags,
  PES_private_data,
  pack_field_length,
  pack_header,
  program_packet_sequence_counter,
  P_STD_buffer,
  PES_extension_field_length,
  reserved_PES_extension_field,
  none,  // the header was read to its end
};

struct TPESPacketHeader {
  // Fixed part.
  uint32_t packet_start_code_prefix = 0;
  uint32_t stream_id = 0;
  uint32_t PES_packet_length = 0;
  uint32_t fixed_bits = 0;  // '10'
  uint32_t PES_scrambling_control = 0;
  uint32_t PES_priority = 0;
  uint32_t data_alignment_indicator = 0;
  uint32_t copyright = 0;
  uint32_t original_or_copy = 0;
  uint32_t PTS_DTS_flags = 0;
  uint32_t ESCR_flag = 0;
  uint32_t ES_rate_flag = 0;
  uint32_t DSM_trick_mode_flag = 0;
  uint32_t additional_copy_info_flag = 0;
  uint32_t PES_CRC_flag = 0;
  uint32_t PES_extension_flag = 0;
  uint32_t PES_header_data_length = 0;
  // PTS.
  uint32_t PTS_prefix = 0;
  uint32_t PTS_32_30 = 0;
  uint32_t PTS_marker_bit_1 = 0;
  uint32_t PTS_29_15 = 0;
  uint32_t PTS_marker_bit_2 = 0;
  uint32_t PTS_14_0 = 0;
  uint32_t PTS_marker_bit_3 = 0;
  // DTS.
  uint32_t DTS_prefix = 0;
  uint32_t DTS_32_30 = 0;
  uint32_t DTS_marker_bit_1 = 0;
  uint32_t DTS_29_15 = 0;
  uint32_t DTS_marker_bit_2 = 0;
  uint32_t DTS_14_0 = 0;
  uint32_t DTS_marker_bit_3 = 0;
  // ESCR.
  uint32_t ESCR_reserved = 0;
  uint32_t ESCR_base_32_30 = 0;
  uint32_t ESCR_marker_bit_1 = 0;
  uint32_t ESCR_base_29_15 = 0;
  uint32_t ESCR_marker_bit_2 = 0;
  uint32_t ESCR_base_14_0 = 0;
  uint32_t ESCR_marker_bit_3 = 0;
  uint32_t ESCR_extension = 0;
  uint32_t ESCR_marker_bit_4 = 0;
  // ES rate.
  uint32_t ES_rate_marker_bit_1 = 0;
  uint32_t ES_rate = 0;
  uint32_t ES_rate_marker_bit_2 = 0;
  // DSM trick mode.
  uint32_t trick_mode_control = 0;
  uint32_t field_id = 0;
  uint32_t intra_slice_refresh = 0;
  uint32_t frequency_truncation = 0;
  uint32_t rep_cntrl = 0;
  uint32_t trick_mode_reserved_3 = 0;  // freeze frame
  uint32_t trick_mode_reserved_5 = 0;  // reserved trick modes
  // Additional copy info.
  uint32_t copy_info_marker_bit = 0;
  uint32_t additional_copy_info = 0;
  // CRC.
  uint32_t previous_PES_packet_CRC = 0;
  // Extension.
  uint32_t PES_private_data_flag = 0;
  uint32_t pack_header_field_flag = 0;
  uint32_t program_packet_sequence_counter_flag = 0;
  uint32_t P_STD_buffer_flag = 0;
  uint32_t extension_reserved = 0;
  uint32_t PES_extension_flag_2 = 0;
  std::array<uint8_t, 16> PES_private_data{};
  uint32_t pack_field_length = 0;
  TPackHeader pack_header;
  uint32_t sequence_counter_marker_bit_1 = 0;
  uint32_t program_packet_sequence_counter = 0;
  uint32_t sequence_counter_marker_bit_2 = 0;
  uint32_t MPEG1_MPEG2_identifier = 0;
  uint32_t original_stuff_length = 0;
  uint32_t P_STD_fixed_bits = 0;  // '01'
  uint32_t P_STD_buffer_scale = 0;
  uint32_t P_STD_buffer_size = 0;
  uint32_t extension_2_marker_bit = 0;
  uint32_t PES_extension_field_length = 0;
  std::array<uint8_t, 127> reserved_PES_extension_field{};

  // Where the last ParsePES ran out of payload (none: it did not).
  TPESField truncated_at = TPESField::none;
  bool Reached(TPESField field) const { return field < truncated_at; }

  bool operator==(const TPESPacketHeader&) const = default;
};

static_assert(std::is_trivially_copyable_v<TPESPacketHeader>);

// False for the stream_ids whose PES packets have no optional header
// (program_stream_map, padding_stream, private_stream_2, ECM, EMM,
// program_stream_directory, DSMCC_stream, ITU-T Rec. H.222.1 type E).
bool PESHasOptionalHeader(uint32_t streamId);

// Reads the PES header at the start of payload into record, reading nothing
// past payloadLength bytes. Only fields that the header's flags make present
// and that lie wholly inside the payload are written. A length below 1 leaves
// the record untouched. True when the header was read to its end.
bool ParsePES(const uint8_t* payload, int payloadLength, TPESPacketHeader& record);

// pack_header() of length bytes, then a system header when one follows the
// stuffing. False for fewer than 14 bytes, a fixed or marker bit out of
// place, or stuffing that runs past length.
bool ParsePackHeader(const uint8_t* bytes, int length, TPackHeader& record);

// system_header() of length bytes; fewer than 12 bytes read nothing (false).
bool ParseSystemHeader(const uint8_t* bytes, int length, TSystemHeader& record);

// PTS / 90000 when the header carried a PTS (PTS_DTS_flags 2 or 3).
bool GetPTSSeconds(const TPESPacketHeader& record, double& seconds);
// DTS / 90000 when the header carried a DTS (PTS_DTS_flags 3).
bool GetDTSSeconds(const TPESPacketHeader& record, double& seconds);

// Adds the header's fields as children of parent (the "PES" node).
bool UpdatePESTreeView(TTreeNode& parent, const TPESPacketHeader& record);

}  // namespace tessaro
