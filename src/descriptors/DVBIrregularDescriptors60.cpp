#include "descriptors/DVBIrregularDescriptors60.h"

#include <algorithm>
#include <string>
#include <utility>

#include "core/Diagnostics.h"
#include "descriptors/DescriptorForm.h"
#include "descriptors/DescriptorRegistry.h"

namespace tessaro {
namespace {

constexpr uint8_t kAC3Tag = 0x6A;
constexpr uint8_t kCellListTag = 0x6C;
constexpr uint8_t kCellFrequencyLinkTag = 0x6D;
constexpr uint8_t kAnnouncementSupportTag = 0x6E;

void StartRecord(TBitStream4& reader, TDescriptorRecord& record) {
  record.descriptor_tag = reader.GetBits8();
  record.descriptor_length = reader.GetBits8();
}

// A loop starts an entry only while the reader still holds data: a
// descriptor_length reaching past the descriptor loop gives no entries of zeros.
bool DataLeft(const TBitStream4& reader) { return reader.BitsLeft > 0; }

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
    record = TAC_3_descriptor_class{};
    StartRecord(reader, record);
    record.component_type_flag = reader.GetBit();
    record.bsid_flag = reader.GetBit();
    record.mainid_flag = reader.GetBit();
    record.asvc_flag = reader.GetBit();
    record.reserved_flags = reader.GetBits(4);
    if (record.component_type_flag == 1) record.component_type = reader.GetBits8();
    if (record.bsid_flag == 1) record.bsid = reader.GetBits8();
    if (record.mainid_flag == 1) record.mainid = reader.GetBits8();
    if (record.asvc_flag == 1) record.asvc = reader.GetBits8();
    const int64_t infoLength = AC3AdditionalInfoLength(record);
    if (infoLength >= 1)
      record.additional_info_length = ReadByteRun(reader, infoLength, record.additional_info.data(),
                                                  static_cast<int32_t>(record.additional_info.size()));
    return true;
  });
}

bool TreeView_Update_AC_3_descriptor(TTreeNode& parent, const TAC_3_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, DescriptorName(kAC3Tag), record);
    AddBitsField(node, "component_type_flag", record.component_type_flag, 1);
    AddBitsField(node, "bsid_flag", record.bsid_flag, 1);
    AddBitsField(node, "mainid_flag", record.mainid_flag, 1);
    AddBitsField(node, "asvc_flag", record.asvc_flag, 1);
    AddBitsField(node, "reserved_flags", record.reserved_flags, 4);
    if (record.component_type_flag == 1) AddBitsField(node, "component_type", record.component_type, 8);
    if (record.bsid_flag == 1) AddBitsField(node, "bsid", record.bsid, 8);
    if (record.mainid_flag == 1) AddBitsField(node, "mainid", record.mainid, 8);
    if (record.asvc_flag == 1) AddBitsField(node, "asvc", record.asvc, 8);
    AddByteRunGroup(
        node, "additional_info", record.additional_info.data(),
        std::clamp<int32_t>(record.additional_info_length, 0, static_cast<int32_t>(record.additional_info.size())));
    return true;
  });
}

