// The DVB descriptors of ETSI EN 300 468 from tag 0x60 on whose shape a field
// table does not fit: the AC-3 descriptor (optional bytes chosen by flags),
// the announcement support descriptor (entries of two sizes) and the two cell
// descriptors (a loop inside a loop, with the cell-level fields shown under
// the descriptor node after the group of cells).
//
// As with every DVB descriptor, the parse routines take the bit reader at the
// descriptor_tag and accept whatever they are given: fields past the end of
// the reader's data read as 0, byte runs are cut there, and no loop starts an
// entry past it. Loops hold at most 256 entries, inner loops 256 per cell.
// While positions are active, each field and run is recorded where it lies,
// keyed by its member of the record.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/BitStream.h"
#include "core/TreeNode.h"
#include "descriptors/DescriptorEntry.h"
#include "descriptors/DescriptorForm.h"
#include "descriptors/DescriptorRecord.h"

namespace tessaro {

// Entries a loop of these descriptors holds at most (outer and inner alike).
inline constexpr size_t kMaxDVBLoopEntries = kMaxLoopEntries;

// AC-3_descriptor (ETSI EN 300 468, AC-3 descriptor syntax).
struct TAC_3_descriptor_class : TDescriptorRecord {
  uint32_t component_type_flag = 0;
  uint32_t bsid_flag = 0;
  uint32_t mainid_flag = 0;
  uint32_t asvc_flag = 0;
  uint32_t reserved_flags = 0;
  uint32_t component_type = 0;  // each of these four only when its flag is 1
  uint32_t bsid = 0;
  uint32_t mainid = 0;
  uint32_t asvc = 0;
  // Bytes of additional_info copied: those inside the reader's data.
  int32_t additional_info_length = 0;
  std::array<uint8_t, 256> additional_info{};
};

// announcement_support_descriptor: one entry per announcement type; the
// service fields only when reference_type is 1, 2 or 3.
struct Tannouncement_support_descriptor_class : TDescriptorRecord {
  uint32_t announcement_support_indicator = 0;
  int32_t announcement_count = 0;
  std::array<uint32_t, kMaxDVBLoopEntries> announcement_type{};
  std::array<uint32_t, kMaxDVBLoopEntries> reserved_future_use{};
  std::array<uint32_t, kMaxDVBLoopEntries> reference_type{};
  std::array<uint32_t, kMaxDVBLoopEntries> original_network_id{};
  std::array<uint32_t, kMaxDVBLoopEntries> transport_stream_id{};
  std::array<uint32_t, kMaxDVBLoopEntries> service_id{};
  std::array<uint32_t, kMaxDVBLoopEntries> component_tag{};
};

// cell_list_descriptor. Coordinates and extents are kept as their raw bits.
struct Tcell_list_subcell {
  uint32_t cell_id_extension = 0;
  uint32_t subcell_latitude = 0;
  uint32_t subcell_longitude = 0;
  uint32_t subcell_extent_of_latitude = 0;
  uint32_t subcell_extent_of_longitude = 0;
};
struct Tcell_list_cell {
  uint32_t cell_id = 0;
  uint32_t cell_latitude = 0;
  uint32_t cell_longitude = 0;
  uint32_t cell_extent_of_latitude = 0;
  uint32_t cell_extent_of_longitude = 0;
  uint32_t subcell_info_loop_length = 0;
  std::vector<Tcell_list_subcell> subcells;  // at most kMaxDVBLoopEntries
};
struct Tcell_list_descriptor_class : TDescriptorRecord {
  std::vector<Tcell_list_cell> cells;  // at most kMaxDVBLoopEntries
};

// cell_frequency_link_descriptor. Frequencies are kept as their raw bits.
struct Tcell_frequency_link_cell_info {
  uint32_t cell_id_extension = 0;
  uint32_t transposer_frequency = 0;
};
struct Tcell_frequency_link_cell {
  uint32_t cell_id = 0;
  uint32_t frequency = 0;
  uint32_t subcell_info_loop_length = 0;
  std::vector<Tcell_frequency_link_cell_info> cell_infos;  // at most kMaxDVBLoopEntries
};
struct Tcell_frequency_link_descriptor_class : TDescriptorRecord {
  std::vector<Tcell_frequency_link_cell> cells;  // at most kMaxDVBLoopEntries
};

// The descriptors of this module, one row each: X(name, tag, record type).
#define TESSARO_DVB_IRREGULAR_DESCRIPTORS_60(X)                                  \
  X(AC_3_descriptor, 0x6A, TAC_3_descriptor_class)                               \
  X(cell_list_descriptor, 0x6C, Tcell_list_descriptor_class)                     \
  X(cell_frequency_link_descriptor, 0x6D, Tcell_frequency_link_descriptor_class) \
  X(announcement_support_descriptor, 0x6E, Tannouncement_support_descriptor_class)

TESSARO_DVB_IRREGULAR_DESCRIPTORS_60(TESSARO_DECLARE_DVB_ROUTINES)

// The rows of the dispatch table for these descriptors.
std::span<const TDescriptorEntry> DVBIrregularDescriptors60Entries();

}  // namespace tessaro
