#include "descriptors/DVBDescriptors60.h"

namespace tessaro {
namespace {

using namespace fields;

// Field lists in the order of the ETSI EN 300 468 descriptor syntax tables,
// starting after descriptor_length.

constexpr TFieldDesc kServiceMove[] = {
    Bits("new_original_network_id", 16),
    Bits("new_transport_stream_id", 16),
    Bits("new_service_id", 16),
};

constexpr TFieldDesc kShortSmoothingBuffer[] = {
    Bits("sb_size", 2),
    Bits("sb_leak_rate", 6),
    Run("DVB_reserved", DescriptorLength(1)),
};

// centre_frequency is kept as its raw bits, whatever coding_type says.
constexpr TFieldDesc kCentreFrequency[] = {
    Bits("centre_frequency", 32),
};
constexpr TFieldDesc kFrequencyList[] = {
    Bits("reserved_future_use", 6),
    Bits("coding_type", 2),
    Loop("centre_frequencies", "centre_frequency #", DescriptorLength(1), {4}, kCentreFrequency),
};

constexpr TFieldDesc kPartialTransportStream[] = {
    Bits("DVB_reserved_future_use", 2), Bits("peak_rate", 22),
    Bits("DVB_reserved_future_use", 2), Bits("minimum_overall_smoothing_rate", 22),
    Bits("DVB_reserved_future_use", 2), Bits("maximum_overall_smoothing_buffer", 14),
};

constexpr TFieldDesc kDataBroadcast[] = {
    Bits("data_broadcast_id", 16),
    Bits("component_tag", 8),
    Bits("selector_length", 8),
    Run("selector", LengthField("selector_length")),
    ISO639(),
    Bits("text_length", 8),
    Run("text_char", LengthField("text_length")),
};

constexpr TFieldDesc kScrambling[] = {
    Bits("scrambling_mode", 8),
};

constexpr TFieldDesc kDataBroadcastId[] = {
    Bits("data_broadcast_id", 16),
    Run("id_selector", DescriptorLength(2)),
};

// The whole body is one run, shown under a group of the descriptor's own name.
constexpr TFieldDesc kTransportStream[] = {
    Run("transport_stream_descriptor", DescriptorLength()),
};

constexpr TFieldDesc kPDC[] = {
    Bits("reserved_future_use", 4),
    Bits("programme_identification_label", 20),
};

constexpr TFieldDesc kAncillaryData[] = {
    Bits("ancillary_data_identifier", 8),
};

constexpr TFieldDesc kAdaptationFieldData[] = {
    Bits("adaptation_field_data_identifier", 8),
};

// DSNG and the descriptors from 0x6F on that are not taken apart: the body as
// one run of bytes.
constexpr TFieldDesc kRawData[] = {
    Run("data", DescriptorLength()),
};

constexpr TFieldTable kServiceMoveTable = TableEndingWithData(0x60, kServiceMove);
constexpr TFieldTable kShortSmoothingBufferTable = TableEndingWithData(0x61, kShortSmoothingBuffer);
constexpr TFieldTable kFrequencyListTable = TableEndingWithData(0x62, kFrequencyList);
constexpr TFieldTable kPartialTransportStreamTable = TableEndingWithData(0x63, kPartialTransportStream);
constexpr TFieldTable kDataBroadcastTable = TableEndingWithData(0x64, kDataBroadcast);
constexpr TFieldTable kScramblingTable = TableEndingWithData(0x65, kScrambling);
constexpr TFieldTable kDataBroadcastIdTable = TableEndingWithData(0x66, kDataBroadcastId);
constexpr TFieldTable kTransportStreamTable = TableEndingWithData(0x67, kTransportStream);
constexpr TFieldTable kDSNGTable = TableEndingWithData(0x68, kRawData);
constexpr TFieldTable kPDCTable = TableEndingWithData(0x69, kPDC);
constexpr TFieldTable kAncillaryDataTable = TableEndingWithData(0x6B, kAncillaryData);
constexpr TFieldTable kApplicationSignallingTable = TableEndingWithData(0x6F, kRawData);
constexpr TFieldTable kAdaptationFieldDataTable = TableEndingWithData(0x70, kAdaptationFieldData);
constexpr TFieldTable kServiceIdentifierTable = TableEndingWithData(0x71, kRawData);
constexpr TFieldTable kServiceAvailabilityTable = TableEndingWithData(0x72, kRawData);
constexpr TFieldTable kDefaultAuthorityTable = TableEndingWithData(0x73, kRawData);
constexpr TFieldTable kRelatedContentTable = TableEndingWithData(0x74, kRawData);
constexpr TFieldTable kTVAIdTable = TableEndingWithData(0x75, kRawData);
constexpr TFieldTable kContentIdentifierTable = TableEndingWithData(0x76, kRawData);
constexpr TFieldTable kTimeSliceFecIdentifierTable = TableEndingWithData(0x77, kRawData);
constexpr TFieldTable kECMRepetitionRateTable = TableEndingWithData(0x78, kRawData);

}  // namespace

bool Parse_service_move_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kServiceMoveTable, reader, record);
}
bool TreeView_Update_service_move_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kServiceMoveTable, parent, record);
}

