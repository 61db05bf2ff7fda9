#include "descriptors/SystemsDescriptors.h"

#include <algorithm>

#include "core/ByteView.h"
#include "core/Diagnostics.h"
#include "descriptors/DescriptorForm.h"

namespace tessaro {
namespace {

using namespace fields;

// Whether descriptor_length + 2 must lie within the available bytes.
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
    Bits("multiple_frame_rate_flag", 1), Bits("frame_rate_code", 4),
    Bits("MPEG_1_only_flag", 1),         Bits("constrained_parameter_flag", 1),
    Bits("still_picture_flag", 1),       When("MPEG_1_only_flag", 0, kVideoStreamNotMPEG1Only),
};

constexpr TFieldDesc kAudioStream[] = {
    Bits("free_format_flag", 1), Bits("ID", 1), Bits("layer", 2), Bits("variable_rate_audio_indicator", 1),
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
    Bits("reserved", 2),
    Bits("sb_leak_rate", 22),
    Bits("reserved", 2),
    Bits("sb_size", 22),
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

TESSARO_SYSTEMS_HAND_WRITTEN_DESCRIPTORS(TESSARO_NAME_OF)

}  // namespace

TESSARO_SYSTEMS_FIELD_DESCRIPTORS(TESSARO_DEFINE_SYSTEMS_FIELDS)

bool Parse_registration_descriptor(const uint8_t* bytes, int32_t available, Tregistration_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TBitStream4 reader;
    if (!StartSystemsRecord(reader, bytes, available, 6, kLengthMustFit, record)) return false;
    reader.Read(record.format_identifier, 32);
    record.additional_identification_info_length =
        ReadRun(reader, static_cast<int64_t>(record.descriptor_length) - 4, record.additional_identification_info);
    return true;
  });
}
bool TreeView_Update_registration_descriptor(TTreeNode& parent, const Tregistration_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, NameOf(record), record);
    AddBitsField(node, "format_identifier", record.format_identifier, 32);
    const auto& info = record.additional_identification_info;
    if (record.descriptor_length > 4) {
      // The first four bytes of additional_identification_info as one
      // big-endian number; bytes the descriptor does not have count as 0.
      const TByteView first(info.data(), std::clamp<int32_t>(record.additional_identification_info_length, 0, 4));
      node.Add(TNodeText{DescriptorFieldText("additional_identification_info", first.U32(0), " (32 bits)"),
                         SliceSpans(SpansOf(&info), 0, 32)});
    }
    AddRun(node, "additional_identification_info", info, record.additional_identification_info_length);
    return true;
  });
}

bool Parse_CA_descriptor(const uint8_t* bytes, int32_t available, TCA_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TBitStream4 reader;
    if (!StartSystemsRecord(reader, bytes, available, 6, kLengthMustFit, record)) return false;
    ReadRecordFields(reader, kCA_descriptorFields, record);
    // A descriptor_length below 4 leaves no private bytes.
    record.private_data_length =
        ReadRun(reader, static_cast<int64_t>(record.descriptor_length) - 4, record.private_data_byte);
    return true;
  });
}
bool TreeView_Update_CA_descriptor(TTreeNode& parent, const TCA_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, NameOf(record), record);
    AddRecordFields(node, kCA_descriptorFields, record);
    if (record.descriptor_length > 4)
      AddRun(node, "private_data_byte", record.private_data_byte, record.private_data_length);
    return true;
  });
}

std::span<const TDescriptorEntry> SystemsDescriptorEntries() {
  static constexpr TDescriptorEntry kEntries[] = {
      TESSARO_SYSTEMS_FIELD_DESCRIPTORS(TESSARO_SYSTEMS_FIELDS_ENTRY)  // table-driven
      TESSARO_SYSTEMS_HAND_WRITTEN_DESCRIPTORS(TESSARO_SYSTEMS_ENTRY)  // hand-written
  };
  return kEntries;
}

}  // namespace tessaro
