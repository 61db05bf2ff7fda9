#include "descriptors/SystemsDescriptors.h"

#include <algorithm>

#include "core/ByteView.h"
#include "core/Diagnostics.h"
#include "descriptors/DescriptorForm.h"
#include "descriptors/DescriptorRegistry.h"

namespace tessaro {
namespace {

using namespace fields;

constexpr bool kLengthMustFit = true;
constexpr bool kAnyLength = false;

// Field lists in the order of the ISO/IEC 13818-1 descriptor syntax tables,
// starting after descriptor_length.

constexpr TFieldDesc kVideoStreamNotMPEG1Only[] = {
    Needs(5),
    Bits("profile_and_level_indication", 8),
    Bits("chroma_format", 2),
    Bits("frame_rate_extension_flag", 1),
    Bits("reserved", 5),
};
constexpr TFieldDesc kVideoStream[] = {
    Bits("multiple_frame_rate_flag", 1),
    Bits("frame_rate_code", 4),
    Bits("MPEG_1_only_flag", 1),
    Bits("constrained_parameter_flag", 1),
    Bits("still_picture_flag", 1),
    When("MPEG_1_only_flag", 0, kVideoStreamNotMPEG1Only),
};

constexpr TFieldDesc kAudioStream[] = {
    Bits("free_format_flag", 1),
    Bits("ID", 1),
    Bits("layer", 2),
    Bits("variable_rate_audio_indicator", 1),
    Bits("reserved", 3),
};

constexpr TFieldDesc kHierarchy[] = {
    Bits("reserved", 4), Bits("hierarchy_type", 4),
    Bits("reserved", 2), Bits("hierarchy_layer_index", 6),
    Bits("reserved", 2), Bits("hierarchy_embedded_layer_index", 6),
    Bits("reserved", 2), Bits("hierarchy_channel", 6),
};

constexpr TFieldDesc kDataStreamAlignment[] = {
    Bits("alignment_type", 8),
};

constexpr TFieldDesc kTargetBackgroundGrid[] = {
    Bits("horizontal_size", 14),
    Bits("vertical_size", 14),
    Bits("aspect_ratio_information", 4),
};

constexpr TFieldDesc kVideoWindow[] = {
    Bits("horizontal_offset", 14),
    Bits("vertical_offset", 14),
    Bits("window_priority", 4),
};

// One entry per language; only whole entries within descriptor_length are shown.
constexpr TFieldDesc kISO639LanguageEntry[] = {
    ISO639(),
    Bits("audio_type", 8),
};
constexpr TFieldDesc kISO639Language[] = {
    Loop("", "", DescriptorLength(), {4}, kISO639LanguageEntry, TLoopShow::WholeEntries),
};

constexpr TFieldDesc kSystemClock[] = {
    Bits("external_clock_reference_indicator", 1),
    Bits("reserved", 1),
    Bits("clock_accuracy_integer", 6),
    Bits("clock_accuracy_exponent", 3),
    Bits("reserved", 5),
};

constexpr TFieldDesc kMultiplexBufferUtilization[] = {
    Bits("bound_valid_flag", 1),
    Bits("LTW_offset_lower_bound", 15),
    Bits("reserved", 1),
    Bits("LTW_offset_upper_bound", 14, " (14 bit)"),
    Hidden(1),
};

constexpr TFieldDesc kCopyright[] = {
    Bits("copyright_identifier", 32),
    Run("additional_copyright_info", DescriptorLength(4)),
};

constexpr TFieldDesc kMaximumBitrate[] = {
    Bits("reserved", 2),
    Bits("maximum_bitrate", 22),
};

constexpr TFieldDesc kPrivateDataIndicator[] = {
    Bits("private_data_indicator", 32),
};

constexpr TFieldDesc kSmoothingBuffer[] = {
    Bits("reserved", 2), Bits("sb_leak_rate", 22),
    Bits("reserved", 2), Bits("sb_size", 22),
};

constexpr TFieldDesc kSTD[] = {
    Bits("reserved", 7),
    Bits("leak_valid_flag", 1),
};

constexpr TFieldDesc kIbp[] = {
    Bits("closed_gop_flag", 1),
    Bits("identical_gop_flag", 1),
    Bits("max_gop_length", 14),
};

constexpr TFieldDesc kMPEG4Video[] = {
    Bits("MPEG_4_visual_profile_and_level", 8),
};

constexpr TFieldDesc kMPEG4Audio[] = {
    Bits("MPEG_4_audio_profile_and_level", 8),
};

// The InitialObjectDescriptor() itself (ISO/IEC 14496-1) is not decoded.
constexpr TFieldDesc kIOD[] = {
    Bits("Scope_of_IOD_label", 8),
    Bits("IOD_label", 8),
    Marker("InitialObjectDescriptor()"),
};

constexpr TFieldDesc kSL[] = {
    Bits("ES_ID", 16),
};

constexpr TFieldDesc kFMCEntry[] = {
    Bits("ES_ID", 16),
    Bits("FlexMuxChannel", 8),
};
constexpr TFieldDesc kFMC[] = {
    Loop("", "", DescriptorLength(), {3}, kFMCEntry, TLoopShow::WholeEntries),
};

constexpr TFieldDesc kExternalESID[] = {
    Bits("External_ES_ID", 16),
};

constexpr TFieldDesc kMuxcode[] = {
    Marker("MuxCodeTableEntry()"),
};

constexpr TFieldDesc kFmxBufferSize[] = {
    Marker("DefaultFlexMuxBufferDescriptor()"),
    Marker("FlexMuxBufferDescriptor()"),
};

constexpr TFieldDesc kMultiplexBuffer[] = {
    Bits("MB_buffer_size", 24),
    Bits("TB_leak_rate", 24),
};

// Tag, least bytes available, whether descriptor_length + 2 must fit in them.
constexpr TFieldTable kVideoStreamTable = Table(0x02, 3, kAnyLength, kVideoStream);
constexpr TFieldTable kAudioStreamTable = Table(0x03, 3, kAnyLength, kAudioStream);
constexpr TFieldTable kHierarchyTable = Table(0x04, 6, kAnyLength, kHierarchy);
constexpr TFieldTable kDataStreamAlignmentTable = Table(0x06, 3, kAnyLength, kDataStreamAlignment);
constexpr TFieldTable kTargetBackgroundGridTable = Table(0x07, 6, kAnyLength, kTargetBackgroundGrid);
constexpr TFieldTable kVideoWindowTable = Table(0x08, 6, kAnyLength, kVideoWindow);
constexpr TFieldTable kISO639LanguageTable = Table(0x0A, 2, kLengthMustFit, kISO639Language);
constexpr TFieldTable kSystemClockTable = Table(0x0B, 4, kAnyLength, kSystemClock);
constexpr TFieldTable kMultiplexBufferUtilizationTable = Table(0x0C, 6, kAnyLength, kMultiplexBufferUtilization);
constexpr TFieldTable kCopyrightTable = Table(0x0D, 6, kLengthMustFit, kCopyright);
constexpr TFieldTable kMaximumBitrateTable = Table(0x0E, 5, kAnyLength, kMaximumBitrate);
constexpr TFieldTable kPrivateDataIndicatorTable = Table(0x0F, 6, kAnyLength, kPrivateDataIndicator);
constexpr TFieldTable kSmoothingBufferTable = Table(0x10, 8, kAnyLength, kSmoothingBuffer);
constexpr TFieldTable kSTDTable = Table(0x11, 3, kAnyLength, kSTD);
constexpr TFieldTable kIbpTable = Table(0x12, 4, kAnyLength, kIbp);
constexpr TFieldTable kMPEG4VideoTable = Table(0x1B, 3, kAnyLength, kMPEG4Video);
constexpr TFieldTable kMPEG4AudioTable = Table(0x1C, 3, kAnyLength, kMPEG4Audio);
constexpr TFieldTable kIODTable = Table(0x1D, 4, kAnyLength, kIOD);
constexpr TFieldTable kSLTable = Table(0x1E, 4, kAnyLength, kSL);
constexpr TFieldTable kFMCTable = Table(0x1F, 2, kLengthMustFit, kFMC);
constexpr TFieldTable kExternalESIDTable = Table(0x20, 4, kAnyLength, kExternalESID);
constexpr TFieldTable kMuxcodeTable = Table(0x21, 2, kAnyLength, kMuxcode);
constexpr TFieldTable kFmxBufferSizeTable = Table(0x22, 2, kAnyLength, kFmxBufferSize);
constexpr TFieldTable kMultiplexBufferTable = Table(0x23, 8, kAnyLength, kMultiplexBuffer);

constexpr uint8_t kRegistrationTag = 0x05;
constexpr uint8_t kCATag = 0x09;

// Copies the bytes of view (at most the size of out); returns how many.
template <size_t N>
int32_t CopyBytes(const TByteView& view, std::array<uint8_t, N>& out) {
  const int32_t count = std::min<int32_t>(view.Size(), static_cast<int32_t>(N));
  if (count > 0) std::copy_n(view.Data(), count, out.begin());
  return count;
}

// Bytes of a record's buffer in use, kept within the buffer.
template <size_t N>
int32_t UsedBytes(int32_t length, const std::array<uint8_t, N>& /*buffer*/) {
  return std::clamp<int32_t>(length, 0, static_cast<int32_t>(N));
}

}  // namespace

bool Parse_video_stream_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kVideoStreamTable, bytes, available, record);
}
bool TreeView_Update_video_stream_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kVideoStreamTable, parent, record);
}