bool Parse_short_smoothing_buffer_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kShortSmoothingBufferTable, reader, record);
}
bool TreeView_Update_short_smoothing_buffer_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kShortSmoothingBufferTable, parent, record);
}

bool Parse_frequency_list_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kFrequencyListTable, reader, record);
}
bool TreeView_Update_frequency_list_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kFrequencyListTable, parent, record);
}

bool Parse_partial_transport_stream_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kPartialTransportStreamTable, reader, record);
}
bool TreeView_Update_partial_transport_stream_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kPartialTransportStreamTable, parent, record);
}

bool Parse_data_broadcast_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kDataBroadcastTable, reader, record);
}
bool TreeView_Update_data_broadcast_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kDataBroadcastTable, parent, record);
}

bool Parse_scrambling_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kScramblingTable, reader, record);
}
bool TreeView_Update_scrambling_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kScramblingTable, parent, record);
}

bool Parse_data_broadcast_id_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kDataBroadcastIdTable, reader, record);
}
bool TreeView_Update_data_broadcast_id_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kDataBroadcastIdTable, parent, record);
}

bool Parse_transport_stream_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kTransportStreamTable, reader, record);
}
bool TreeView_Update_transport_stream_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kTransportStreamTable, parent, record);
}

bool Parse_DSNG_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kDSNGTable, reader, record);
}
bool TreeView_Update_DSNG_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kDSNGTable, parent, record);
}

bool Parse_PDC_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kPDCTable, reader, record);
}
bool TreeView_Update_PDC_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kPDCTable, parent, record);
}

bool Parse_ancillary_data_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kAncillaryDataTable, reader, record);
}
bool TreeView_Update_ancillary_data_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kAncillaryDataTable, parent, record);
}

bool Parse_application_signalling_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kApplicationSignallingTable, reader, record);
}
bool TreeView_Update_application_signalling_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kApplicationSignallingTable, parent, record);
}

bool Parse_adaptation_field_data_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kAdaptationFieldDataTable, reader, record);
}
bool TreeView_Update_adaptation_field_data_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kAdaptationFieldDataTable, parent, record);
}

bool Parse_service_identifier_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kServiceIdentifierTable, reader, record);
}
bool TreeView_Update_service_identifier_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kServiceIdentifierTable, parent, record);
}

bool Parse_service_availability_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kServiceAvailabilityTable, reader, record);
}
bool TreeView_Update_service_availability_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kServiceAvailabilityTable, parent, record);
}

bool Parse_default_authority_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kDefaultAuthorityTable, reader, record);
}
bool TreeView_Update_default_authority_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kDefaultAuthorityTable, parent, record);
}

bool Parse_related_content_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kRelatedContentTable, reader, record);
}
bool TreeView_Update_related_content_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kRelatedContentTable, parent, record);
}

bool Parse_TVA_id_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kTVAIdTable, reader, record);
}
bool TreeView_Update_TVA_id_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kTVAIdTable, parent, record);
}

bool Parse_content_identifier_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kContentIdentifierTable, reader, record);
}
bool TreeView_Update_content_identifier_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kContentIdentifierTable, parent, record);
}

bool Parse_time_slice_fec_identifier_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kTimeSliceFecIdentifierTable, reader, record);
}
bool TreeView_Update_time_slice_fec_identifier_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kTimeSliceFecIdentifierTable, parent, record);
}

bool Parse_ECM_repetition_rate_descriptor(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kECMRepetitionRateTable, reader, record);
}
bool TreeView_Update_ECM_repetition_rate_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kECMRepetitionRateTable, parent, record);
}

}  // namespace tessaro
