// The plainly shaped DVB descriptors of ETSI EN 300 468 with tags 0x60 to
// 0x78: runs of fields, byte runs and the one simple loop of the
// frequency_list_descriptor, each written as a field table. The AC-3,
// announcement support and cell descriptors are in DVBIrregularDescriptors60.h.
//
// Parse routines take the bit reader standing at the descriptor_tag, with the
// rest of the descriptor loop as its data, and accept every descriptor. Values
// are kept as their raw bits (frequencies stay BCD bit patterns). Byte runs and
// loops that reach past the end of the reader's data are cut there; fields
// past it read as 0.
#pragma once

#include "core/BitStream.h"
#include "core/TreeNode.h"
#include "descriptors/FieldTable.h"

namespace tessaro {

bool Parse_service_move_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_service_move_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_short_smoothing_buffer_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_short_smoothing_buffer_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_frequency_list_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_frequency_list_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_partial_transport_stream_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_partial_transport_stream_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_data_broadcast_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_data_broadcast_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_scrambling_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_scrambling_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_data_broadcast_id_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_data_broadcast_id_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_transport_stream_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_transport_stream_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_DSNG_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_DSNG_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_PDC_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_PDC_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_ancillary_data_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_ancillary_data_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_application_signalling_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_application_signalling_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_adaptation_field_data_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_adaptation_field_data_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_service_identifier_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_service_identifier_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_service_availability_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_service_availability_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_default_authority_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_default_authority_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_related_content_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_related_content_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_TVA_id_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_TVA_id_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_content_identifier_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_content_identifier_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_time_slice_fec_identifier_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_time_slice_fec_identifier_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_ECM_repetition_rate_descriptor(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_ECM_repetition_rate_descriptor(TTreeNode& parent, const TFieldRecord& record);

}  // namespace tessaro