bool Parse_audio_stream_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kAudioStreamTable, bytes, available, record);
}
bool TreeView_Update_audio_stream_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kAudioStreamTable, parent, record);
}

bool Parse_hierarchy_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kHierarchyTable, bytes, available, record);
}
bool TreeView_Update_hierarchy_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kHierarchyTable, parent, record);
}

bool Parse_registration_descriptor(const uint8_t* bytes, int32_t available, Tregistration_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    record = Tregistration_descriptor_class{};
    const TByteView view(bytes, available);
    if (view.Size() < 6) return false;
    record.descriptor_tag = view.U8(0);
    record.descriptor_length = view.U8(1);
    if (static_cast<int32_t>(record.descriptor_length) + 2 > view.Size()) return false;
    record.format_identifier = view.U32(2);
    const int32_t infoLength = static_cast<int32_t>(record.descriptor_length) - 4;
    record.additional_identification_info_length = CopyBytes(view.Sub(6, infoLength), record.additional_identification_info);
    return true;
  });
}
bool TreeView_Update_registration_descriptor(TTreeNode& parent, const Tregistration_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, DescriptorName(kRegistrationTag), record);
    node.Add(DescriptorFieldText("format_identifier", record.format_identifier, " (32 bits)"));
    const int32_t infoLength =
        UsedBytes(record.additional_identification_info_length, record.additional_identification_info);
    if (record.descriptor_length > 4) {
      // The first four bytes of additional_identification_info as one
      // big-endian number; bytes the descriptor does not have count as 0.
      const TByteView info(record.additional_identification_info.data(), infoLength);
      node.Add(DescriptorFieldText("additional_identification_info", info.U32(0), " (32 bits)"));
    }
    AddByteRunGroup(node, "additional_identification_info", record.additional_identification_info.data(), infoLength);
    return true;
  });
}

