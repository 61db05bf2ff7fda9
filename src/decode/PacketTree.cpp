#include "decode/PacketTree.h"

#include "core/TextHelpers.h"

namespace tessaro {

void AddTransportHeaderNodes(TTreeNode& packet, const TTSHeader& h) {
  packet.Add(HexField("sync_byte", h.sync_byte, 2, " (8 bits)"));
  packet.Add(DecField("transport_error_indicator", h.transport_error_indicator, " (1 bit)"));
  packet.Add(DecField("payload_unit_start_indicator", h.payload_unit_start_indicator, " (1 bit)"));
  packet.Add(DecField("transport_priority", h.transport_priority, " (1 bit)"));
  packet.Add(HexField("PID", h.PID, 4, " (13 bits)"));
  packet.Add(DecField("transport_scrambling_control", h.transport_scrambling_control, " (2 bits)"));
  packet.Add(DecField("adaptation_field_control", h.adaptation_field_control, " (2 bits)"));
  packet.Add(DecField("continuity_counter", h.continuity_counter, " (4 bits)"));
}

void AddAdaptationFieldNodes(TTreeNode& packet, const TTSHeader& h) {
  TTreeNode& af = packet.Add("adaptation_field");
  af.Add(DecField("adaptation_field_length", h.adaptation_field_length, " (8 bits)"));
  af.Add(DecField("discontinuity_indicator", h.discontinuity_indicator, " (1 bit)"));
  af.Add(DecField("random_access_indicator", h.random_access_indicator, " (1 bit)"));
  af.Add(DecField("elementary_stream_priority_indicator", h.elementary_stream_priority_indicator, " (1 bit)"));
  af.Add(DecField("PCR_flag", h.PCR_flag, " (1 bit)"));
  af.Add(DecField("OPCR_flag", h.OPCR_flag, " (1 bit)"));
  af.Add(DecField("splicing_point_flag", h.splicing_point_flag, " (1 bit)"));
  af.Add(DecField("transport_private_data_flag", h.transport_private_data_flag, " (1 bit)"));
  af.Add(DecField("adaption_field_extension_flag", h.adaptation_field_extension_flag, " (1 bit)"));
  if (h.PCR_flag == 1) {
    af.Add(DecField("program_clock_reference_base", h.program_clock_reference_base, " (33 bits)"));
    af.Add(EmptyField("reserved", h.program_clock_reference_reserved, " (6 bits)"));
    af.Add(DecField("program_clock_reference_extension", h.program_clock_reference_extension, " (9 bit)"));
    af.Add(TextField("program_clock_reference",
                     SecondsToTimeStr(static_cast<double>(h.program_clock_reference_base) / 90000.0))
               .From(h.program_clock_reference_base));
  }
  if (h.OPCR_flag == 1) {
    af.Add(DecField("original_program_clock_reference_base", h.original_program_clock_reference_base, " (33 bits)"));
    af.Add(EmptyField("reserved", h.original_program_clock_reference_reserved, " (6 bits)"));
    af.Add(DecField("original_program_clock_reference_extension", h.original_program_clock_reference_extension,
                    " (9 bits)"));
    af.Add(TextField("original_program_clock_reference",
                     SecondsToTimeStr(static_cast<double>(h.original_program_clock_reference_base) / 90000.0))
               .From(h.original_program_clock_reference_base));
  }
  if (h.splicing_point_flag == 1) af.Add(DecField("splice_countdown", h.splice_countdown, " (8 bits)"));
  if (h.transport_private_data_flag == 1)
    af.Add(DecField("transport_private_data_length", h.transport_private_data_length, " (8 bits)"));
  if (h.adaptation_field_extension_flag == 1) {
    af.Add(DecField("adaption_field_extension_length", h.adaptation_field_extension_length, " (8 bits)"));
    af.Add(DecField("ltw_flag", h.ltw_flag, " (1 bit)"));
    af.Add(DecField("piecewise_rate_flag", h.piecewise_rate_flag, " (1 bit)"));
    af.Add(DecField("seamless_splice_flag", h.seamless_splice_flag, " (1 bit)"));
    af.Add(EmptyField("reserved", h.adaptation_field_extension_reserved, " (5 bits)"));
    if (h.ltw_flag == 1) {
      af.Add(DecField("ltw_valid_flag", h.ltw_valid_flag, " (1 bit)"));
      af.Add(DecField("ltw_offset", h.ltw_offset, " (15 bits)"));
    }
    if (h.piecewise_rate_flag == 1) {
      af.Add(EmptyField("reserved", h.piecewise_rate_reserved, " (2 bits)"));
      af.Add(DecField("piecewise_rate", h.piecewise_rate, " (22 bits)"));
    }
    if (h.seamless_splice_flag == 1) {
      af.Add(DecField("splice_type", h.splice_type, " (4 bits)"));
      af.Add(DecField("DTS_next_AU", h.DTS_next_AU, " (33 bits)"));
      af.Add(EmptyField("3 marker bits", h.DTS_next_AU_marker_bits, " (3 bits)"));
    }
  }
}

}  // namespace tessaro
