#include "descriptors/DVBSpecialDescriptors40.h"

#include <algorithm>
#include <string>

#include "core/Diagnostics.h"
#include "descriptors/DescriptorForm.h"
#include "descriptors/DescriptorRegistry.h"
#include "descriptors/FieldTable.h"

namespace tessaro {
namespace {

constexpr uint8_t kVBIDataTag = 0x45;
constexpr uint8_t kLinkageTag = 0x4A;
constexpr uint8_t kExtendedEventTag = 0x4E;
constexpr uint8_t kMosaicTag = 0x51;
constexpr uint8_t kTelephoneTag = 0x57;

constexpr uint32_t kMobileHandOver = 8;  // linkage_type

// Clears the record and reads descriptor_tag and descriptor_length.
template <class R>
void StartRecord(TBitStream4& reader, R& record) {
  record = R{};
  record.descriptor_tag = reader.GetBits8();
  record.descriptor_length = reader.GetBits8();
}

// A loop may start one more entry: its counter is above 0, it holds fewer
// than 256 entries, and some of the descriptor loop's bytes are left.
bool NextEntry(int64_t counter, size_t entries, const TBitStream4& reader) {
  return counter > 0 && entries < static_cast<size_t>(kMaxLoopEntries) && reader.BitsLeft > 0;
}

// A run of count bytes at the reader's position; the bytes that lie inside
// the reader's data.
std::vector<uint8_t> ReadRun(TBitStream4& reader, int64_t count) {
  std::vector<uint8_t> run(static_cast<size_t>(std::clamp<int64_t>(count, 0, reader.BytesRemaining())));
  run.resize(static_cast<size_t>(ReadByteRun(reader, count, run.data(), static_cast<int32_t>(run.size()))));
  return run;
}

void AddRun(TTreeNode& node, const char* label, const std::vector<uint8_t>& run) {
  AddByteRunGroup(node, label, run.data(), static_cast<int32_t>(run.size()));
}

std::string EntryText(const char* prefix, size_t index) { return prefix + std::to_string(index); }

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
    for (int64_t counter = record.descriptor_length; NextEntry(counter, record.services.size(), reader);) {
      TVBIDataService& service = record.services.emplace_back();
      service.data_service_id = reader.GetBits8();
      service.data_service_descriptor_length = reader.GetBits8();
      if (HasLines(service.data_service_id)) {
        for (uint32_t i = 0; i < service.data_service_descriptor_length && reader.BitsLeft > 0; ++i) {
          TVBIDataService::TLine& line = service.lines.emplace_back();
          line.reserved = reader.GetBits(2);
          line.field_parity = reader.GetBit();
          line.line_offset = reader.GetBits5();
        }
      } else {
        service.reserved = ReadRun(reader, service.data_service_descriptor_length);
      }
      counter -= 2 + static_cast<int64_t>(service.data_service_descriptor_length);
    }
    return true;
  });
}

bool TreeView_Update_VBI_data_descriptor(TTreeNode& parent, const TVBI_data_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, DescriptorName(kVBIDataTag), record);
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
          TTreeNode& line = lines.Add(EntryText("data_service_descriptor #", j));
          AddBitsField(line, "reserved", service.lines[j].reserved, 2);
          line.Add(DescriptorFieldText("field_parity", service.lines[j].field_parity, " (1 bits)"));
          AddBitsField(line, "line_offset", service.lines[j].line_offset, 5);
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
    record.transport_stream_id = reader.GetBits16();
    record.original_network_id = reader.GetBits16();
    record.service_id = reader.GetBits16();
    record.linkage_type = reader.GetBits8();
    int64_t privateLength = static_cast<int64_t>(record.descriptor_length) - 7;
    if (record.linkage_type == kMobileHandOver) {
      record.hand_over_type = reader.GetBits(4);
      record.reserved_future_use = reader.GetBits3();
      record.origin_type = reader.GetBit();
      privateLength -= 1;
      if (HasNetworkId(record.hand_over_type)) {
        record.network_id = reader.GetBits16();
        privateLength -= 2;
      }
      if (record.origin_type == 0) {
        record.initial_service_id = reader.GetBits16();
        privateLength -= 2;
      }
    }
    record.private_data_byte = ReadRun(reader, privateLength);
    return true;
  });
}

