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

#include <span>

#include "core/BitStream.h"
#include "core/TreeNode.h"
#include "descriptors/DescriptorEntry.h"
#include "descriptors/FieldTable.h"

namespace tessaro {

// The descriptors of this module, one row each: X(name, tag, field list); the
// field lists are in the .cpp.
#define TESSARO_DVB_FIELD_DESCRIPTORS_60(X)                             \
  X(service_move_descriptor, 0x60, kServiceMove)                        \
  X(short_smoothing_buffer_descriptor, 0x61, kShortSmoothingBuffer)     \
  X(frequency_list_descriptor, 0x62, kFrequencyList)                    \
  X(partial_transport_stream_descriptor, 0x63, kPartialTransportStream) \
  X(data_broadcast_descriptor, 0x64, kDataBroadcast)                    \
  X(scrambling_descriptor, 0x65, kScrambling)                           \
  X(data_broadcast_id_descriptor, 0x66, kDataBroadcastId)               \
  X(transport_stream_descriptor, 0x67, kTransportStream)                \
  X(DSNG_descriptor, 0x68, kRawData)                                    \
  X(PDC_descriptor, 0x69, kPDC)                                         \
  X(ancillary_data_descriptor, 0x6B, kAncillaryData)                    \
  X(application_signalling_descriptor, 0x6F, kRawData)                  \
  X(adaptation_field_data_descriptor, 0x70, kAdaptationFieldData)       \
  X(service_identifier_descriptor, 0x71, kRawData)                      \
  X(service_availability_descriptor, 0x72, kRawData)                    \
  X(default_authority_descriptor, 0x73, kRawData)                       \
  X(related_content_descriptor, 0x74, kRawData)                         \
  X(TVA_id_descriptor, 0x75, kRawData)                                  \
  X(content_identifier_descriptor, 0x76, kRawData)                      \
  X(time_slice_fec_identifier_descriptor, 0x77, kRawData)               \
  X(ECM_repetition_rate_descriptor, 0x78, kRawData)

TESSARO_DVB_FIELD_DESCRIPTORS_60(TESSARO_DECLARE_DVB_FIELDS)

// The rows of the dispatch table for these descriptors.
std::span<const TDescriptorEntry> DVBDescriptors60Entries();

}  // namespace tessaro
