// The table-driven DVB descriptors from 0x60 on: each one a field list.
#include "descriptors/DVBDescriptors60.h"

#include "descriptors/FieldMeanings.h"

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

// centre_frequency is kept as its raw bits; coding_type says how to read them.
constexpr TFieldDesc kCentreFrequency[] = {
    Bits("centre_frequency", 32).Means(meanings::CodedFrequency, "coding_type"),
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
    TextRun("text_char", LengthField("text_length")),
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

}  // namespace

TESSARO_DVB_FIELD_DESCRIPTORS_60(TESSARO_DEFINE_DVB_FIELDS)

std::span<const TDescriptorEntry> DVBDescriptors60Entries() {
  static constexpr TDescriptorEntry kEntries[] = {TESSARO_DVB_FIELD_DESCRIPTORS_60(TESSARO_DVB_FIELDS_ENTRY)};
  return kEntries;
}

}  // namespace tessaro
