// The hand-written DVB descriptors from 0x60 on, whose shapes no field list holds.
#include "descriptors/DVBIrregularDescriptors60.h"

#include <algorithm>

#include "core/DVBValues.h"
#include "core/Diagnostics.h"

namespace tessaro {
namespace {

TESSARO_DVB_IRREGULAR_DESCRIPTORS_60(TESSARO_NAME_OF)

// additional_info fills what the flags and the optional bytes leave of the body.
int64_t AC3AdditionalInfoLength(const TAC_3_descriptor_class& r) {
  return static_cast<int64_t>(r.descriptor_length) - 1 - r.component_type_flag - r.bsid_flag - r.mainid_flag -
         r.asvc_flag;
}

// reference_type 1 to 3 name the service that carries the announcement.
bool ReferencesAService(uint32_t referenceType) { return referenceType >= 1 && referenceType <= 3; }

}  // namespace

bool Parse_AC_3_descriptor(TBitStream4& reader, TAC_3_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    StartRecord(reader, record);
    reader.Read(record.component_type_flag, 1);
    reader.Read(record.bsid_flag, 1);
    reader.Read(record.mainid_flag, 1);
    reader.Read(record.asvc_flag, 1);
    reader.Read(record.reserved_flags, 4);
    if (record.component_type_flag == 1) reader.Read(record.component_type, 8);
    if (record.bsid_flag == 1) reader.Read(record.bsid, 8);
    if (record.mainid_flag == 1) reader.Read(record.mainid, 8);
    if (record.asvc_flag == 1) reader.Read(record.asvc, 8);
    record.additional_info_length = ReadRun(reader, AC3AdditionalInfoLength(record), record.additional_info);
    return true;
  });
}

bool TreeView_Update_AC_3_descriptor(TTreeNode& parent, const TAC_3_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, NameOf(record), record);
    AddBitsField(node, "component_type_flag", record.component_type_flag, 1);
    AddBitsField(node, "bsid_flag", record.bsid_flag, 1);
    AddBitsField(node, "mainid_flag", record.mainid_flag, 1);
    AddBitsField(node, "asvc_flag", record.asvc_flag, 1);
    AddBitsField(node, "reserved_flags", record.reserved_flags, 4);
    if (record.component_type_flag == 1) AddBitsField(node, "component_type", record.component_type, 8);
    if (record.bsid_flag == 1) AddBitsField(node, "bsid", record.bsid, 8);
    if (record.mainid_flag == 1) AddBitsField(node, "mainid", record.mainid, 8);
    if (record.asvc_flag == 1) AddBitsField(node, "asvc", record.asvc, 8);
    AddRun(node, "additional_info", record.additional_info, record.additional_info_length);
    return true;
  });
}

bool Parse_announcement_support_descriptor(TBitStream4& reader, Tannouncement_support_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    StartRecord(reader, record);
    reader.Read(record.announcement_support_indicator, 16);
    int64_t counter = static_cast<int64_t>(record.descriptor_length) - 2;
    int32_t& n = record.announcement_count;
    while (NextEntry(counter, static_cast<size_t>(n), reader)) {
      reader.Read(record.announcement_type[n], 4);
      reader.Read(record.reserved_future_use[n], 1);
      reader.Read(record.reference_type[n], 3);
      counter -= 1;
      if (ReferencesAService(record.reference_type[n])) {
        reader.Read(record.original_network_id[n], 16);
        reader.Read(record.transport_stream_id[n], 16);
        reader.Read(record.service_id[n], 16);
        reader.Read(record.component_tag[n], 8);
        counter -= 7;
      }
      ++n;
    }
    return true;
  });
}

bool TreeView_Update_announcement_support_descriptor(TTreeNode& parent,
                                                     const Tannouncement_support_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, NameOf(record), record);
    AddBitsField(node, "announcement_support_indicator", record.announcement_support_indicator, 16);
    TTreeNode& group = node.Add("announcements");
    const int32_t count = std::clamp<int32_t>(record.announcement_count, 0, static_cast<int32_t>(kMaxDVBLoopEntries));
    for (int32_t i = 0; i < count; ++i) {
      TTreeNode& entry = group.Add(EntryText("announcement #", static_cast<size_t>(i)));
      AddBitsField(entry, "announcement_type", record.announcement_type[i], 4);
      AddBitsField(entry, "reserved_future_use", record.reserved_future_use[i], 1);
      AddBitsField(entry, "reference_type", record.reference_type[i], 3);
      if (ReferencesAService(record.reference_type[i])) {
        AddBitsField(entry, "original_network_id", record.original_network_id[i], 16);
        AddBitsField(entry, "transport_stream_id", record.transport_stream_id[i], 16);
        AddBitsField(entry, "service_id", record.service_id[i], 16);
        AddBitsField(entry, "component_tag", record.component_tag[i], 8);
      }
    }
    return true;
  });
}

