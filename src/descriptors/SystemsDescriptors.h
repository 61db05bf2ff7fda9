// The 26 ISO/IEC 13818-1 systems descriptors (tags 0x02 to 0x12 and 0x1B to
// 0x23): one parse and one display routine each.
//
// Parse routines take bytes at the descriptor_tag and available, the bytes of
// the loop from there to its end. Each refuses a descriptor (returns false)
// when available is below the least its fixed fields need; the CA,
// registration, copyright, ISO 639 and FMC descriptors also when
// descriptor_length + 2 exceeds available. Fields are read at their places
// counted from the descriptor_tag whatever descriptor_length says, and never
// outside the available bytes.
#pragma once

#include <array>
#include <cstdint>

#include "core/TreeNode.h"
#include "descriptors/DescriptorRecord.h"
#include "descriptors/FieldTable.h"

namespace tessaro {

// CA_descriptor (ISO/IEC 13818-1, CA_descriptor syntax). Also the record of
// each CA descriptor of a CAT.
struct TCA_descriptor_class : TDescriptorRecord {
  uint32_t CA_system_ID = 0;
  uint32_t reserved = 0;
  uint32_t CA_PID = 0;
  // descriptor_length - 4 bytes, or 0 when descriptor_length is 4 or less.
  int32_t private_data_length = 0;
  std::array<uint8_t, 256> private_data_byte{};
};

// registration_descriptor (ISO/IEC 13818-1, registration_descriptor syntax).
struct Tregistration_descriptor_class : TDescriptorRecord {
  uint32_t format_identifier = 0;
  // descriptor_length - 4 bytes, or 0 when descriptor_length is 4 or less.
  int32_t additional_identification_info_length = 0;
  std::array<uint8_t, 256> additional_identification_info{};
};

bool Parse_video_stream_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_video_stream_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_audio_stream_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_audio_stream_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_hierarchy_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_hierarchy_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_registration_descriptor(const uint8_t* bytes, int32_t available, Tregistration_descriptor_class& record);
bool TreeView_Update_registration_descriptor(TTreeNode& parent, const Tregistration_descriptor_class& record);
bool Parse_data_stream_alignment_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_data_stream_alignment_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_target_background_grid_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_target_background_grid_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_video_window_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_video_window_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_CA_descriptor(const uint8_t* bytes, int32_t available, TCA_descriptor_class& record);
bool TreeView_Update_CA_descriptor(TTreeNode& parent, const TCA_descriptor_class& record);
bool Parse_ISO_639_language_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_ISO_639_language_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_system_clock_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_system_clock_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_multiplex_buffer_utilization_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_multiplex_buffer_utilization_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_copyright_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_copyright_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_maximum_bitrate_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_maximum_bitrate_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_private_data_indicator_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_private_data_indicator_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_smoothing_buffer_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_smoothing_buffer_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_STD_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_STD_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_ibp_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_ibp_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_MPEG_4_video_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_MPEG_4_video_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_MPEG_4_audio_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_MPEG_4_audio_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_IOD_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_IOD_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_SL_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_SL_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_FMC_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_FMC_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_External_ES_ID_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_External_ES_ID_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_Muxcode_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_Muxcode_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_FmxBufferSize_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_FmxBufferSize_descriptor(TTreeNode& parent, const TFieldRecord& record);
bool Parse_MultiplexBuffer_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record);
bool TreeView_Update_MultiplexBuffer_descriptor(TTreeNode& parent, const TFieldRecord& record);

}  // namespace tessaro
