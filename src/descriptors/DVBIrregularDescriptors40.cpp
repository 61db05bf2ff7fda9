#include "descriptors/DVBIrregularDescriptors40.h"

#include "core/Diagnostics.h"
#include "descriptors/DescriptorForm.h"

namespace tessaro {
namespace {

TESSARO_DVB_SPECIAL_DESCRIPTORS_40(TESSARO_NAME_OF)

constexpr uint32_t kMobileHandOver = 8;  // linkage_type

// data_service_id values whose descriptor bytes are lines (EN 300 468,
// VBI_data_descriptor): EBU teletext, inverted teletext, VPS, WSS, closed
// captioning and monochrome 4:2:2 samples.
bool HasLines(uint32_t dataServiceId) {
  return dataServiceId == 1 || dataServiceId == 2 || (dataServiceId >= 4 && dataServiceId <= 7);
}

bool HasNetworkId(uint32_t handOverType) { return handOverType >= 1 && handOverType <= 3; }

}  // namespace

bool Parse_VBI_data_descriptor(TBitStream4& reader, TVBI_data_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    StartRecord(reader, record);
    ReserveEntries(record.services, record.descriptor_length, 2);
    for (int64_t counter = record.descriptor_length; NextEntry(counter, record.services.size(), reader);) {
      TVBIDataService& service = record.services.emplace_back();
      reader.Read(service.data_service_id, 8);
      reader.Read(service.data_service_descriptor_length, 8);
      if (HasLines(service.data_service_id)) {
        ReserveEntries(service.lines, service.data_service_descriptor_length, 1);
        for (uint32_t i = 0; i < service.data_service_descriptor_length && reader.BitsLeft > 0; ++i) {
          TVBIDataService::TLine& line = service.lines.emplace_back();
          reader.Read(line.reserved, 2);
          reader.Read(line.field_parity, 1);
          reader.Read(line.line_offset, 5);
        }
      } else {
        ReadRun(reader, service.data_service_descriptor_length, service.reserved);
      }
      counter -= 2 + static_cast<int64_t>(service.data_service_descriptor_length);
    }
    return true;
  });
}

bool TreeView_Update_VBI_data_descriptor(TTreeNode& parent, const TVBI_data_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, NameOf(record), record);
    TTreeNode& group = node.Add("VBI_data_descriptors");
    for (size_t i = 0; i < record.services.size(); ++i) {
      const TVBIDataService& service = record.services[i];
      TTreeNode& entry = group.Add(EntryText("VBI_data_descriptor #", i));
      // The identification of each service stands under the descriptor node,
      // beside the group of entries, not under its entry.
      AddBitsField(node, "data_service_id", service.data_service_id, 8);
      AddBitsField(node, "data_service_descriptor_length", service.data_service_descriptor_length, 8);
      if (HasLines(service.data_service_id)) {
        TTreeNode& lines = entry.Add("data_service_descriptors");
        for (size_t j = 0; j < service.lines.size(); ++j) {
          const TVBIDataService::TLine& line = service.lines[j];
          TTreeNode& lineNode = lines.Add(EntryText("data_service_descriptor #", j));
          AddBitsField(lineNode, "reserved", line.reserved, 2);
          lineNode.Add(DecField("field_parity", line.field_parity, " (1 bits)"));
          AddBitsField(lineNode, "line_offset", line.line_offset, 5);
        }
      } else {
        AddRun(node, "reserved", service.reserved);
      }
    }
    return true;
  });
}

bool Parse_linkage_descriptor(TBitStream4& reader, Tlinkage_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    StartRecord(reader, record);
    reader.Read(record.transport_stream_id, 16);
    reader.Read(record.original_network_id, 16);
    reader.Read(record.service_id, 16);
    reader.Read(record.linkage_type, 8);
    int64_t privateLength = static_cast<int64_t>(record.descriptor_length) - 7;
    if (record.linkage_type == kMobileHandOver) {
      reader.Read(record.hand_over_type, 4);
      reader.Read(record.reserved_future_use, 3);
      reader.Read(record.origin_type, 1);
      privateLength -= 1;
      if (HasNetworkId(record.hand_over_type)) {
        reader.Read(record.network_id, 16);
        privateLength -= 2;
      }
      if (record.origin_type == 0) {
        reader.Read(record.initial_service_id, 16);
        privateLength -= 2;
      }
    }
    ReadRun(reader, privateLength, record.private_data_byte);
    return true;
  });
}

