// The DVB descriptors of tags 0x40 to 0x5F whose shape is irregular (ETSI EN
// 300 468): VBI_data, linkage, extended_event, mosaic and telephone. Each has
// its own record and a hand-written parse and display routine.
//
// The rules of the plain DVB descriptors hold here too: the bit reader stands
// at the descriptor_tag over the rest of the descriptor loop, every descriptor
// is accepted, loops read whole entries while their counter is above 0 and
// start no entry once the loop's bytes are used up, no loop holds more than
// 256 entries, and byte runs are cut where the loop's bytes end (a run's
// vector holds the bytes that lie inside). While positions are active, each
// field and run is recorded where it lies, keyed by its member of the record.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/BitStream.h"
#include "core/TreeNode.h"
#include "descriptors/DescriptorEntry.h"
#include "descriptors/DescriptorRecord.h"

namespace tessaro {

// VBI_data_descriptor: one data service.
struct TVBIDataService {
  // One line of the service (data_service_id 1, 2, 4, 5, 6 and 7).
  struct TLine {
    uint32_t reserved = 0;
    uint32_t field_parity = 0;
    uint32_t line_offset = 0;
  };
  uint32_t data_service_id = 0;
  uint32_t data_service_descriptor_length = 0;
  std::vector<TLine> lines;
  std::vector<uint8_t> reserved;  // the bytes of any other data_service_id
};
struct TVBI_data_descriptor_class : TDescriptorRecord {
  std::vector<TVBIDataService> services;
};

struct Tlinkage_descriptor_class : TDescriptorRecord {
  uint32_t transport_stream_id = 0;
  uint32_t original_network_id = 0;
  uint32_t service_id = 0;
  uint32_t linkage_type = 0;
  // linkage_type 8 (mobile hand-over) only.
  uint32_t hand_over_type = 0;
  uint32_t reserved_future_use = 0;
  uint32_t origin_type = 0;
  uint32_t network_id = 0;          // hand_over_type 1, 2 and 3
  uint32_t initial_service_id = 0;  // origin_type 0
  std::vector<uint8_t> private_data_byte;
};

struct TExtendedEventItem {
  uint32_t item_description_length = 0;
  std::vector<uint8_t> item_description_char;
  uint32_t item_length = 0;
  std::vector<uint8_t> item_char;
};
struct Textended_event_descriptor_class : TDescriptorRecord {
  uint32_t descriptor_number = 0;
  uint32_t last_descriptor_number = 0;
  uint32_t ISO_639_language_code = 0;
  uint32_t length_of_items = 0;
  std::vector<TExtendedEventItem> items;
  uint32_t text_length = 0;
  std::vector<uint8_t> text_char;
};

// mosaic_descriptor: one logical cell.
struct TMosaicCell {
  struct TElementaryCell {
    uint32_t reserved_future_use = 0;
    uint32_t elementary_cell_id = 0;
  };
  uint32_t logical_cell_id = 0;
  uint32_t reserved_future_use = 0;
  uint32_t logical_cell_presentation_info = 0;
  uint32_t elementary_cell_field_length = 0;
  std::vector<TElementaryCell> elementary_cells;
  uint32_t cell_linkage_info = 0;
  uint32_t bouquet_id = 0;           // cell_linkage_info 1
  uint32_t original_network_id = 0;  // cell_linkage_info 2, 3 and 4
  uint32_t transport_stream_id = 0;
  uint32_t service_id = 0;
  uint32_t event_id = 0;  // cell_linkage_info 4
};
struct Tmosaic_descriptor_class : TDescriptorRecord {
  uint32_t mosaic_entry_point = 0;
  uint32_t number_of_horizontal_elementary_cells = 0;
  uint32_t reserved_future_use = 0;
  uint32_t number_of_vertical_elementary_cells = 0;
  std::vector<TMosaicCell> cells;
};

struct Ttelephone_descriptor_class : TDescriptorRecord {
  uint32_t reserved_future_use_1 = 0;
  uint32_t foreign_availability = 0;
  uint32_t connection_type = 0;
  uint32_t reserved_future_use_2 = 0;
  uint32_t country_prefix_length = 0;
  uint32_t international_area_code_length = 0;
  uint32_t operator_code_length = 0;
  uint32_t reserved_future_use_3 = 0;
  uint32_t national_area_code_length = 0;
  uint32_t core_number_length = 0;
  std::vector<uint8_t> country_prefix;
  std::vector<uint8_t> international_area_code;
  std::vector<uint8_t> operator_code;
  std::vector<uint8_t> national_area_code;
  std::vector<uint8_t> core_number;
};

// The descriptors of this module, one row each: X(name, tag, record type).
#define TESSARO_DVB_SPECIAL_DESCRIPTORS_40(X)                          \
  X(VBI_data_descriptor, 0x45, TVBI_data_descriptor_class)             \
  X(linkage_descriptor, 0x4A, Tlinkage_descriptor_class)               \
  X(extended_event_descriptor, 0x4E, Textended_event_descriptor_class) \
  X(mosaic_descriptor, 0x51, Tmosaic_descriptor_class)                 \
  X(telephone_descriptor, 0x57, Ttelephone_descriptor_class)

TESSARO_DVB_SPECIAL_DESCRIPTORS_40(TESSARO_DECLARE_DVB_ROUTINES)

// The rows of the dispatch table for these descriptors.
std::span<const TDescriptorEntry> DVBIrregularDescriptors40Entries();

}  // namespace tessaro
