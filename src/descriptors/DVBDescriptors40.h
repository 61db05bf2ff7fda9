// The plainly shaped DVB descriptors of tags 0x40 to 0x5F (ETSI EN 300 468):
// runs of fields, byte runs and simple loops, each written as a field table.
// The irregular ones of the range (linkage, mosaic, VBI data, extended event,
// telephone) are in DVBSpecialDescriptors40.h.
//
// Parse routines take the bit reader standing at the descriptor_tag, over the
// rest of the descriptor loop, and accept every descriptor. Values are kept
// raw: BCD frequencies, symbol rates and times are the numbers their bits make.
// Loops read whole entries while their counter is above 0, so a byte count
// that is not a whole number of entries reads one more entry from the bytes
// after the descriptor; no entry starts once the descriptor loop's bytes are
// used up, and byte runs are cut where those bytes end.
#pragma once

#include "core/BitStream.h"
#include "core/TreeNode.h"
#include "descriptors/FieldTable.h"

namespace tessaro {

bool Parse_network_name_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_network_name_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_service_list_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_service_list_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_stuffing_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_stuffing_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_satellite_delivery_system_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_satellite_delivery_system_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_cable_delivery_system_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_cable_delivery_system_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_VBI_teletext_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_VBI_teletext_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_bouquet_name_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_bouquet_name_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_service_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_service_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_country_availability_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_country_availability_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_NVOD_reference_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_NVOD_reference_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_time_shifted_service_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_time_shifted_service_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_short_event_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_short_event_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_time_shifted_event_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_time_shifted_event_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_component_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_component_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_stream_identifier_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_stream_identifier_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_CA_identifier_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_CA_identifier_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_content_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_content_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_parental_rating_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_parental_rating_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_teletext_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_teletext_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_local_time_offset_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_local_time_offset_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_subtitling_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_subtitling_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_terrestrial_delivery_system_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_terrestrial_delivery_system_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_multilingual_network_name_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_multilingual_network_name_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_multilingual_bouquet_name_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_multilingual_bouquet_name_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_multilingual_service_name_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_multilingual_service_name_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_multilingual_component_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_multilingual_component_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_private_data_specifier_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_private_data_specifier_descriptor(TTreeNode& parent, const TFieldRecord& record);

}  // namespace tessaro
