#include "decode/PES.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "core/BitStream.h"
#include "core/Diagnostics.h"
#include "core/TextHelpers.h"

namespace tessaro {

bool PESHasOptionalHeader(uint32_t streamId) {
  switch (streamId) {
    case 0xBC:  // program_stream_map
    case 0xBE:  // padding_stream
    case 0xBF:  // private_stream_2
    case 0xF0:  // ECM
    case 0xF1:  // EMM
    case 0xFF:  // program_stream_directory
    case 0xF2:  // DSMCC_stream
    case 0xF8:  // ITU-T Rec. H.222.1 type E
      return false;
    default:
      return true;
  }
}

namespace {

constexpr uint32_t kSystemHeaderStartCode = 0x000001BB;

// Reads the payload part by part; a part is read only when all of its bytes
// are there, otherwise the record notes it as the point where the header was cut.
class TPESReader {
 public:
  TPESReader(const uint8_t* data, int length, TPESPacketHeader& record) : record_(record) {
    bits.SetData(data, length);
  }

  bool Fits(TPESField field, int bytes) {
    if (bits.BytesRemaining() >= bytes) return true;
    record_.truncated_at = field;
    return false;
  }

  TBitStream4 bits;

 private:
  TPESPacketHeader& record_;
};

// PTS or DTS: '0010'/'0011'/'0001', [32..30], marker, [29..15], marker, [14..0], marker.
void ReadTimeStamp(TBitStream4& bits, uint32_t& prefix, uint32_t& part32_30, uint32_t& marker1, uint32_t& part29_15,
                   uint32_t& marker2, uint32_t& part14_0, uint32_t& marker3) {
  bits.Read(prefix, 4);
  bits.Read(part32_30, 3);
  bits.Read(marker1, 1);
  bits.Read(part29_15, 15);
  bits.Read(marker2, 1);
  bits.Read(part14_0, 15);
  bits.Read(marker3, 1);
}

void ReadTrickMode(TBitStream4& bits, TPESPacketHeader& r) {
  bits.Read(r.trick_mode_control, 3);
  switch (r.trick_mode_control) {
    case 0:  // fast forward
    case 3:  // fast reverse
      bits.Read(r.field_id, 2);
      bits.Read(r.intra_slice_refresh, 1);
      bits.Read(r.frequency_truncation, 2);
      break;
    case 1:  // slow motion
    case 4:  // slow reverse
      bits.Read(r.rep_cntrl, 5);
      break;
    case 2:  // freeze frame
      bits.Read(r.field_id, 2);
      bits.Read(r.trick_mode_reserved_3, 3);
      break;
    default:
      bits.Read(r.trick_mode_reserved_5, 5);
      break;
  }
}

// Copies count bytes into target; the positions of the run are recorded for field.
template <class Field>
void CopyBytes(TBitStream4& bits, const Field& field, uint8_t* target, uint32_t count) {
  NoteField(&field, bits.Data, bits.BitOffset(), int64_t{count} * 8);
  for (uint32_t i = 0; i < count; ++i) target[i] = static_cast<uint8_t>(bits.GetBits8());
}

// The PES_extension_flag block of the PES packet syntax.
bool ReadExtension(TPESReader& in, TPESPacketHeader& r) {
  TBitStream4& bits = in.bits;
  if (!in.Fits(TPESField::extension_flags, 1)) return false;
  bits.Read(r.PES_private_data_flag, 1);
  bits.Read(r.pack_header_field_flag, 1);
  bits.Read(r.program_packet_sequence_counter_flag, 1);
  bits.Read(r.P_STD_buffer_flag, 1);
  bits.Read(r.extension_reserved, 3);
  bits.Read(r.PES_extension_flag_2, 1);

  if (r.PES_private_data_flag == 1) {
    if (!in.Fits(TPESField::PES_private_data, 16)) return false;
    CopyBytes(bits, r.PES_private_data, r.PES_private_data.data(), 16);
  }
  if (r.pack_header_field_flag == 1) {
    if (!in.Fits(TPESField::pack_field_length, 1)) return false;
    bits.Read(r.pack_field_length, 8);
    const int length = static_cast<int>(r.pack_field_length);
    if (!in.Fits(TPESField::pack_header, length)) return false;
    // Its result only says whether the bytes form a pack header; the field's
    // length alone decides where the PES header goes on.
    NoteField(&r.pack_header, bits.Data, bits.BitOffset(), int64_t{length} * 8);
    ParsePackHeader(bits.GetCurrentPointer(), length, r.pack_header);
    bits.SkipBytes(length);
  }
  if (r.program_packet_sequence_counter_flag == 1) {
    if (!in.Fits(TPESField::program_packet_sequence_counter, 2)) return false;
    bits.Read(r.sequence_counter_marker_bit_1, 1);
    bits.Read(r.program_packet_sequence_counter, 7);
    bits.Read(r.sequence_counter_marker_bit_2, 1);
    bits.Read(r.MPEG1_MPEG2_identifier, 1);
    bits.Read(r.original_stuff_length, 6);
  }
  if (r.P_STD_buffer_flag == 1) {
    if (!in.Fits(TPESField::P_STD_buffer, 2)) return false;
    bits.Read(r.P_STD_fixed_bits, 2);
    bits.Read(r.P_STD_buffer_scale, 1);
    bits.Read(r.P_STD_buffer_size, 13);
  }
  if (r.PES_extension_flag_2 == 1) {
    if (!in.Fits(TPESField::PES_extension_field_length, 1)) return false;
    bits.Read(r.extension_2_marker_bit, 1);
    bits.Read(r.PES_extension_field_length, 7);
    const int length = static_cast<int>(r.PES_extension_field_length);
    if (!in.Fits(TPESField::reserved_PES_extension_field, length)) return false;
    CopyBytes(bits, r.reserved_PES_extension_field, r.reserved_PES_extension_field.data(),
              r.PES_extension_field_length);
  }
  return true;
}

bool ReadPES(const uint8_t* payload, int payloadLength, TPESPacketHeader& r) {
  if (payload == nullptr || payloadLength < 1) return false;
  TPESReader in(payload, payloadLength, r);
  TBitStream4& bits = in.bits;
  r.truncated_at = TPESField::none;

  if (!in.Fits(TPESField::packet_start_code_prefix, 3)) return false;
  bits.Read(r.packet_start_code_prefix, 24);
  if (!in.Fits(TPESField::stream_id, 1)) return false;
  bits.Read(r.stream_id, 8);
  if (!in.Fits(TPESField::PES_packet_length, 2)) return false;
  bits.Read(r.PES_packet_length, 16);
  if (!PESHasOptionalHeader(r.stream_id)) return true;

  if (!in.Fits(TPESField::flags_1, 1)) return false;
  bits.Read(r.fixed_bits, 2);
  bits.Read(r.PES_scrambling_control, 2);
  bits.Read(r.PES_priority, 1);
  bits.Read(r.data_alignment_indicator, 1);
  bits.Read(r.copyright, 1);
  bits.Read(r.original_or_copy, 1);
  if (!in.Fits(TPESField::flags_2, 1)) return false;
  bits.Read(r.PTS_DTS_flags, 2);
  bits.Read(r.ESCR_flag, 1);
  bits.Read(r.ES_rate_flag, 1);
  bits.Read(r.DSM_trick_mode_flag, 1);
  bits.Read(r.additional_copy_info_flag, 1);
  bits.Read(r.PES_CRC_flag, 1);
  bits.Read(r.PES_extension_flag, 1);
  if (!in.Fits(TPESField::PES_header_data_length, 1)) return false;
  bits.Read(r.PES_header_data_length, 8);

  // The optional fields follow their flags; PES_header_data_length is not
  // used to find them.
  if (r.PTS_DTS_flags == 2 || r.PTS_DTS_flags == 3) {
    if (!in.Fits(TPESField::PTS, 5)) return false;
    ReadTimeStamp(bits, r.PTS_prefix, r.PTS_32_30, r.PTS_marker_bit_1, r.PTS_29_15, r.PTS_marker_bit_2, r.PTS_14_0,
                  r.PTS_marker_bit_3);
  }
  if (r.PTS_DTS_flags == 3) {
    if (!in.Fits(TPESField::DTS, 5)) return false;
    ReadTimeStamp(bits, r.DTS_prefix, r.DTS_32_30, r.DTS_marker_bit_1, r.DTS_29_15, r.DTS_marker_bit_2, r.DTS_14_0,
                  r.DTS_marker_bit_3);
  }
  if (r.ESCR_flag == 1) {
    if (!in.Fits(TPESField::ESCR, 6)) return false;
    bits.Read(r.ESCR_reserved, 2);
    bits.Read(r.ESCR_base_32_30, 3);
    bits.Read(r.ESCR_marker_bit_1, 1);
    bits.Read(r.ESCR_base_29_15, 15);
    bits.Read(r.ESCR_marker_bit_2, 1);
    bits.Read(r.ESCR_base_14_0, 15);
    bits.Read(r.ESCR_marker_bit_3, 1);
    bits.Read(r.ESCR_extension, 9);
    bits.Read(r.ESCR_marker_bit_4, 1);
  }
  if (r.ES_rate_flag == 1) {
    if (!in.Fits(TPESField::ES_rate, 3)) return false;
    bits.Read(r.ES_rate_marker_bit_1, 1);
    bits.Read(r.ES_rate, 22);
    bits.Read(r.ES_rate_marker_bit_2, 1);
  }
  if (r.DSM_trick_mode_flag == 1) {
    if (!in.Fits(TPESField::trick_mode, 1)) return false;
    ReadTrickMode(bits, r);
  }
  if (r.additional_copy_info_flag == 1) {
    if (!in.Fits(TPESField::additional_copy_info, 1)) return false;
    bits.Read(r.copy_info_marker_bit, 1);
    bits.Read(r.additional_copy_info, 7);
  }
  if (r.PES_CRC_flag == 1) {
    if (!in.Fits(TPESField::previous_PES_packet_CRC, 2)) return false;
    bits.Read(r.previous_PES_packet_CRC, 16);
  }
  if (r.PES_extension_flag == 1) return ReadExtension(in, r);
  return true;
}

uint64_t TimeStampValue(uint32_t part32_30, uint32_t part29_15, uint32_t part14_0) {
  return (uint64_t{part32_30} << 30) + (uint64_t{part29_15} << 15) + part14_0;
}

// --- Tree nodes (label width 34) ---

constexpr std::string_view kBit = " (1 bit)";

// A decimal field of the PES header, shown as a signed 32-bit number.
void Dec(TTreeNode& parent, std::string_view label, const uint32_t& field, std::string_view suffix) {
  parent.Add(DecField(label, static_cast<int32_t>(field), suffix, kPESLabelWidth).From(field));
}

void AddTimeStampNodes(TTreeNode& p, const std::string& name, const uint32_t& prefix, const uint32_t& part32_30,
                       const uint32_t& marker1, const uint32_t& part29_15, const uint32_t& marker2,
                       const uint32_t& part14_0, const uint32_t& marker3) {
  Dec(p, "reserved", prefix, " (4 bits)");
  Dec(p, name + "_32_30", part32_30, " (3 bits)");
  Dec(p, "marker_bit", marker1, kBit);
  Dec(p, name + "_29_15", part29_15, " (15 bits)");
  Dec(p, "marker_bit", marker2, kBit);
  Dec(p, name + "_14_0", part14_0, " (15 bits)");
  Dec(p, "marker_bit", marker3, kBit);
}

void AddTrickModeNodes(TTreeNode& p, const TPESPacketHeader& r) {
  Dec(p, "trick_mode_control", r.trick_mode_control, " (3 bits)");
  switch (r.trick_mode_control) {
    case 0:
    case 3:
      Dec(p, "field_id", r.field_id, " (2 bits)");
      Dec(p, "intra_slice_refresh", r.intra_slice_refresh, kBit);
      Dec(p, "frequency_truncation", r.frequency_truncation, r.trick_mode_control == 0 ? " (2 bits)" : " (2bit)");
      break;
    case 1:
    case 4:
      Dec(p, "rep_cntrl", r.rep_cntrl, " (5 bits)");
      break;
    case 2:
      Dec(p, "field_id", r.field_id, " (2 bits)");
      Dec(p, "reserved", r.trick_mode_reserved_3, " (3 bits)");
      break;
    default:
      Dec(p, "reserved", r.trick_mode_reserved_5, " (5 bits)");
      break;
  }
}

void AddExtensionNodes(TTreeNode& p, const TPESPacketHeader& r) {
  if (!r.Reached(TPESField::extension_flags)) return;
  Dec(p, "PES_private_data_flag", r.PES_private_data_flag, kBit);
  Dec(p, "pack_header_field_flag", r.pack_header_field_flag, kBit);
  Dec(p, "program_packet_sequence_counter_flag", r.program_packet_sequence_counter_flag, kBit);
  Dec(p, "P_STD_buffer_flag", r.P_STD_buffer_flag, kBit);
  Dec(p, "reserved", r.extension_reserved, " (3 bits)");
  Dec(p, "PES_extension_flag_2", r.PES_extension_flag_2, " (1 bits)");

  if (r.PES_private_data_flag == 1) {
    if (!r.Reached(TPESField::PES_private_data)) return;
    p.Add(TextField("PES_private_data", HexBytesText(r.PES_private_data.data(), 16), " (128 bits)", kPESLabelWidth)
              .From(r.PES_private_data));
  }
  if (r.pack_header_field_flag == 1) {
    if (!r.Reached(TPESField::pack_field_length)) return;
    Dec(p, "pack_field_length", r.pack_field_length, " (8 bits)");
    if (!r.Reached(TPESField::pack_header)) return;
    p.Add("pack_header", SpansOf(&r.pack_header));
  }
  if (r.program_packet_sequence_counter_flag == 1) {
    if (!r.Reached(TPESField::program_packet_sequence_counter)) return;
    Dec(p, "marker_bit", r.sequence_counter_marker_bit_1, kBit);
    Dec(p, "program_packet_sequence_counter", r.program_packet_sequence_counter, " (7 bits)");
    Dec(p, "marker_bit", r.sequence_counter_marker_bit_2, kBit);
    Dec(p, "MPEG1_MPEG2_identifier", r.MPEG1_MPEG2_identifier, kBit);
    Dec(p, "original_stuff_length", r.original_stuff_length, " (6 bits)");
  }
  if (r.P_STD_buffer_flag == 1) {
    if (!r.Reached(TPESField::P_STD_buffer)) return;
    Dec(p, "reserved", r.P_STD_fixed_bits, " (2 bits)");
    Dec(p, "P_STD_buffer_scale", r.P_STD_buffer_scale, kBit);
    Dec(p, "P_STD_buffer_size", r.P_STD_buffer_size, " (13 bits)");
  }
  if (r.PES_extension_flag_2 == 1) {
    if (!r.Reached(TPESField::PES_extension_field_length)) return;
    Dec(p, "marker_bit", r.extension_2_marker_bit, kBit);
    Dec(p, "PES_extension_field_length", r.PES_extension_field_length, " (7 bits)");
    if (!r.Reached(TPESField::reserved_PES_extension_field)) return;
    const uint32_t count = std::min<uint32_t>(r.PES_extension_field_length, r.reserved_PES_extension_field.size());
    p.Add(TextField("reserved_PES_extension_field",
                    HexBytesText(r.reserved_PES_extension_field.data(), static_cast<int>(count)), {}, kPESLabelWidth)
              .From(r.reserved_PES_extension_field));
  }
}

// Shows what ParsePES reached, in its order; a header cut short ends where it was cut.
void AddPESNodes(TTreeNode& p, const TPESPacketHeader& r) {
  if (!r.Reached(TPESField::packet_start_code_prefix)) return;
  p.Add(HexField("packet_start_code_prefix", r.packet_start_code_prefix, 6, " (24 bits)", kPESLabelWidth));
  if (!r.Reached(TPESField::stream_id)) return;
  p.Add(HexField("stream_id", r.stream_id, 1, " (8 bits)", kPESLabelWidth));
  if (!r.Reached(TPESField::PES_packet_length)) return;
  Dec(p, "PES_packet_length", r.PES_packet_length, " (16 bits)");
  if (!PESHasOptionalHeader(r.stream_id)) return;

  if (!r.Reached(TPESField::flags_1)) return;
  Dec(p, "reserved", r.fixed_bits, " (2 bits)");
  Dec(p, "PES_scrambling_control", r.PES_scrambling_control, " (2 bits)");
  Dec(p, "PES_priority", r.PES_priority, kBit);
  Dec(p, "data_alignment_indicator", r.data_alignment_indicator, kBit);
  Dec(p, "copyright", r.copyright, kBit);
  Dec(p, "original_or_copy", r.original_or_copy, kBit);
  if (!r.Reached(TPESField::flags_2)) return;
  Dec(p, "PTS_DTS_flags", r.PTS_DTS_flags, " (2 bits)");
  Dec(p, "ESCR_flag", r.ESCR_flag, kBit);
  Dec(p, "ES_rate_flag", r.ES_rate_flag, kBit);
  Dec(p, "DSM_trick_mode_flag", r.DSM_trick_mode_flag, kBit);
  Dec(p, "additional_copy_info_flag", r.additional_copy_info_flag, kBit);
  Dec(p, "PES_CRC_flag", r.PES_CRC_flag, kBit);
  Dec(p, "PES_extension_flag", r.PES_extension_flag, kBit);
  if (!r.Reached(TPESField::PES_header_data_length)) return;
  Dec(p, "PES_header_data_length", r.PES_header_data_length, " (8 bits)");

  double seconds = 0;
  if (r.PTS_DTS_flags == 2 || r.PTS_DTS_flags == 3) {
    if (!r.Reached(TPESField::PTS)) return;
    AddTimeStampNodes(p, "PTS", r.PTS_prefix, r.PTS_32_30, r.PTS_marker_bit_1, r.PTS_29_15, r.PTS_marker_bit_2,
                      r.PTS_14_0, r.PTS_marker_bit_3);
    if (GetPTSSeconds(r, seconds))
      p.Add(TextField("PTS", SecondsToTimeStr(seconds), {}, kPESLabelWidth).From(r.PTS_32_30, r.PTS_29_15, r.PTS_14_0));
  }
  if (r.PTS_DTS_flags == 3) {
    if (!r.Reached(TPESField::DTS)) return;
    AddTimeStampNodes(p, "DTS", r.DTS_prefix, r.DTS_32_30, r.DTS_marker_bit_1, r.DTS_29_15, r.DTS_marker_bit_2,
                      r.DTS_14_0, r.DTS_marker_bit_3);
    if (GetDTSSeconds(r, seconds))
      p.Add(TextField("DTS", SecondsToTimeStr(seconds), {}, kPESLabelWidth).From(r.DTS_32_30, r.DTS_29_15, r.DTS_14_0));
  }
  if (r.ESCR_flag == 1) {
    if (!r.Reached(TPESField::ESCR)) return;
    // ESCR_base_32_30 has no node of its own, and no time is shown for the ESCR.
    Dec(p, "reserved", r.ESCR_reserved, " (2 bits)");
    Dec(p, "marker_bit", r.ESCR_marker_bit_1, kBit);
    Dec(p, "ESCR_base_29_15", r.ESCR_base_29_15, " (15 bits)");
    Dec(p, "marker_bit", r.ESCR_marker_bit_2, kBit);
    Dec(p, "ESCR_base_14_0", r.ESCR_base_14_0, " (15 bits)");
    Dec(p, "marker_bit", r.ESCR_marker_bit_3, kBit);
    Dec(p, "ESCR_extension", r.ESCR_extension, " (9 bits)");
    Dec(p, "marker_bit", r.ESCR_marker_bit_4, kBit);
  }
  if (r.ES_rate_flag == 1) {
    if (!r.Reached(TPESField::ES_rate)) return;
    Dec(p, "marker_bit", r.ES_rate_marker_bit_1, kBit);
    Dec(p, "ES_rate", r.ES_rate, " (22 bit)");
    Dec(p, "marker_bit", r.ES_rate_marker_bit_2, kBit);
  }
  if (r.DSM_trick_mode_flag == 1) {
    if (!r.Reached(TPESField::trick_mode)) return;
    AddTrickModeNodes(p, r);
  }
  if (r.additional_copy_info_flag == 1) {
    if (!r.Reached(TPESField::additional_copy_info)) return;
    Dec(p, "marker_bit", r.copy_info_marker_bit, kBit);
    Dec(p, "additional_copy_info", r.additional_copy_info, " (7 bits)");
  }
  if (r.PES_CRC_flag == 1) {
    if (!r.Reached(TPESField::previous_PES_packet_CRC)) return;
    Dec(p, "previous_PES_packet_CRC", r.previous_PES_packet_CRC, " (16 bits)");
  }
  if (r.PES_extension_flag == 1) AddExtensionNodes(p, r);
}

}  // namespace

bool ParsePES(const uint8_t* payload, int payloadLength, TPESPacketHeader& record) {
  return Guarded("ParsePES", false, [&] { return ReadPES(payload, payloadLength, record); });
}

bool ParsePackHeader(const uint8_t* bytes, int length, TPackHeader& record) {
  return Guarded("ParsePackHeader", false, [&] {
    if (bytes == nullptr || length < 14) return false;
    TBitStream4 bits;
    bits.SetData(bytes, length);
    TPackHeader& r = record;
    auto marker = [&bits](uint32_t& field) {
      bits.Read(field, 1);
      return field == 1;
    };
    bits.Read(r.pack_start_code, 32);
    // '01' marks the ISO/IEC 13818-1 form; the ISO/IEC 11172 pack header is refused.
    bits.Read(r.fixed_bits, 2);
    if (r.fixed_bits != 1) return false;
    bits.Read(r.system_clock_reference_base_32_30, 3);
    if (!marker(r.marker_bit_1)) return false;
    bits.Read(r.system_clock_reference_base_29_15, 15);
    if (!marker(r.marker_bit_2)) return false;
    bits.Read(r.system_clock_reference_base_14_0, 15);
    if (!marker(r.marker_bit_3)) return false;
    bits.Read(r.system_clock_reference_extension, 9);
    if (!marker(r.marker_bit_4)) return false;
    bits.Read(r.program_mux_rate, 22);
    if (!marker(r.marker_bit_5)) return false;
    if (!marker(r.marker_bit_6)) return false;
    bits.Read(r.reserved, 5);
    bits.Read(r.pack_stuffing_length, 3);
    if (bits.BytesRemaining() < static_cast<int>(r.pack_stuffing_length)) return false;
    CopyBytes(bits, r.stuffing_byte, r.stuffing_byte.data(), r.pack_stuffing_length);

    // An optional system_header() follows the stuffing.
    r.system_header_present = false;
    if (bits.BytesRemaining() >= 4) {
      TBitStream4 peek = bits;
      if (peek.GetBits32() == kSystemHeaderStartCode)
        r.system_header_present = ParseSystemHeader(bits.GetCurrentPointer(), bits.BytesRemaining(), r.system_header);
    }
    return true;
  });
}

bool ParseSystemHeader(const uint8_t* bytes, int length, TSystemHeader& record) {
  return Guarded("ParseSystemHeader", false, [&] {
    if (bytes == nullptr || length < 12) return false;
    TBitStream4 bits;
    bits.SetData(bytes, length);
    TSystemHeader& r = record;
    bits.Read(r.system_header_start_code, 32);
    bits.Read(r.header_length, 16);
    bits.Read(r.marker_bit_1, 1);
    bits.Read(r.rate_bound, 22);
    bits.Read(r.marker_bit_2, 1);
    bits.Read(r.audio_bound, 6);
    bits.Read(r.fixed_flag, 1);
    bits.Read(r.CSPS_flag, 1);
    bits.Read(r.system_audio_lock_flag, 1);
    bits.Read(r.system_video_lock_flag, 1);
    bits.Read(r.marker_bit_3, 1);
    bits.Read(r.video_bound, 5);
    bits.Read(r.packet_rate_restriction_flag, 1);
    bits.Read(r.reserved, 7);

    // Stream entries follow while the next byte is a stream_id (bit 7 set);
    // only whole entries are taken, and no more than the record holds.
    r.stream_count = 0;
    while (r.stream_count < kMaxSystemHeaderStreams && bits.BytesRemaining() >= 3) {
      TBitStream4 peek = bits;
      if ((peek.GetBits8() & 0x80) == 0) break;
      bits.GetBits8();  // stream_id, not kept
      TSystemHeaderStream& entry = r.streams[static_cast<size_t>(r.stream_count)];
      entry.fixed_bits = static_cast<uint8_t>(bits.GetBits(2));
      entry.P_STD_buffer_bound_scale = static_cast<uint8_t>(bits.GetBit());
      entry.P_STD_buffer_size_bound = static_cast<uint16_t>(bits.GetBits(13));
      ++r.stream_count;
    }
    return true;
  });
}

bool GetPTSSeconds(const TPESPacketHeader& record, double& seconds) {
  return Guarded("GetPTSSeconds", false, [&] {
    // The flags count only when this header had them, and the PTS only when it was read.
    if (!PESHasOptionalHeader(record.stream_id) || !record.Reached(TPESField::PTS)) return false;
    if (record.PTS_DTS_flags != 2 && record.PTS_DTS_flags != 3) return false;
    seconds = static_cast<double>(TimeStampValue(record.PTS_32_30, record.PTS_29_15, record.PTS_14_0)) / 90000.0;
    return true;
  });
}

bool GetDTSSeconds(const TPESPacketHeader& record, double& seconds) {
  return Guarded("GetDTSSeconds", false, [&] {
    // PTS_DTS_flags 1 is forbidden and carries no DTS bytes.
    if (!PESHasOptionalHeader(record.stream_id) || !record.Reached(TPESField::DTS)) return false;
    if (record.PTS_DTS_flags != 3) return false;
    seconds = static_cast<double>(TimeStampValue(record.DTS_32_30, record.DTS_29_15, record.DTS_14_0)) / 90000.0;
    return true;
  });
}

bool UpdatePESTreeView(TTreeNode& parent, const TPESPacketHeader& record) {
  return Guarded("UpdatePESTreeView", false, [&] {
    AddPESNodes(parent, record);
    return true;
  });
}

}  // namespace tessaro