bool TreeView_Update_linkage_descriptor(TTreeNode& parent, const Tlinkage_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, NameOf(record), record);
    AddBitsField(node, "transport_stream_id", record.transport_stream_id, 16);
    AddBitsField(node, "original_network_id", record.original_network_id, 16);
    AddBitsField(node, "service_id", record.service_id, 16);
    AddBitsField(node, "linkage_type", record.linkage_type, 8);
    if (record.linkage_type == kMobileHandOver) {
      AddBitsField(node, "hand_over_type", record.hand_over_type, 4);
      AddBitsField(node, "reserved_future_use", record.reserved_future_use, 3);
      AddBitsField(node, "origin_type", record.origin_type, 1);
      if (HasNetworkId(record.hand_over_type)) AddBitsField(node, "network_id", record.network_id, 16);
      if (record.origin_type == 0) AddBitsField(node, "initial_service_id", record.initial_service_id, 16);
    }
    AddRun(node, "private_data_byte", record.private_data_byte);
    return true;
  });
}

bool Parse_extended_event_descriptor(TBitStream4& reader, Textended_event_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    StartRecord(reader, record);
    reader.Read(record.descriptor_number, 4);
    reader.Read(record.last_descriptor_number, 4);
    reader.Read(record.ISO_639_language_code, 24);
    reader.Read(record.length_of_items, 8);
    ReserveEntries(record.items, record.length_of_items, 2);
    for (int64_t counter = record.length_of_items; NextEntry(counter, record.items.size(), reader);) {
      TExtendedEventItem& item = record.items.emplace_back();
      reader.Read(item.item_description_length, 8);
      ReadRun(reader, item.item_description_length, item.item_description_char);
      reader.Read(item.item_length, 8);
      ReadRun(reader, item.item_length, item.item_char);
      counter -= 2 + static_cast<int64_t>(item.item_description_length) + item.item_length;
    }
    reader.Read(record.text_length, 8);
    ReadRun(reader, record.text_length, record.text_char);
    return true;
  });
}

bool TreeView_Update_extended_event_descriptor(TTreeNode& parent, const Textended_event_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, NameOf(record), record);
    AddBitsField(node, "descriptor_number", record.descriptor_number, 4);
    AddBitsField(node, "last_descriptor_number", record.last_descriptor_number, 4);
    node.Add(ISO639Field(record.ISO_639_language_code));
    AddBitsField(node, "length_of_items", record.length_of_items, 8);
    TTreeNode& group = node.Add("items");
    for (size_t i = 0; i < record.items.size(); ++i) {
      const TExtendedEventItem& item = record.items[i];
      TTreeNode& entry = group.Add(EntryText("item #", i));
      AddBitsField(entry, "item_description_length", item.item_description_length, 8);
      AddTextRun(entry, "item_description_char", item.item_description_char);
      AddBitsField(entry, "item_length", item.item_length, 8);
      AddTextRun(entry, "item_char", item.item_char);
    }
    AddBitsField(node, "text_length", record.text_length, 8);
    AddTextRun(node, "text_char", record.text_char);
    return true;
  });
}

bool Parse_mosaic_descriptor(TBitStream4& reader, Tmosaic_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    StartRecord(reader, record);
    reader.Read(record.mosaic_entry_point, 1);
    reader.Read(record.number_of_horizontal_elementary_cells, 3);
    reader.Read(record.reserved_future_use, 1);
    reader.Read(record.number_of_vertical_elementary_cells, 3);
    // A cell takes at least four bytes: its fixed fields and cell_linkage_info.
    ReserveEntries(record.cells, static_cast<int64_t>(record.descriptor_length) - 1, 4);
    for (int64_t counter = static_cast<int64_t>(record.descriptor_length) - 1;
         NextEntry(counter, record.cells.size(), reader);) {
      TMosaicCell& cell = record.cells.emplace_back();
      reader.Read(cell.logical_cell_id, 6);
      reader.Read(cell.reserved_future_use, 7);
      reader.Read(cell.logical_cell_presentation_info, 3);
      reader.Read(cell.elementary_cell_field_length, 8);
      counter -= 3;
      ReserveEntries(cell.elementary_cells, cell.elementary_cell_field_length, 1);
      for (uint32_t i = 0; i < cell.elementary_cell_field_length && reader.BitsLeft > 0; ++i) {
        TMosaicCell::TElementaryCell& elementary = cell.elementary_cells.emplace_back();
        reader.Read(elementary.reserved_future_use, 2);
        reader.Read(elementary.elementary_cell_id, 6);
      }
      counter -= cell.elementary_cell_field_length;
      reader.Read(cell.cell_linkage_info, 8);
      counter -= 1;
      switch (cell.cell_linkage_info) {
        case 1:
          reader.Read(cell.bouquet_id, 16);
          counter -= 2;
          break;
        case 2:
        case 3:
        case 4:
          reader.Read(cell.original_network_id, 16);
          reader.Read(cell.transport_stream_id, 16);
          reader.Read(cell.service_id, 16);
          counter -= 6;
          if (cell.cell_linkage_info == 4) {
            reader.Read(cell.event_id, 16);
            counter -= 2;
          }
          break;
        default:
          break;
      }
    }
    return true;
  });
}