bool TreeView_Update_linkage_descriptor(TTreeNode& parent, const Tlinkage_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, DescriptorName(kLinkageTag), record);
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
    record.descriptor_number = reader.GetBits(4);
    record.last_descriptor_number = reader.GetBits(4);
    record.ISO_639_language_code = reader.GetBits(24);
    record.length_of_items = reader.GetBits8();
    for (int64_t counter = record.length_of_items; NextEntry(counter, record.items.size(), reader);) {
      TExtendedEventItem& item = record.items.emplace_back();
      item.item_description_length = reader.GetBits8();
      item.item_description_char = ReadRun(reader, item.item_description_length);
      item.item_length = reader.GetBits8();
      item.item_char = ReadRun(reader, item.item_length);
      counter -= 2 + static_cast<int64_t>(item.item_description_length) + item.item_length;
    }
    record.text_length = reader.GetBits8();
    record.text_char = ReadRun(reader, record.text_length);
    return true;
  });
}

bool TreeView_Update_extended_event_descriptor(TTreeNode& parent, const Textended_event_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, DescriptorName(kExtendedEventTag), record);
    AddBitsField(node, "descriptor_number", record.descriptor_number, 4);
    AddBitsField(node, "last_descriptor_number", record.last_descriptor_number, 4);
    node.Add(ISO639FieldText(record.ISO_639_language_code));
    AddBitsField(node, "length_of_items", record.length_of_items, 8);
    TTreeNode& group = node.Add("items");
    for (size_t i = 0; i < record.items.size(); ++i) {
      const TExtendedEventItem& item = record.items[i];
      TTreeNode& entry = group.Add(EntryText("item #", i));
      AddBitsField(entry, "item_description_length", item.item_description_length, 8);
      AddRun(entry, "item_description_char", item.item_description_char);
      AddBitsField(entry, "item_length", item.item_length, 8);
      AddRun(entry, "item_char", item.item_char);
    }
    AddBitsField(node, "text_length", record.text_length, 8);
    AddRun(node, "text_char", record.text_char);
    return true;
  });
}

bool Parse_mosaic_descriptor(TBitStream4& reader, Tmosaic_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    StartRecord(reader, record);
    record.mosaic_entry_point = reader.GetBit();
    record.number_of_horizontal_elementary_cells = reader.GetBits3();
    record.reserved_future_use = reader.GetBit();
    record.number_of_vertical_elementary_cells = reader.GetBits3();
    for (int64_t counter = static_cast<int64_t>(record.descriptor_length) - 1;
         NextEntry(counter, record.cells.size(), reader);) {
      TMosaicCell& cell = record.cells.emplace_back();
      cell.logical_cell_id = reader.GetBits(6);
      cell.reserved_future_use = reader.GetBits7();
      cell.logical_cell_presentation_info = reader.GetBits3();
      cell.elementary_cell_field_length = reader.GetBits8();
      counter -= 3;
      for (uint32_t i = 0; i < cell.elementary_cell_field_length && reader.BitsLeft > 0; ++i) {
        TMosaicCell::TElementaryCell& elementary = cell.elementary_cells.emplace_back();
        elementary.reserved_future_use = reader.GetBits(2);
        elementary.elementary_cell_id = reader.GetBits(6);
      }
      counter -= cell.elementary_cell_field_length;
      cell.cell_linkage_info = reader.GetBits8();
      counter -= 1;
      switch (cell.cell_linkage_info) {
        case 1:
          cell.bouquet_id = reader.GetBits16();
          counter -= 2;
          break;
        case 2:
        case 3:
        case 4:
          cell.original_network_id = reader.GetBits16();
          cell.transport_stream_id = reader.GetBits16();
          cell.service_id = reader.GetBits16();
          counter -= 6;
          if (cell.cell_linkage_info == 4) {
            cell.event_id = reader.GetBits16();
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
    TTreeNode& node = AddDescriptorNode(parent, DescriptorName(kMosaicTag), record);
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
    record.reserved_future_use_1 = reader.GetBits(2);
    record.foreign_availability = reader.GetBit();
    record.connection_type = reader.GetBits5();
    record.reserved_future_use_2 = reader.GetBit();
    record.country_prefix_length = reader.GetBits(2);
    record.international_area_code_length = reader.GetBits3();
    record.operator_code_length = reader.GetBits(2);
    record.reserved_future_use_3 = reader.GetBit();
    record.national_area_code_length = reader.GetBits3();
    record.core_number_length = reader.GetBits(4);
    record.country_prefix = ReadRun(reader, record.country_prefix_length);
    record.international_area_code = ReadRun(reader, record.international_area_code_length);
    record.operator_code = ReadRun(reader, record.operator_code_length);
    record.national_area_code = ReadRun(reader, record.national_area_code_length);
    record.core_number = ReadRun(reader, record.core_number_length);
    return true;
  });
}

bool TreeView_Update_telephone_descriptor(TTreeNode& parent, const Ttelephone_descriptor_class& record) {
  return Guarded(__func__, false, [&] {
    TTreeNode& node = AddDescriptorNode(parent, DescriptorName(kTelephoneTag), record);
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

}  // namespace tessaro
