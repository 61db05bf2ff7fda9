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
#include <span>

#include "core/RecordFields.h"
#include "core/TreeNode.h"
#include "descriptors/DescriptorEntry.h"
#include "descriptors/DescriptorRecord.h"
#include "descriptors/FieldTable.h"

namespace tessaro {

// CA_descriptor (ISO/IEC 13818-1, CA_descriptor syntax). Also the record of
// each CA descriptor of a CAT. While positions are active the parse records
// where each field lies, private_data_byte keyed by the array as a whole.
struct TCA_descriptor_class : TDescriptorRecord {
  uint32_t CA_system_ID = 0;
  uint32_t reserved = 0;
  uint32_t CA_PID = 0;
  // descriptor_length - 4 bytes, or 0 when descriptor_length is 4 or less.
  int32_t private_data_length = 0;
  std::array<uint8_t, 256> private_data_byte{};
};

// The CA_descriptor's fixed fields after descriptor_length: read by
// Parse_CA_descriptor, shown by its display routine and by the CAT.
inline constexpr TRecordField<TCA_descriptor_class> kCA_descriptorFields[] = {
    fields::Dec<&TCA_descriptor_class::CA_system_ID>("CA_system_ID", 16),
    fields::Dec<&TCA_descriptor_class::reserved>("reserved", 3),
    fields::Dec<&TCA_descriptor_class::CA_PID>("CA_PID", 13),
};

// registration_descriptor (ISO/IEC 13818-1, registration_descriptor syntax);
// additional_identification_info is recorded as the CA private bytes are.
struct Tregistration_descriptor_class : TDescriptorRecord {
  uint32_t format_identifier = 0;
  // descriptor_length - 4 bytes, or 0 when descriptor_length is 4 or less.
  int32_t additional_identification_info_length = 0;
  std::array<uint8_t, 256> additional_identification_info{};
};

// The table-driven systems descriptors: X(name, tag, field list, least bytes
// available, whether descriptor_length + 2 must fit in them). The field lists
// and the two length rules (kAnyLength, kLengthMustFit) are in the .cpp.
#define TESSARO_SYSTEMS_FIELD_DESCRIPTORS(X)                                                   \
  X(video_stream_descriptor, 0x02, kVideoStream, 3, kAnyLength)                                \
  X(audio_stream_descriptor, 0x03, kAudioStream, 3, kAnyLength)                                \
  X(hierarchy_descriptor, 0x04, kHierarchy, 6, kAnyLength)                                     \
  X(data_stream_alignment_descriptor, 0x06, kDataStreamAlignment, 3, kAnyLength)               \
  X(target_background_grid_descriptor, 0x07, kTargetBackgroundGrid, 6, kAnyLength)             \
  X(video_window_descriptor, 0x08, kVideoWindow, 6, kAnyLength)                                \
  X(ISO_639_language_descriptor, 0x0A, kISO639Language, 2, kLengthMustFit)                     \
  X(system_clock_descriptor, 0x0B, kSystemClock, 4, kAnyLength)                                \
  X(multiplex_buffer_utilization_descriptor, 0x0C, kMultiplexBufferUtilization, 6, kAnyLength) \
  X(copyright_descriptor, 0x0D, kCopyright, 6, kLengthMustFit)                                 \
  X(maximum_bitrate_descriptor, 0x0E, kMaximumBitrate, 5, kAnyLength)                          \
  X(private_data_indicator_descriptor, 0x0F, kPrivateDataIndicator, 6, kAnyLength)             \
  X(smoothing_buffer_descriptor, 0x10, kSmoothingBuffer, 8, kAnyLength)                        \
  X(STD_descriptor, 0x11, kSTD, 3, kAnyLength)                                                 \
  X(ibp_descriptor, 0x12, kIbp, 4, kAnyLength)                                                 \
  X(MPEG_4_video_descriptor, 0x1B, kMPEG4Video, 3, kAnyLength)                                 \
  X(MPEG_4_audio_descriptor, 0x1C, kMPEG4Audio, 3, kAnyLength)                                 \
  X(IOD_descriptor, 0x1D, kIOD, 4, kAnyLength)                                                 \
  X(SL_descriptor, 0x1E, kSL, 4, kAnyLength)                                                   \
  X(FMC_descriptor, 0x1F, kFMC, 2, kLengthMustFit)                                             \
  X(External_ES_ID_descriptor, 0x20, kExternalESID, 4, kAnyLength)                             \
  X(Muxcode_descriptor, 0x21, kMuxcode, 2, kAnyLength)                                         \
  X(FmxBufferSize_descriptor, 0x22, kFmxBufferSize, 2, kAnyLength)                             \
  X(MultiplexBuffer_descriptor, 0x23, kMultiplexBuffer, 8, kAnyLength)

// The hand-written ones: X(name, tag, record type).
#define TESSARO_SYSTEMS_HAND_WRITTEN_DESCRIPTORS(X)                \
  X(registration_descriptor, 0x05, Tregistration_descriptor_class) \
  X(CA_descriptor, 0x09, TCA_descriptor_class)

TESSARO_SYSTEMS_FIELD_DESCRIPTORS(TESSARO_DECLARE_SYSTEMS_FIELDS)
TESSARO_SYSTEMS_HAND_WRITTEN_DESCRIPTORS(TESSARO_DECLARE_SYSTEMS_ROUTINES)

// The rows of the dispatch table for these descriptors.
std::span<const TDescriptorEntry> SystemsDescriptorEntries();

}  // namespace tessaro
