#include "descriptors/DescriptorRegistry.h"

#include <array>

#include "descriptors/DVBDescriptors40.h"
#include "descriptors/DVBDescriptors60.h"
#include "descriptors/DVBIrregularDescriptors60.h"
#include "descriptors/DVBSpecialDescriptors40.h"
#include "descriptors/SystemsDescriptors.h"
#include "descriptors/UserDefinedDescriptor.h"

namespace tessaro {
namespace {

template <class R>
std::unique_ptr<TDescriptorRecord> MakeRecord() {
  return std::make_unique<R>();
}

// Typed routines behind the row's untyped pointers. A record of another type
// (never made by the lists, which create each record from its own row) is refused.
template <class R, auto Parse>
bool ParseSystemsAs(const uint8_t* bytes, int32_t available, TDescriptorRecord& record) {
  auto* typed = dynamic_cast<R*>(&record);
  return typed != nullptr && Parse(bytes, available, *typed);
}
template <class R, auto Parse>
bool ParseDVBAs(TBitStream4& reader, TDescriptorRecord& record) {
  auto* typed = dynamic_cast<R*>(&record);
  return typed != nullptr && Parse(reader, *typed);
}
template <class R, auto Show>
bool ShowAs(TTreeNode& parent, const TDescriptorRecord& record) {
  const auto* typed = dynamic_cast<const R*>(&record);
  return typed != nullptr && Show(parent, *typed);
}

// A systems descriptor: accepted in PMT loops only.
template <class R, auto Parse, auto Show>
constexpr TDescriptorEntry Systems(uint8_t tag, const char* name) {
  return {tag, name, kProgramLoops, &MakeRecord<R>, &ParseSystemsAs<R, Parse>, nullptr, &ShowAs<R, Show>};
}

// A DVB or user-defined descriptor: accepted in every loop.
template <class R, auto Parse, auto Show>
constexpr TDescriptorEntry DVB(uint8_t tag, const char* name) {
  return {tag, name, kProgramLoops | kSILoops, &MakeRecord<R>, nullptr, &ParseDVBAs<R, Parse>, &ShowAs<R, Show>};
}

// A DVB or user-defined descriptor whose routines are not plugged in yet: the
// lists accept its tag but end their walk there. Plugging one in replaces
// DVBToDo(tag, name) with DVB<record type, Parse_x, TreeView_Update_x>(tag, name).
constexpr TDescriptorEntry DVBToDo(uint8_t tag, const char* name) {
  return {tag, name, kProgramLoops | kSILoops, nullptr, nullptr, nullptr, nullptr};
}

using TFR = TFieldRecord;

constexpr TDescriptorEntry kRows[] = {
    // ISO/IEC 13818-1 systems descriptors.
    Systems<TFR, Parse_video_stream_descriptor, TreeView_Update_video_stream_descriptor>(0x02, "video_stream_descriptor"),
    Systems<TFR, Parse_audio_stream_descriptor, TreeView_Update_audio_stream_descriptor>(0x03, "audio_stream_descriptor"),
    Systems<TFR, Parse_hierarchy_descriptor, TreeView_Update_hierarchy_descriptor>(0x04, "hierarchy_descriptor"),
    Systems<Tregistration_descriptor_class, Parse_registration_descriptor, TreeView_Update_registration_descriptor>(
        0x05, "registration_descriptor"),
    Systems<TFR, Parse_data_stream_alignment_descriptor, TreeView_Update_data_stream_alignment_descriptor>(
        0x06, "data_stream_alignment_descriptor"),
    Systems<TFR, Parse_target_background_grid_descriptor, TreeView_Update_target_background_grid_descriptor>(
        0x07, "target_background_grid_descriptor"),
    Systems<TFR, Parse_video_window_descriptor, TreeView_Update_video_window_descriptor>(0x08, "video_window_descriptor"),
    Systems<TCA_descriptor_class, Parse_CA_descriptor, TreeView_Update_CA_descriptor>(0x09, "CA_descriptor"),
    Systems<TFR, Parse_ISO_639_language_descriptor, TreeView_Update_ISO_639_language_descriptor>(
        0x0A, "ISO_639_language_descriptor"),
    Systems<TFR, Parse_system_clock_descriptor, TreeView_Update_system_clock_descriptor>(0x0B, "system_clock_descriptor"),
    Systems<TFR, Parse_multiplex_buffer_utilization_descriptor,
            TreeView_Update_multiplex_buffer_utilization_descriptor>(0x0C, "multiplex_buffer_utilization_descriptor"),
    Systems<TFR, Parse_copyright_descriptor, TreeView_Update_copyright_descriptor>(0x0D, "copyright_descriptor"),
    Systems<TFR, Parse_maximum_bitrate_descriptor, TreeView_Update_maximum_bitrate_descriptor>(
        0x0E, "maximum_bitrate_descriptor"),
    Systems<TFR, Parse_private_data_indicator_descriptor, TreeView_Update_private_data_indicator_descriptor>(
        0x0F, "private_data_indicator_descriptor"),
    Systems<TFR, Parse_smoothing_buffer_descriptor, TreeView_Update_smoothing_buffer_descriptor>(
        0x10, "smoothing_buffer_descriptor"),
    Systems<TFR, Parse_STD_descriptor, TreeView_Update_STD_descriptor>(0x11, "STD_descriptor"),
    Systems<TFR, Parse_ibp_descriptor, TreeView_Update_ibp_descriptor>(0x12, "ibp_descriptor"),
    Systems<TFR, Parse_MPEG_4_video_descriptor, TreeView_Update_MPEG_4_video_descriptor>(0x1B, "MPEG_4_video_descriptor"),
    Systems<TFR, Parse_MPEG_4_audio_descriptor, TreeView_Update_MPEG_4_audio_descriptor>(0x1C, "MPEG_4_audio_descriptor"),
    Systems<TFR, Parse_IOD_descriptor, TreeView_Update_IOD_descriptor>(0x1D, "IOD_descriptor"),
    Systems<TFR, Parse_SL_descriptor, TreeView_Update_SL_descriptor>(0x1E, "SL_descriptor"),
    Systems<TFR, Parse_FMC_descriptor, TreeView_Update_FMC_descriptor>(0x1F, "FMC_descriptor"),
    Systems<TFR, Parse_External_ES_ID_descriptor, TreeView_Update_External_ES_ID_descriptor>(
        0x20, "External_ES_ID_descriptor"),
    Systems<TFR, Parse_Muxcode_descriptor, TreeView_Update_Muxcode_descriptor>(0x21, "Muxcode_descriptor"),
    Systems<TFR, Parse_FmxBufferSize_descriptor, TreeView_Update_FmxBufferSize_descriptor>(
        0x22, "FmxBufferSize_descriptor"),
    Systems<TFR, Parse_MultiplexBuffer_descriptor, TreeView_Update_MultiplexBuffer_descriptor>(
        0x23, "MultiplexBuffer_descriptor"),

    // ETSI EN 300 468 descriptors.
    DVB<TFR, Parse_network_name_descriptor, TreeView_Update_network_name_descriptor>(0x40, "network_name_descriptor"),
    DVB<TFR, Parse_service_list_descriptor, TreeView_Update_service_list_descriptor>(0x41, "service_list_descriptor"),
    DVB<TFR, Parse_stuffing_descriptor, TreeView_Update_stuffing_descriptor>(0x42, "stuffing_descriptor"),
    DVB<TFR, Parse_satellite_delivery_system_descriptor, TreeView_Update_satellite_delivery_system_descriptor>(
        0x43, "satellite_delivery_system_descriptor"),
    DVB<TFR, Parse_cable_delivery_system_descriptor, TreeView_Update_cable_delivery_system_descriptor>(
        0x44, "cable_delivery_system_descriptor"),
    DVB<TVBI_data_descriptor_class, Parse_VBI_data_descriptor, TreeView_Update_VBI_data_descriptor>(
        0x45, "VBI_data_descriptor"),
    DVB<TFR, Parse_VBI_teletext_descriptor, TreeView_Update_VBI_teletext_descriptor>(0x46, "VBI_teletext_descriptor"),
    DVB<TFR, Parse_bouquet_name_descriptor, TreeView_Update_bouquet_name_descriptor>(0x47, "bouquet_name_descriptor"),
    DVB<TFR, Parse_service_descriptor, TreeView_Update_service_descriptor>(0x48, "service_descriptor"),
    DVB<TFR, Parse_country_availability_descriptor, TreeView_Update_country_availability_descriptor>(
        0x49, "country_availability_descriptor"),
    DVB<Tlinkage_descriptor_class, Parse_linkage_descriptor, TreeView_Update_linkage_descriptor>(
        0x4A, "linkage_descriptor"),
    DVB<TFR, Parse_NVOD_reference_descriptor, TreeView_Update_NVOD_reference_descriptor>(
        0x4B, "NVOD_reference_descriptor"),
    DVB<TFR, Parse_time_shifted_service_descriptor, TreeView_Update_time_shifted_service_descriptor>(
        0x4C, "time_shifted_service_descriptor"),
    DVB<TFR, Parse_short_event_descriptor, TreeView_Update_short_event_descriptor>(0x4D, "short_event_descriptor"),
    DVB<Textended_event_descriptor_class, Parse_extended_event_descriptor, TreeView_Update_extended_event_descriptor>(
        0x4E, "extended_event_descriptor"),
    DVB<TFR, Parse_time_shifted_event_descriptor, TreeView_Update_time_shifted_event_descriptor>(
        0x4F, "time_shifted_event_descriptor"),
    DVB<TFR, Parse_component_descriptor, TreeView_Update_component_descriptor>(0x50, "component_descriptor"),
    DVB<Tmosaic_descriptor_class, Parse_mosaic_descriptor, TreeView_Update_mosaic_descriptor>(
        0x51, "mosaic_descriptor"),
    DVB<TFR, Parse_stream_identifier_descriptor, TreeView_Update_stream_identifier_descriptor>(
        0x52, "stream_identifier_descriptor"),
    DVB<TFR, Parse_CA_identifier_descriptor, TreeView_Update_CA_identifier_descriptor>(
        0x53, "CA_identifier_descriptor"),
    DVB<TFR, Parse_content_descriptor, TreeView_Update_content_descriptor>(0x54, "content_descriptor"),
    DVB<TFR, Parse_parental_rating_descriptor, TreeView_Update_parental_rating_descriptor>(
        0x55, "parental_rating_descriptor"),
    DVB<TFR, Parse_teletext_descriptor, TreeView_Update_teletext_descriptor>(0x56, "teletext_descriptor"),
    DVB<Ttelephone_descriptor_class, Parse_telephone_descriptor, TreeView_Update_telephone_descriptor>(
        0x57, "telephone_descriptor"),
    DVB<TFR, Parse_local_time_offset_descriptor, TreeView_Update_local_time_offset_descriptor>(
        0x58, "local_time_offset_descriptor"),
    DVB<TFR, Parse_subtitling_descriptor, TreeView_Update_subtitling_descriptor>(0x59, "subtitling_descriptor"),
    DVB<TFR, Parse_terrestrial_delivery_system_descriptor, TreeView_Update_terrestrial_delivery_system_descriptor>(
        0x5A, "terrestrial_delivery_system_descriptor"),
    DVB<TFR, Parse_multilingual_network_name_descriptor, TreeView_Update_multilingual_network_name_descriptor>(
        0x5B, "multilingual_network_name_descriptor"),
    DVB<TFR, Parse_multilingual_bouquet_name_descriptor, TreeView_Update_multilingual_bouquet_name_descriptor>(
        0x5C, "multilingual_bouquet_name_descriptor"),
    DVB<TFR, Parse_multilingual_service_name_descriptor, TreeView_Update_multilingual_service_name_descriptor>(
        0x5D, "multilingual_service_name_descriptor"),
    DVB<TFR, Parse_multilingual_component_descriptor, TreeView_Update_multilingual_component_descriptor>(
        0x5E, "multilingual_component_descriptor"),
    DVB<TFR, Parse_private_data_specifier_descriptor, TreeView_Update_private_data_specifier_descriptor>(
        0x5F, "private_data_specifier_descriptor"),
    DVB<TFR, Parse_service_move_descriptor, TreeView_Update_service_move_descriptor>(0x60, "service_move_descriptor"),
    DVB<TFR, Parse_short_smoothing_buffer_descriptor, TreeView_Update_short_smoothing_buffer_descriptor>(
        0x61, "short_smoothing_buffer_descriptor"),
    DVB<TFR, Parse_frequency_list_descriptor, TreeView_Update_frequency_list_descriptor>(
        0x62, "frequency_list_descriptor"),
    DVB<TFR, Parse_partial_transport_stream_descriptor, TreeView_Update_partial_transport_stream_descriptor>(
        0x63, "partial_transport_stream_descriptor"),
    DVB<TFR, Parse_data_broadcast_descriptor, TreeView_Update_data_broadcast_descriptor>(
        0x64, "data_broadcast_descriptor"),
    DVB<TFR, Parse_scrambling_descriptor, TreeView_Update_scrambling_descriptor>(0x65, "scrambling_descriptor"),
    DVB<TFR, Parse_data_broadcast_id_descriptor, TreeView_Update_data_broadcast_id_descriptor>(
        0x66, "data_broadcast_id_descriptor"),
    DVB<TFR, Parse_transport_stream_descriptor, TreeView_Update_transport_stream_descriptor>(
        0x67, "transport_stream_descriptor"),
    DVB<TFR, Parse_DSNG_descriptor, TreeView_Update_DSNG_descriptor>(0x68, "DSNG_descriptor"),
    DVB<TFR, Parse_PDC_descriptor, TreeView_Update_PDC_descriptor>(0x69, "PDC_descriptor"),
    DVB<TAC_3_descriptor_class, Parse_AC_3_descriptor, TreeView_Update_AC_3_descriptor>(0x6A, "AC_3_descriptor"),
    DVB<TFR, Parse_ancillary_data_descriptor, TreeView_Update_ancillary_data_descriptor>(
        0x6B, "ancillary_data_descriptor"),
    DVB<Tcell_list_descriptor_class, Parse_cell_list_descriptor, TreeView_Update_cell_list_descriptor>(
        0x6C, "cell_list_descriptor"),
    DVB<Tcell_frequency_link_descriptor_class, Parse_cell_frequency_link_descriptor,
        TreeView_Update_cell_frequency_link_descriptor>(0x6D, "cell_frequency_link_descriptor"),
    DVB<Tannouncement_support_descriptor_class, Parse_announcement_support_descriptor,
        TreeView_Update_announcement_support_descriptor>(0x6E, "announcement_support_descriptor"),
    DVB<TFR, Parse_application_signalling_descriptor, TreeView_Update_application_signalling_descriptor>(
        0x6F, "application_signalling_descriptor"),
    DVB<TFR, Parse_adaptation_field_data_descriptor, TreeView_Update_adaptation_field_data_descriptor>(
        0x70, "adaptation_field_data_descriptor"),
    DVB<TFR, Parse_service_identifier_descriptor, TreeView_Update_service_identifier_descriptor>(
        0x71, "service_identifier_descriptor"),
    DVB<TFR, Parse_service_availability_descriptor, TreeView_Update_service_availability_descriptor>(
        0x72, "service_availability_descriptor"),
    DVB<TFR, Parse_default_authority_descriptor, TreeView_Update_default_authority_descriptor>(
        0x73, "default_authority_descriptor"),
    DVB<TFR, Parse_related_content_descriptor, TreeView_Update_related_content_descriptor>(
        0x74, "related_content_descriptor"),
    DVB<TFR, Parse_TVA_id_descriptor, TreeView_Update_TVA_id_descriptor>(0x75, "TVA_id_descriptor"),
    DVB<TFR, Parse_content_identifier_descriptor, TreeView_Update_content_identifier_descriptor>(
        0x76, "content_identifier_descriptor"),
    DVB<TFR, Parse_time_slice_fec_identifier_descriptor, TreeView_Update_time_slice_fec_identifier_descriptor>(
        0x77, "time_slice_fec_identifier_descriptor"),
    DVB<TFR, Parse_ECM_repetition_rate_descriptor, TreeView_Update_ECM_repetition_rate_descriptor>(
        0x78, "ECM_repetition_rate_descriptor"),

    // Tags 0x80 to 0xFE all use this row.
    DVB<TFR, Parse_user_defined, TreeView_Update_user_defined>(0x80, "user_defined"),
};

constexpr uint8_t kFirstUserDefined = 0x80;
constexpr uint8_t kLastUserDefined = 0xFE;
constexpr TDescriptorEntry kNoDescriptor{};

const std::array<const TDescriptorEntry*, 256>& RowsByTag() {
  static const std::array<const TDescriptorEntry*, 256> byTag = [] {
    std::array<const TDescriptorEntry*, 256> table{};
    table.fill(&kNoDescriptor);
    for (const TDescriptorEntry& row : kRows) table[row.tag] = &row;
    for (int tag = kFirstUserDefined; tag <= kLastUserDefined; ++tag) table[tag] = table[kFirstUserDefined];
    return table;
  }();
  return byTag;
}

}  // namespace

const TDescriptorEntry& FindDescriptor(uint8_t tag) { return *RowsByTag()[tag]; }

const char* DescriptorName(uint8_t tag) {
  const char* name = FindDescriptor(tag).name;
  return name != nullptr ? name : "";
}

}  // namespace tessaro