// The outer loop's counter drops by each cell's fixed bytes and its
// subcell_info_loop_length, whatever the inner loop read.
bool Parse_cell_list_descriptor(TBitStream4& reader, Tcell_list_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    StartRecord(reader, record);
    ReserveEntries(record.cells, record.descriptor_length, 10);
    for (int64_t counter = record.descriptor_length; NextEntry(counter, record.cells.size(), reader);) {
      Tcell_list_cell& cell = record.cells.emplace_back();
      reader.Read(cell.cell_id, 16);
      reader.Read(cell.cell_latitude, 16);
      reader.Read(cell.cell_longitude, 16);
      reader.Read(cell.cell_extent_of_latitude, 12);
      reader.Read(cell.cell_extent_of_longitude, 12);
      reader.Read(cell.subcell_info_loop_length, 8);
      ReserveEntries(cell.subcells, cell.subcell_info_loop_length, 8);
      for (int64_t inner = cell.subcell_info_loop_length; NextEntry(inner, cell.subcells.size(), reader); inner -= 8) {
        Tcell_list_subcell& subcell = cell.subcells.emplace_back();
        reader.Read(subcell.cell_id_extension, 8);
        reader.Read(subcell.subcell_latitude, 16);
        reader.Read(subcell.subcell_longitude, 16);
        reader.Read(subcell.subcell_extent_of_latitude, 12);
        reader.Read(subcell.subcell_extent_of_longitude, 12);
      }
      counter -= static_cast<int64_t>(cell.subcell_info_loop_length) + 10;
    }
    return true;
  });
}

// Each cell entry holds only its subcells; the cell-level fields of every
// cell follow the group of cells under the descriptor node.
bool TreeView_Update_cell_list_descriptor(TTreeNode& parent, const Tcell_list_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, NameOf(record), record);
    TTreeNode& cells = node.Add("cells");
    for (size_t i = 0; i < record.cells.size(); ++i) {
      TTreeNode& subcells = cells.Add(EntryText("cell #", i)).Add("subcells");
      for (size_t j = 0; j < record.cells[i].subcells.size(); ++j) {
        const Tcell_list_subcell& subcell = record.cells[i].subcells[j];
        TTreeNode& entry = subcells.Add(EntryText("subcell #", j));
        AddBitsField(entry, "cell_id_extension", subcell.cell_id_extension, 8);
        AddBitsField(entry, "subcell_latitude", subcell.subcell_latitude, 16);
        AddBitsField(entry, "subcell_longitude", subcell.subcell_longitude, 16);
        AddBitsField(entry, "subcell_extent_of_latitude", subcell.subcell_extent_of_latitude, 12);
        AddBitsField(entry, "subcell_extent_of_longitude", subcell.subcell_extent_of_longitude, 12);
      }
    }
    for (const Tcell_list_cell& cell : record.cells) {
      AddBitsField(node, "cell_id", cell.cell_id, 16);
      AddBitsField(node, "cell_latitude", cell.cell_latitude, 16);
      AddBitsField(node, "cell_longitude", cell.cell_longitude, 16);
      AddBitsField(node, "cell_extent_of_latitude", cell.cell_extent_of_latitude, 12);
      AddBitsField(node, "cell_extent_of_longitude", cell.cell_extent_of_longitude, 12);
      AddBitsField(node, "subcell_info_loop_length", cell.subcell_info_loop_length, 8);
    }
    return true;
  });
}

bool Parse_cell_frequency_link_descriptor(TBitStream4& reader, Tcell_frequency_link_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    StartRecord(reader, record);
    ReserveEntries(record.cells, record.descriptor_length, 7);
    for (int64_t counter = record.descriptor_length; NextEntry(counter, record.cells.size(), reader);) {
      Tcell_frequency_link_cell& cell = record.cells.emplace_back();
      reader.Read(cell.cell_id, 16);
      reader.Read(cell.frequency, 32);
      reader.Read(cell.subcell_info_loop_length, 8);
      ReserveEntries(cell.cell_infos, cell.subcell_info_loop_length, 5);
      for (int64_t inner = cell.subcell_info_loop_length; NextEntry(inner, cell.cell_infos.size(), reader);
           inner -= 5) {
        Tcell_frequency_link_cell_info& info = cell.cell_infos.emplace_back();
        reader.Read(info.cell_id_extension, 8);
        reader.Read(info.transposer_frequency, 32);
      }
      counter -= static_cast<int64_t>(cell.subcell_info_loop_length) + 7;
    }
    return true;
  });
}

bool TreeView_Update_cell_frequency_link_descriptor(TTreeNode& parent,
                                                    const Tcell_frequency_link_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, NameOf(record), record);
    TTreeNode& cells = node.Add("cells");
    for (size_t i = 0; i < record.cells.size(); ++i) {
      TTreeNode& infos = cells.Add(EntryText("cell #", i)).Add("cell_infos");
      for (size_t j = 0; j < record.cells[i].cell_infos.size(); ++j) {
        const Tcell_frequency_link_cell_info& info = record.cells[i].cell_infos[j];
        TTreeNode& entry = infos.Add(EntryText("cell_info #", j));
        AddBitsField(entry, "cell_id_extension", info.cell_id_extension, 8);
        AddBitsField(entry, "transposer_frequency", info.transposer_frequency, 32, TerrestrialFrequencyText);
      }
    }
    for (const Tcell_frequency_link_cell& cell : record.cells) {
      AddBitsField(node, "cell_id", cell.cell_id, 16);
      AddBitsField(node, "frequency", cell.frequency, 32, TerrestrialFrequencyText);
      AddBitsField(node, "subcell_info_loop_length", cell.subcell_info_loop_length, 8);
    }
    return true;
  });
}

std::span<const TDescriptorEntry> DVBIrregularDescriptors60Entries() {
  static constexpr TDescriptorEntry kEntries[] = {TESSARO_DVB_IRREGULAR_DESCRIPTORS_60(TESSARO_DVB_ENTRY)};
  return kEntries;
}

}  // namespace tessaro
