// The table-driven DVB descriptors from 0x40 to 0x5F: each one a field list.
#include "descriptors/DVBDescriptors40.h"

#include "descriptors/FieldMeanings.h"

namespace tessaro {
namespace {

using namespace fields;

// Field lists in the order of the ETSI EN 300 468 descriptor syntax tables,
// starting after descriptor_length, one field per line as the tables read.
// clang-format off

constexpr TFieldDesc kNetworkName[] = {
    TextRun("network_name", DescriptorLength()),
};

constexpr TFieldDesc kServiceListEntry[] = {
    Bits("service_id", 16),
    Bits("service_type", 8),
};
constexpr TFieldDesc kServiceList[] = {
    Loop("services", "service #", DescriptorLength(), {3}, kServiceListEntry),
};

constexpr TFieldDesc kStuffing[] = {
    Run("stuffing", DescriptorLength()),
};

// Frequency, orbital position and symbol rate are BCD in the stream.
constexpr TFieldDesc kSatelliteDeliverySystem[] = {
    Bits("frequency", 32).Means(meanings::SatelliteFrequency),
    Bits("orbital_position", 16).Means(meanings::OrbitalPosition, "west_east_flag"),
    Bits("west_east_flag", 1),
    Bits("polarization", 2),
    Bits("modulation", 5),
    Bits("symbol_rate", 28).Means(meanings::SymbolRate),
    Bits("FEC_inner", 4),
};

constexpr TFieldDesc kCableDeliverySystem[] = {
    Bits("frequency", 32).Means(meanings::CableFrequency),
    Bits("reserved_future_use", 12),
    Bits("FEC_outer", 4),
    Bits("modulation", 8),
    Bits("symbol_rate", 28).Means(meanings::SymbolRate),
    Bits("FEC_inner", 4),
};

// One teletext page: the entry of both the VBI_teletext_descriptor and the
// teletext_descriptor.
constexpr TFieldDesc kTeletextEntry[] = {
    ISO639(),
    Bits("teletext_type", 5),
    Bits("teletext_magazine_number", 3),
    Bits("teletext_page_number", 8),
};
constexpr TFieldDesc kVBITeletext[] = {
    Loop("VBI_teletext_descriptors", "VBI_teletext_descriptor #", DescriptorLength(), {5}, kTeletextEntry),
};

constexpr TFieldDesc kBouquetName[] = {
    TextRun("name", DescriptorLength()),
};

constexpr TFieldDesc kService[] = {
    Bits("service_type", 8),
    Bits("service_provider_name_length", 8),
    TextRun("service_provider_name", LengthField("service_provider_name_length")),
    Bits("service_name_length", 8),
    TextRun("service_name", LengthField("service_name_length")),
};

constexpr TFieldDesc kCountryCode[] = {
    Bits("country_code", 24),
};
constexpr TFieldDesc kCountryAvailability[] = {
    Bits("country_availability_flag", 1),
    Bits("reserved_future_use", 7),
    Loop("country_codes", "country_code #", DescriptorLength(1), {3}, kCountryCode),
};

constexpr TFieldDesc kNVODReferenceEntry[] = {
    Bits("transport_stream_id", 16),
    Bits("original_network_id", 16),
    Bits("service_id", 16),
};
constexpr TFieldDesc kNVODReference[] = {
    Loop("NVOD_reference_descriptors", "NVOD_reference_descriptor #", DescriptorLength(), {6},
         kNVODReferenceEntry),
};

constexpr TFieldDesc kTimeShiftedService[] = {
    Bits("reference_service_id", 16),
};

constexpr TFieldDesc kShortEvent[] = {
    ISO639(),
    Bits("event_name_length", 8),
    TextRun("event_name", LengthField("event_name_length")),
    Bits("text_length", 8),
    TextRun("text", LengthField("text_length")),
};

constexpr TFieldDesc kTimeShiftedEvent[] = {
    Bits("reference_service_id", 16),
    Bits("reference_event_id", 16),
};

constexpr TFieldDesc kComponent[] = {
    Bits("reserved_future_use", 4),
    Bits("stream_content", 4),
    Bits("component_type", 8),
    Bits("component_tag", 8),
    ISO639(),
    TextRun("text_char", DescriptorLength(6)),
};

constexpr TFieldDesc kStreamIdentifier[] = {
    HexBits("component_tag", 8),
};

constexpr TFieldDesc kCASystemId[] = {
    Bits("CA_system_id", 16),
};
constexpr TFieldDesc kCAIdentifier[] = {
    Loop("CA_system_ids", "CA_system_id #", DescriptorLength(), {2}, kCASystemId),
};

constexpr TFieldDesc kContentEntry[] = {
    Bits("content_nibble_level_1", 4),
    Bits("content_nibble_level_2", 4),
    Bits("user_nibble_0", 4),
    Bits("user_nibble_1", 4),
};
constexpr TFieldDesc kContent[] = {
    Loop("contents", "content #", DescriptorLength(), {2}, kContentEntry),
};

constexpr TFieldDesc kParentalRatingEntry[] = {
    Bits("country_code", 24),
    Bits("rating", 8),
};
constexpr TFieldDesc kParentalRating[] = {
    Loop("parental_ratings", "parental_rating #", DescriptorLength(), {4}, kParentalRatingEntry),
};

constexpr TFieldDesc kTeletext[] = {
    Loop("teletext_descriptors", "teletext_descriptor #", DescriptorLength(), {5}, kTeletextEntry),
};

// local_time_offset is BCD; time_of_change is 16 bits of MJD and 24 of BCD
// time, kept as one 40-bit number.
constexpr TFieldDesc kLocalTimeOffsetEntry[] = {
    Bits("country_code", 24),
    Bits("country_region_id", 6),
    Bits("reserved", 1),
    Bits("local_time_offset_polarity", 1),
    Bits("local_time_offset", 16).Means(meanings::Offset, "local_time_offset_polarity"),
    Bits("time_of_change", 40).Means(meanings::MJDTime),
    Bits("next_time_offset", 16).Means(meanings::Offset, "local_time_offset_polarity"),
};
constexpr TFieldDesc kLocalTimeOffset[] = {
    Loop("local_time_offset_descriptors", "local_time_offset_descriptor #", DescriptorLength(), {13},
         kLocalTimeOffsetEntry),
};

constexpr TFieldDesc kSubtitlingEntry[] = {
    ISO639(),
    Bits("subtitling_type", 8),
    Bits("composition_page_id", 16),
    Bits("ancillary_page_id", 16),
};
constexpr TFieldDesc kSubtitling[] = {
    Loop("subtitling_descriptors", "subtitling_descriptor #", DescriptorLength(), {8}, kSubtitlingEntry),
};

constexpr TFieldDesc kTerrestrialDeliverySystem[] = {
    Bits("centre_frequency", 32).Means(meanings::TerrestrialFrequency),
    Bits("bandwidth", 3),
    Bits("priority", 1),
    Bits("Time_Slicing_indicator", 1),
    Bits("MPE_FEC_indicator", 1),
    Bits("reserved_future_use", 2),
    Bits("constellation", 2),
    Bits("hierarchy_information", 3),
    Bits("code_rate_HP_stream", 3),
    Bits("code_rate_LP_stream", 3),
    Bits("guard_interval", 2),
    Bits("transmission_mode", 2),
    Bits("other_frequency_flag", 1),
    Bits("reserved_future_use", 32),
};

constexpr TFieldDesc kMultilingualNetworkNameEntry[] = {
    ISO639(),
    Bits("network_name_length", 8),
    TextRun("char", LengthField("network_name_length")),
};
constexpr TFieldDesc kMultilingualNetworkName[] = {
    Loop("multilingual_network_name_descriptors", "multilingual_network_name_descriptor #", DescriptorLength(),
         {4, {"network_name_length"}}, kMultilingualNetworkNameEntry),
};

constexpr TFieldDesc kMultilingualBouquetNameEntry[] = {
    ISO639(),
    Bits("bouquet_name_length", 8),
    TextRun("name", LengthField("bouquet_name_length")),
};
constexpr TFieldDesc kMultilingualBouquetName[] = {
    Loop("bouquet_names", "bouquet_name #", DescriptorLength(), {4, {"bouquet_name_length"}},
         kMultilingualBouquetNameEntry),
};

constexpr TFieldDesc kMultilingualServiceNameEntry[] = {
    ISO639(),
    Bits("service_provider_name_length", 8),
    TextRun("service_provider_name", LengthField("service_provider_name_length")),
    Bits("service_name_length", 8),
    TextRun("service_name", LengthField("service_name_length")),
};
constexpr TFieldDesc kMultilingualServiceName[] = {
    Loop("multilingual_service_name_descriptors", "multilingual_service_name_descriptor #", DescriptorLength(),
         {5, {"service_provider_name_length", "service_name_length"}}, kMultilingualServiceNameEntry),
};

constexpr TFieldDesc kMultilingualComponentEntry[] = {
    ISO639(),
    Bits("text_description_length", 8),
    TextRun("text_char", LengthField("text_description_length")),
};
constexpr TFieldDesc kMultilingualComponent[] = {
    HexBits("component_tag", 8),
    Loop("multilingual_component_descriptors", "multilingual_component_descriptor #", DescriptorLength(1),
         {4, {"text_description_length"}}, kMultilingualComponentEntry),
};

constexpr TFieldDesc kPrivateDataSpecifier[] = {
    Bits("private_data_specifier", 32),
};
// clang-format on

}  // namespace

TESSARO_DVB_FIELD_DESCRIPTORS_40(TESSARO_DEFINE_DVB_FIELDS)

std::span<const TDescriptorEntry> DVBDescriptors40Entries() {
  static constexpr TDescriptorEntry kEntries[] = {TESSARO_DVB_FIELD_DESCRIPTORS_40(TESSARO_DVB_FIELDS_ENTRY)};
  return kEntries;
}

}  // namespace tessaro