bool Parse_announcement_support_descriptor(TBitStream4& reader, Tannouncement_support_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    record = Tannouncement_support_descriptor_class{};
    StartRecord(reader, record);
    record.announcement_support_indicator = reader.GetBits16();
    int64_t counter = static_cast<int64_t>(record.descriptor_length) - 2;
    int32_t& n = record.announcement_count;
    while (counter > 0 && n < static_cast<int32_t>(kMaxDVBLoopEntries) && DataLeft(reader)) {
      record.announcement_type[n] = reader.GetBits(4);
      record.reserved_future_use[n] = reader.GetBit();
      record.reference_type[n] = reader.GetBits3();
      counter -= 1;
      if (ReferencesAService(record.reference_type[n])) {
        record.original_network_id[n] = reader.GetBits16();
        record.transport_stream_id[n] = reader.GetBits16();
        record.service_id[n] = reader.GetBits16();
        record.component_tag[n] = reader.GetBits8();
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
    TTreeNode& node = AddDescriptorNode(parent, DescriptorName(kAnnouncementSupportTag), record);
    AddBitsField(node, "announcement_support_indicator", record.announcement_support_indicator, 16);
    TTreeNode& group = node.Add("announcements");
    const int32_t count = std::clamp<int32_t>(record.announcement_count, 0, static_cast<int32_t>(kMaxDVBLoopEntries));
    for (int32_t i = 0; i < count; ++i) {
      TTreeNode& entry = group.Add("announcement #" + std::to_string(i));
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
    record.cells.clear();
    StartRecord(reader, record);
    for (int64_t counter = record.descriptor_length;
         counter > 0 && record.cells.size() < kMaxDVBLoopEntries && DataLeft(reader);) {
      Tcell_list_cell cell;
      cell.cell_id = reader.GetBits16();
      cell.cell_latitude = reader.GetBits16();
      cell.cell_longitude = reader.GetBits16();
      cell.cell_extent_of_latitude = reader.GetBits(12);
      cell.cell_extent_of_longitude = reader.GetBits(12);
      cell.subcell_info_loop_length = reader.GetBits8();
      for (int64_t inner = cell.subcell_info_loop_length;
           inner > 0 && cell.subcells.size() < kMaxDVBLoopEntries && DataLeft(reader); inner -= 8) {
        Tcell_list_subcell subcell;
        subcell.cell_id_extension = reader.GetBits8();
        subcell.subcell_latitude = reader.GetBits16();
        subcell.subcell_longitude = reader.GetBits16();
        subcell.subcell_extent_of_latitude = reader.GetBits(12);
        subcell.subcell_extent_of_longitude = reader.GetBits(12);
        cell.subcells.push_back(subcell);
      }
      counter -= static_cast<int64_t>(cell.subcell_info_loop_length) + 10;
      record.cells.push_back(std::move(cell));
    }
    return true;
  });
}

// Each cell entry holds only its subcells; the cell-level fields of every
// cell follow the group of cells under the descriptor node.
bool TreeView_Update_cell_list_descriptor(TTreeNode& parent, const Tcell_list_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, DescriptorName(kCellListTag), record);
    TTreeNode& cells = node.Add("cells");
    for (size_t i = 0; i < record.cells.size(); ++i) {
      TTreeNode& subcells = cells.Add("cell #" + std::to_string(i)).Add("subcells");
      for (size_t j = 0; j < record.cells[i].subcells.size(); ++j) {
        const Tcell_list_subcell& subcell = record.cells[i].subcells[j];
        TTreeNode& entry = subcells.Add("subcell #" + std::to_string(j));
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
    record.cells.clear();
    StartRecord(reader, record);
    for (int64_t counter = record.descriptor_length;
         counter > 0 && record.cells.size() < kMaxDVBLoopEntries && DataLeft(reader);) {
      Tcell_frequency_link_cell cell;
      cell.cell_id = reader.GetBits16();
      cell.frequency = reader.GetBits32();
      cell.subcell_info_loop_length = reader.GetBits8();
      for (int64_t inner = cell.subcell_info_loop_length;
           inner > 0 && cell.cell_infos.size() < kMaxDVBLoopEntries && DataLeft(reader); inner -= 5) {
        Tcell_frequency_link_cell_info info;
        info.cell_id_extension = reader.GetBits8();
        info.transposer_frequency = reader.GetBits32();
        cell.cell_infos.push_back(info);
      }
      counter -= static_cast<int64_t>(cell.subcell_info_loop_length) + 7;
      record.cells.push_back(std::move(cell));
    }
    return true;
  });
}

bool TreeView_Update_cell_frequency_link_descriptor(TTreeNode& parent,
                                                    const Tcell_frequency_link_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, DescriptorName(kCellFrequencyLinkTag), record);
    TTreeNode& cells = node.Add("cells");
    for (size_t i = 0; i < record.cells.size(); ++i) {
      TTreeNode& infos = cells.Add("cell #" + std::to_string(i)).Add("cell_infos");
      for (size_t j = 0; j < record.cells[i].cell_infos.size(); ++j) {
        const Tcell_frequency_link_cell_info& info = record.cells[i].cell_infos[j];
        TTreeNode& entry = infos.Add("cell_info #" + std::to_string(j));
        AddBitsField(entry, "cell_id_extension", info.cell_id_extension, 8);
        AddBitsField(entry, "transposer_frequency", info.transposer_frequency, 32);
      }
    }
    for (const Tcell_frequency_link_cell& cell : record.cells) {
      AddBitsField(node, "cell_id", cell.cell_id, 16);
      AddBitsField(node, "frequency", cell.frequency, 32);
      AddBitsField(node, "subcell_info_loop_length", cell.subcell_info_loop_length, 8);
    }
    return true;
  });
}

}  // namespace tessaro