bool TreeView_Update_mosaic_descriptor(TTreeNode& parent, const Tmosaic_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, NameOf(record), record);
    AddBitsField(node, "mosaic_entry_point", record.mosaic_entry_point, 1);
    AddBitsField(node, "number_of_horizontal_elementary_cells", record.number_of_horizontal_elementary_cells, 3);
    AddBitsField(node, "reserved_future_use", record.reserved_future_use, 1);
    AddBitsField(node, "number_of_vertical_elementary_cells", record.number_of_vertical_elementary_cells, 3);
    TTreeNode& group = node.Add("mosaic_descriptors");
    for (size_t i = 0; i < record.cells.size(); ++i) {
      const TMosaicCell& cell = record.cells[i];
      TTreeNode& entry = group.Add(EntryText("mosaic_descriptor #", i));
      AddBitsField(entry, "logical_cell_id", cell.logical_cell_id, 6);
      AddBitsField(entry, "reserved_future_use", cell.reserved_future_use, 7);
      AddBitsField(entry, "logical_cell_presentation_info", cell.logical_cell_presentation_info, 3);
      AddBitsField(entry, "elementary_cell_field_length", cell.elementary_cell_field_length, 8);
      TTreeNode& fields = entry.Add("elementary_cell_fields");
      for (size_t j = 0; j < cell.elementary_cells.size(); ++j) {
        TTreeNode& elementary = fields.Add(EntryText("elementary_cell_field #", j));
        AddBitsField(elementary, "reserved_future_use", cell.elementary_cells[j].reserved_future_use, 2);
        AddBitsField(elementary, "elementary_cell_id", cell.elementary_cells[j].elementary_cell_id, 6);
      }
      AddBitsField(entry, "cell_linkage_info", cell.cell_linkage_info, 8);
      if (cell.cell_linkage_info == 1) AddBitsField(entry, "bouquet_id", cell.bouquet_id, 16);
      if (cell.cell_linkage_info >= 2 && cell.cell_linkage_info <= 4) {
        AddBitsField(entry, "original_network_id", cell.original_network_id, 16);
        AddBitsField(entry, "transport_stream_id", cell.transport_stream_id, 16);
        AddBitsField(entry, "service_id", cell.service_id, 16);
      }
      if (cell.cell_linkage_info == 4) AddBitsField(entry, "event_id", cell.event_id, 16);
    }
    return true;
  });
}

bool Parse_telephone_descriptor(TBitStream4& reader, Ttelephone_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    StartRecord(reader, record);
    reader.Read(record.reserved_future_use_1, 2);
    reader.Read(record.foreign_availability, 1);
    reader.Read(record.connection_type, 5);
    reader.Read(record.reserved_future_use_2, 1);
    reader.Read(record.country_prefix_length, 2);
    reader.Read(record.international_area_code_length, 3);
    reader.Read(record.operator_code_length, 2);
    reader.Read(record.reserved_future_use_3, 1);
    reader.Read(record.national_area_code_length, 3);
    reader.Read(record.core_number_length, 4);
    ReadRun(reader, record.country_prefix_length, record.country_prefix);
    ReadRun(reader, record.international_area_code_length, record.international_area_code);
    ReadRun(reader, record.operator_code_length, record.operator_code);
    ReadRun(reader, record.national_area_code_length, record.national_area_code);
    ReadRun(reader, record.core_number_length, record.core_number);
    return true;
  });
}

bool TreeView_Update_telephone_descriptor(TTreeNode& parent, const Ttelephone_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, NameOf(record), record);
    AddBitsField(node, "reserved_future_use", record.reserved_future_use_1, 2);
    AddBitsField(node, "foreign_availability", record.foreign_availability, 1);
    AddBitsField(node, "connection_type", record.connection_type, 5);
    AddBitsField(node, "reserved_future_use", record.reserved_future_use_2, 1);
    AddBitsField(node, "country_prefix_length", record.country_prefix_length, 2);
    AddBitsField(node, "international_area_code_length", record.international_area_code_length, 3);
    AddBitsField(node, "operator_code_length", record.operator_code_length, 2);
    AddBitsField(node, "reserved_future_use", record.reserved_future_use_3, 1);
    AddBitsField(node, "national_area_code_length", record.national_area_code_length, 3);
    AddBitsField(node, "core_number_length", record.core_number_length, 4);
    AddRun(node, "country_prefix", record.country_prefix);
    AddRun(node, "international_area_code", record.international_area_code);
    AddRun(node, "operator_code", record.operator_code);
    AddRun(node, "national_area_code", record.national_area_code);
    AddRun(node, "core_number", record.core_number);
    return true;
  });
}

std::span<const TDescriptorEntry> DVBIrregularDescriptors40Entries() {
  static constexpr TDescriptorEntry kEntries[] = {TESSARO_DVB_SPECIAL_DESCRIPTORS_40(TESSARO_DVB_ENTRY)};
  return kEntries;
}

}  // namespace tessaro
