// TMPEGTSBasePacketParser: the one transport packet header parser
// (ISO/IEC 13818-1, transport_packet and adaptation_field syntax).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "core/RecordFields.h"

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
  // Where the packet ended inside the adaptation field: the part (an index of
  // TAdaptationPart) and the number of its fields the packet held; -1 when
  // every announced field was held.
  int32_t cut_part = -1;
  int32_t cut_fields = 0;

  bool HasAdaptationField() const { return (adaptation_field_control & 2) != 0; }
  bool HasPayloadFlag() const { return (adaptation_field_control & 1) != 0; }
  bool HasPCR() const { return HasAdaptationField() && PCR_flag == 1; }
  bool operator==(const TTSHeader&) const = default;
};

// The fixed fields of transport_packet() and of each part of
// adaptation_field(), one list per part. The parser reads them and the decode
// tree shows them; ForEachAdaptationPart walks the parts for both.
namespace packet_fields {
using namespace fields;
using H = TTSHeader;
// clang-format off
inline constexpr TRecordField<H> kHeader[] = {
    Hex<&H::sync_byte>("sync_byte", 8),
    Dec<&H::transport_error_indicator>("transport_error_indicator", 1),
    Dec<&H::payload_unit_start_indicator>("payload_unit_start_indicator", 1),
    Dec<&H::transport_priority>("transport_priority", 1),
    Hex<&H::PID>("PID", 13),
    Dec<&H::transport_scrambling_control>("transport_scrambling_control", 2),
    Dec<&H::adaptation_field_control>("adaptation_field_control", 2),
    Dec<&H::continuity_counter>("continuity_counter", 4),
};
inline constexpr TRecordField<H> kLength[] = {
    Dec<&H::adaptation_field_length>("adaptation_field_length", 8),
};
inline constexpr TRecordField<H> kFlags[] = {
    Dec<&H::discontinuity_indicator>("discontinuity_indicator", 1),
    Dec<&H::random_access_indicator>("random_access_indicator", 1),
    Dec<&H::elementary_stream_priority_indicator>("elementary_stream_priority_indicator", 1),
    Dec<&H::PCR_flag>("PCR_flag", 1),
    Dec<&H::OPCR_flag>("OPCR_flag", 1),
    Dec<&H::splicing_point_flag>("splicing_point_flag", 1),
    Dec<&H::transport_private_data_flag>("transport_private_data_flag", 1),
    Dec<&H::adaptation_field_extension_flag>("adaption_field_extension_flag", 1),
};
inline constexpr TRecordField<H> kPCR[] = {
    Dec<&H::program_clock_reference_base>("program_clock_reference_base", 33),
    NoValue<&H::program_clock_reference_reserved>("reserved", 6),
    Dec<&H::program_clock_reference_extension>("program_clock_reference_extension", 9, " (9 bit)"),
};
inline constexpr TRecordField<H> kOPCR[] = {
    Dec<&H::original_program_clock_reference_base>("original_program_clock_reference_base", 33),
    NoValue<&H::original_program_clock_reference_reserved>("reserved", 6),
    Dec<&H::original_program_clock_reference_extension>("original_program_clock_reference_extension", 9),
};
inline constexpr TRecordField<H> kSpliceCountdown[] = {
    Dec<&H::splice_countdown>("splice_countdown", 8),
};
inline constexpr TRecordField<H> kPrivateDataLength[] = {
    Dec<&H::transport_private_data_length>("transport_private_data_length", 8),
};
inline constexpr TRecordField<H> kExtension[] = {
    Dec<&H::adaptation_field_extension_length>("adaption_field_extension_length", 8),
    Dec<&H::ltw_flag>("ltw_flag", 1),
    Dec<&H::piecewise_rate_flag>("piecewise_rate_flag", 1),
    Dec<&H::seamless_splice_flag>("seamless_splice_flag", 1),
    NoValue<&H::adaptation_field_extension_reserved>("reserved", 5),
};
inline constexpr TRecordField<H> kLTW[] = {
    Dec<&H::ltw_valid_flag>("ltw_valid_flag", 1),
    Dec<&H::ltw_offset>("ltw_offset", 15),
};
inline constexpr TRecordField<H> kPiecewiseRate[] = {
    NoValue<&H::piecewise_rate_reserved>("reserved", 2),
    Dec<&H::piecewise_rate>("piecewise_rate", 22),
};
// splice_type; DTS_next_AU follows in three parts split by marker bits,
// which a list of whole fields cannot express (see the parser and the tree).
inline constexpr TRecordField<H> kSeamlessSplice[] = {
    Dec<&H::splice_type>("splice_type", 4),
};
// clang-format on
}  // namespace packet_fields

enum class TAdaptationPart : int32_t {
  Length,
  Flags,
  PCR,
  OPCR,
  SpliceCountdown,
  PrivateDataLength,
  Extension,
  LTW,
  PiecewiseRate,
  SeamlessSplice
};

// Calls visit(part, fields) for the parts of h's adaptation field in stream
// order, as its flags announce them. The flags are looked at after the part
// that holds them was visited, so a parser may fill them in as it goes. The
// flags part is visited even when adaptation_field_length is 0 (the tree
// shows the flags then as 0). visit returns false to stop.
template <class Visit>
void ForEachAdaptationPart(const TTSHeader& h, Visit&& visit) {
  using P = TAdaptationPart;
  namespace f = packet_fields;
  using Fields = std::span<const TRecordField<TTSHeader>>;
  if (!visit(P::Length, Fields(f::kLength)) || !visit(P::Flags, Fields(f::kFlags))) return;
  if (h.adaptation_field_length == 0) return;
  if (h.PCR_flag && !visit(P::PCR, Fields(f::kPCR))) return;
  if (h.OPCR_flag && !visit(P::OPCR, Fields(f::kOPCR))) return;
  if (h.splicing_point_flag && !visit(P::SpliceCountdown, Fields(f::kSpliceCountdown))) return;
  if (h.transport_private_data_flag && !visit(P::PrivateDataLength, Fields(f::kPrivateDataLength))) return;
  if (!h.adaptation_field_extension_flag || !visit(P::Extension, Fields(f::kExtension))) return;
  if (h.ltw_flag && !visit(P::LTW, Fields(f::kLTW))) return;
  if (h.piecewise_rate_flag && !visit(P::PiecewiseRate, Fields(f::kPiecewiseRate))) return;
  if (h.seamless_splice_flag) visit(P::SeamlessSplice, Fields(f::kSeamlessSplice));
}

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