bool Parse_data_stream_alignment_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kDataStreamAlignmentTable, bytes, available, record);
}
bool TreeView_Update_data_stream_alignment_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kDataStreamAlignmentTable, parent, record);
}

bool Parse_target_background_grid_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kTargetBackgroundGridTable, bytes, available, record);
}
bool TreeView_Update_target_background_grid_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kTargetBackgroundGridTable, parent, record);
}

bool Parse_video_window_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kVideoWindowTable, bytes, available, record);
}
bool TreeView_Update_video_window_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kVideoWindowTable, parent, record);
}

bool Parse_CA_descriptor(const uint8_t* bytes, int32_t available, TCA_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    record = TCA_descriptor_class{};
    const TByteView view(bytes, available);
    if (view.Size() < 6) return false;
    record.descriptor_tag = view.U8(0);
    record.descriptor_length = view.U8(1);
    if (static_cast<int32_t>(record.descriptor_length) + 2 > view.Size()) return false;
    record.CA_system_ID = view.U16(2);
    record.reserved = view.U8(4) >> 5;
    record.CA_PID = view.U16(4) & 0x1FFF;
    // A descriptor_length below 4 leaves no private bytes.
    const int32_t privateLength = static_cast<int32_t>(record.descriptor_length) - 4;
    record.private_data_length = CopyBytes(view.Sub(6, privateLength), record.private_data_byte);
    return true;
  });
}
bool TreeView_Update_CA_descriptor(TTreeNode& parent, const TCA_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, DescriptorName(kCATag), record);
    node.Add(DescriptorFieldText("CA_system_ID", record.CA_system_ID, " (16 bits)"));
    node.Add(DescriptorFieldText("reserved", record.reserved, " (3 bits)"));
    node.Add(DescriptorFieldText("CA_PID", record.CA_PID, " (13 bits)"));
    if (record.descriptor_length > 4)
      AddByteRunGroup(node, "private_data_byte", record.private_data_byte.data(),
                      UsedBytes(record.private_data_length, record.private_data_byte));
    return true;
  });
}

