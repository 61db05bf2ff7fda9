// The plainly shaped DVB descriptors of tags 0x40 to 0x5F (ETSI EN 300 468):
// runs of fields, byte runs and simple loops, each written as a field table.
// The irregular ones of the range (linkage, mosaic, VBI data, extended event,
// telephone) are in DVBIrregularDescriptors40.h.
//
// Parse routines take the bit reader standing at the descriptor_tag, over the
// rest of the descriptor loop, and accept every descriptor. Values are kept
// raw: BCD frequencies, symbol rates and times are the numbers their bits make.
// Loops read whole entries while their counter is above 0, so a byte count
// that is not a whole number of entries reads one more entry from the bytes
// after the descriptor; no entry starts once the descriptor loop's bytes are
// used up, and byte runs are cut where those bytes end.
#pragma once

#include <span>

#include "core/BitStream.h"
#include "core/TreeNode.h"
#include "descriptors/DescriptorEntry.h"
#include "descriptors/FieldTable.h"

namespace tessaro {

// The descriptors of this module, one row each: X(name, tag, field list); the
// field lists are in the .cpp.
#define TESSARO_DVB_FIELD_DESCRIPTORS_40(X)                                   \
  X(network_name_descriptor, 0x40, kNetworkName)                              \
  X(service_list_descriptor, 0x41, kServiceList)                              \
  X(stuffing_descriptor, 0x42, kStuffing)                                     \
  X(satellite_delivery_system_descriptor, 0x43, kSatelliteDeliverySystem)     \
  X(cable_delivery_system_descriptor, 0x44, kCableDeliverySystem)             \
  X(VBI_teletext_descriptor, 0x46, kVBITeletext)                              \
  X(bouquet_name_descriptor, 0x47, kBouquetName)                              \
  X(service_descriptor, 0x48, kService)                                       \
  X(country_availability_descriptor, 0x49, kCountryAvailability)              \
  X(NVOD_reference_descriptor, 0x4B, kNVODReference)                          \
  X(time_shifted_service_descriptor, 0x4C, kTimeShiftedService)               \
  X(short_event_descriptor, 0x4D, kShortEvent)                                \
  X(time_shifted_event_descriptor, 0x4F, kTimeShiftedEvent)                   \
  X(component_descriptor, 0x50, kComponent)                                   \
  X(stream_identifier_descriptor, 0x52, kStreamIdentifier)                    \
  X(CA_identifier_descriptor, 0x53, kCAIdentifier)                            \
  X(content_descriptor, 0x54, kContent)                                       \
  X(parental_rating_descriptor, 0x55, kParentalRating)                        \
  X(teletext_descriptor, 0x56, kTeletext)                                     \
  X(local_time_offset_descriptor, 0x58, kLocalTimeOffset)                     \
  X(subtitling_descriptor, 0x59, kSubtitling)                                 \
  X(terrestrial_delivery_system_descriptor, 0x5A, kTerrestrialDeliverySystem) \
  X(multilingual_network_name_descriptor, 0x5B, kMultilingualNetworkName)     \
  X(multilingual_bouquet_name_descriptor, 0x5C, kMultilingualBouquetName)     \
  X(multilingual_service_name_descriptor, 0x5D, kMultilingualServiceName)     \
  X(multilingual_component_descriptor, 0x5E, kMultilingualComponent)          \
  X(private_data_specifier_descriptor, 0x5F, kPrivateDataSpecifier)

TESSARO_DVB_FIELD_DESCRIPTORS_40(TESSARO_DECLARE_DVB_FIELDS)

// The rows of the dispatch table for these descriptors.
std::span<const TDescriptorEntry> DVBDescriptors40Entries();

}  // namespace tessaro