bool Parse_ISO_639_language_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kISO639LanguageTable, bytes, available, record);
}
bool TreeView_Update_ISO_639_language_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kISO639LanguageTable, parent, record);
}

bool Parse_system_clock_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kSystemClockTable, bytes, available, record);
}
bool TreeView_Update_system_clock_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kSystemClockTable, parent, record);
}

bool Parse_multiplex_buffer_utilization_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kMultiplexBufferUtilizationTable, bytes, available, record);
}
bool TreeView_Update_multiplex_buffer_utilization_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kMultiplexBufferUtilizationTable, parent, record);
}

bool Parse_copyright_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kCopyrightTable, bytes, available, record);
}
bool TreeView_Update_copyright_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kCopyrightTable, parent, record);
}

bool Parse_maximum_bitrate_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kMaximumBitrateTable, bytes, available, record);
}
bool TreeView_Update_maximum_bitrate_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kMaximumBitrateTable, parent, record);
}

bool Parse_private_data_indicator_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kPrivateDataIndicatorTable, bytes, available, record);
}
bool TreeView_Update_private_data_indicator_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kPrivateDataIndicatorTable, parent, record);
}

bool Parse_smoothing_buffer_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kSmoothingBufferTable, bytes, available, record);
}
bool TreeView_Update_smoothing_buffer_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kSmoothingBufferTable, parent, record);
}

bool Parse_STD_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kSTDTable, bytes, available, record);
}
bool TreeView_Update_STD_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kSTDTable, parent, record);
}

bool Parse_ibp_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kIbpTable, bytes, available, record);
}
bool TreeView_Update_ibp_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kIbpTable, parent, record);
}

bool Parse_MPEG_4_video_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kMPEG4VideoTable, bytes, available, record);
}
bool TreeView_Update_MPEG_4_video_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kMPEG4VideoTable, parent, record);
}

bool Parse_MPEG_4_audio_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kMPEG4AudioTable, bytes, available, record);
}
bool TreeView_Update_MPEG_4_audio_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kMPEG4AudioTable, parent, record);
}

bool Parse_IOD_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kIODTable, bytes, available, record);
}
bool TreeView_Update_IOD_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kIODTable, parent, record);
}

bool Parse_SL_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kSLTable, bytes, available, record);
}
bool TreeView_Update_SL_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kSLTable, parent, record);
}

bool Parse_FMC_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kFMCTable, bytes, available, record);
}
bool TreeView_Update_FMC_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kFMCTable, parent, record);
}

bool Parse_External_ES_ID_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kExternalESIDTable, bytes, available, record);
}
bool TreeView_Update_External_ES_ID_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kExternalESIDTable, parent, record);
}

bool Parse_Muxcode_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kMuxcodeTable, bytes, available, record);
}
bool TreeView_Update_Muxcode_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kMuxcodeTable, parent, record);
}

bool Parse_FmxBufferSize_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kFmxBufferSizeTable, bytes, available, record);
}
bool TreeView_Update_FmxBufferSize_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kFmxBufferSizeTable, parent, record);
}

bool Parse_MultiplexBuffer_descriptor(const uint8_t* bytes, int32_t available, TFieldRecord& record) {
  return ParseSystemsFields(__func__, kMultiplexBufferTable, bytes, available, record);
}
bool TreeView_Update_MultiplexBuffer_descriptor(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kMultiplexBufferTable, parent, record);
}

}  // namespace tessaro
