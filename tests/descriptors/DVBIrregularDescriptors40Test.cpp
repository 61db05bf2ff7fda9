// The hand-written DVB descriptors of tags 0x40 to 0x5F: linkage, mosaic,
// VBI data, extended event and telephone.
#include <gtest/gtest.h>

#include <string>

#include "core/TextHelpers.h"
#include "core/TreeNode.h"
#include "descriptors/DVBIrregularDescriptors40.h"
#include "descriptors/Descriptors.h"
#include "support/TestSupport.h"
#include "support/TreeText.h"

namespace tessaro {
namespace {

using test::Bytes;

using test::F;
using test::Field;
using test::Header;
using test::Line;
using test::Parse;
std::string Dump(int depth, const char* hex, const char* chars) { return Line(depth, PadRightStr(hex, 60) + chars); }
const std::string kPrivateDataSpecifier7 =
    Header("private_data_specifier_descriptor", "0x5F", 4) + F(1, "private_data_specifier", 7, 32);

// Shows an SI loop, which must be walked to its end.
std::string Shown(const Bytes& loop) {
  TDVBdescriptors list;
  return test::Shown(list, loop);
}

TEST(DVBIrregularDescriptors40, LinkagePrivateBytesFollowTheLinkageType) {
  const std::string ids =
      F(1, "transport_stream_id", 1, 16) + F(1, "original_network_id", 2, 16) + F(1, "service_id", 3, 16);
  EXPECT_EQ(Shown({0x4A, 0x09, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x01, 0xAA, 0xBB}),
            Header("linkage_descriptor", "0x4A", 9) + ids + F(1, "linkage_type", 1, 8) + Line(1, "private_data_byte") +
                Dump(2, "AA BB ", "\xAA\xBB"));
  // Mobile hand-over of type 1 from an NIT: network_id and initial_service_id
  // are present, so the private run is descriptor_length - 8 - 4 bytes.
  EXPECT_EQ(Shown({0x4A, 0x0E, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x08, 0x1E, 0x00, 0x10, 0x00, 0x20, 0xCC, 0xDD}),
            Header("linkage_descriptor", "0x4A", 14) + ids + F(1, "linkage_type", 8, 8) + F(1, "hand_over_type", 1, 4) +
                F(1, "reserved_future_use", 7, 3) + F(1, "origin_type", 0, 1) + F(1, "network_id", 16, 16) +
                F(1, "initial_service_id", 32, 16) + Line(1, "private_data_byte") + Dump(2, "CC DD ", "\xCC\xDD"));
  // Hand-over type 3 from an SDT: network_id only; type 0: neither.
  EXPECT_EQ(Shown({0x4A, 0x0A, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x08, 0x3F, 0x00, 0x10}),
            Header("linkage_descriptor", "0x4A", 10) + ids + F(1, "linkage_type", 8, 8) + F(1, "hand_over_type", 3, 4) +
                F(1, "reserved_future_use", 7, 3) + F(1, "origin_type", 1, 1) + F(1, "network_id", 16, 16) +
                Line(1, "private_data_byte"));
  EXPECT_EQ(Shown({0x4A, 0x08, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x08, 0x0F}),
            Header("linkage_descriptor", "0x4A", 8) + ids + F(1, "linkage_type", 8, 8) + F(1, "hand_over_type", 0, 4) +
                F(1, "reserved_future_use", 7, 3) + F(1, "origin_type", 1, 1) + Line(1, "private_data_byte"));
  // descriptor_length 5: the fixed fields run into the next descriptor and the
  // private run is empty rather than negative.
  EXPECT_EQ(Shown({0x4A, 0x05, 0x00, 0x01, 0x00, 0x02, 0x00, 0x5F, 0x04, 0x00, 0x00, 0x00, 0x07}),
            Header("linkage_descriptor", "0x4A", 5) + F(1, "transport_stream_id", 1, 16) +
                F(1, "original_network_id", 2, 16) + F(1, "service_id", 0x5F, 16) + F(1, "linkage_type", 4, 8) +
                Line(1, "private_data_byte") + kPrivateDataSpecifier7);
}

TEST(DVBIrregularDescriptors40, MosaicCellsWithTheirElementaryCellsAndLinkage) {
  EXPECT_EQ(Shown({0x51, 0x15, 0xAB,
                   // cell 5 with elementary cells 1 and 2, linked to event 4 of service 1/2/3
                   0x17, 0xFA, 0x02, 0xC1, 0xC2, 0x04, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04,
                   // cell 6 without elementary cells, linked to bouquet 0x1234
                   0x18, 0x01, 0x00, 0x01, 0x12, 0x34,
                   // the next descriptor
                   0x5F, 0x04, 0x00, 0x00, 0x00, 0x07}),
            Header("mosaic_descriptor", "0x51", 21) + F(1, "mosaic_entry_point", 1, 1) +
                F(1, "number_of_horizontal_elementary_cells", 2, 3) + F(1, "reserved_future_use", 1, 1) +
                F(1, "number_of_vertical_elementary_cells", 3, 3) + Line(1, "mosaic_descriptors") +
                Line(2, "mosaic_descriptor #0") + F(3, "logical_cell_id", 5, 6) + F(3, "reserved_future_use", 127, 7) +
                F(3, "logical_cell_presentation_info", 2, 3) + F(3, "elementary_cell_field_length", 2, 8) +
                Line(3, "elementary_cell_fields") + Line(4, "elementary_cell_field #0") +
                F(5, "reserved_future_use", 3, 2) + F(5, "elementary_cell_id", 1, 6) +
                Line(4, "elementary_cell_field #1") + F(5, "reserved_future_use", 3, 2) +
                F(5, "elementary_cell_id", 2, 6) + F(3, "cell_linkage_info", 4, 8) +
                F(3, "original_network_id", 1, 16) + F(3, "transport_stream_id", 2, 16) + F(3, "service_id", 3, 16) +
                F(3, "event_id", 4, 16) + Line(2, "mosaic_descriptor #1") + F(3, "logical_cell_id", 6, 6) +
                F(3, "reserved_future_use", 0, 7) + F(3, "logical_cell_presentation_info", 1, 3) +
                F(3, "elementary_cell_field_length", 0, 8) + Line(3, "elementary_cell_fields") +
                F(3, "cell_linkage_info", 1, 8) + F(3, "bouquet_id", 0x1234, 16) + kPrivateDataSpecifier7);
  // descriptor_length 0 counts -1 bytes of cells: none, and the next descriptor
  // is not read as cells.
  EXPECT_EQ(Shown({0x51, 0x00, 0x5F, 0x04, 0x00, 0x00, 0x00, 0x07}),
            Header("mosaic_descriptor", "0x51", 0) + F(1, "mosaic_entry_point", 0, 1) +
                F(1, "number_of_horizontal_elementary_cells", 5, 3) + F(1, "reserved_future_use", 1, 1) +
                F(1, "number_of_vertical_elementary_cells", 7, 3) + Line(1, "mosaic_descriptors") +
                kPrivateDataSpecifier7);
}

TEST(DVBIrregularDescriptors40, VBIDataServiceFieldsStandUnderTheDescriptorNode) {
  // Two services of data_service_id 2 with one line each.
  EXPECT_EQ(Shown({0x45, 0x06, 0x02, 0x01, 0xE7, 0x02, 0x01, 0xC8, 0x5F, 0x04, 0x00, 0x00, 0x00, 0x07}),
            Header("VBI_data_descriptor", "0x45", 6) + Line(1, "VBI_data_descriptors") +
                Line(2, "VBI_data_descriptor #0") + Line(3, "data_service_descriptors") +
                Line(4, "data_service_descriptor #0") + F(5, "reserved", 3, 2) +
                Line(5, PadRightStr("field_parity", 36) + " : 1 (1 bits)") + F(5, "line_offset", 7, 5) +
                Line(2, "VBI_data_descriptor #1") + Line(3, "data_service_descriptors") +
                Line(4, "data_service_descriptor #0") + F(5, "reserved", 3, 2) +
                Line(5, PadRightStr("field_parity", 36) + " : 0 (1 bits)") + F(5, "line_offset", 8, 5) +
                F(1, "data_service_id", 2, 8) + F(1, "data_service_descriptor_length", 1, 8) +
                F(1, "data_service_id", 2, 8) + F(1, "data_service_descriptor_length", 1, 8) + kPrivateDataSpecifier7);
  // Any other data_service_id: its bytes are a run beside the fields.
  EXPECT_EQ(Shown({0x45, 0x05, 0x03, 0x03, 0xAA, 0xBB, 0xCC}),
            Header("VBI_data_descriptor", "0x45", 5) + Line(1, "VBI_data_descriptors") +
                Line(2, "VBI_data_descriptor #0") + F(1, "data_service_id", 3, 8) +
                F(1, "data_service_descriptor_length", 3, 8) + Line(1, "reserved") +
                Dump(2, "AA BB CC ", "\xAA\xBB\xCC"));
}

TEST(DVBIrregularDescriptors40, ExtendedEventItemsThenText) {
  EXPECT_EQ(Shown({0x4E, 0x14, 0x12, 'e', 'n', 'g',  0x0C,            // 12 bytes of items:
                   0x04, 'C',  'a',  's', 't', 0x03, 'B',  'o', 'b',  // "Cast" "Bob"
                   0x00, 0x01, 'X',                                   // "" "X"
                   0x02, 'H',  'i'}),
            Header("extended_event_descriptor", "0x4E", 20) + F(1, "descriptor_number", 1, 4) +
                F(1, "last_descriptor_number", 2, 4) +
                Line(1, PadRightStr("ISO_639_language_code", 36) + " : 6647399 [eng] (24 bits)") +
                F(1, "length_of_items", 12, 8) + Line(1, "items") + Line(2, "item #0") +
                F(3, "item_description_length", 4, 8) + Line(3, "item_description_char") +
                Dump(4, "43 61 73 74 ", "Cast") + F(3, "item_length", 3, 8) + Line(3, "item_char") +
                Dump(4, "42 6F 62 ", "Bob") + Line(2, "item #1") + F(3, "item_description_length", 0, 8) +
                Line(3, "item_description_char") + F(3, "item_length", 1, 8) + Line(3, "item_char") +
                Dump(4, "58 ", "X") + F(1, "text_length", 2, 8) + Line(1, "text_char") + Dump(2, "48 69 ", "Hi"));
}

TEST(DVBIrregularDescriptors40, TelephoneNumberParts) {
  EXPECT_EQ(Shown({0x57, 0x0C, 0xE2, 0xC5, 0xA3, '4', '4', '0', '7', '2', '0', '1', '2', '3'}),
            Header("telephone_descriptor", "0x57", 12) + F(1, "reserved_future_use", 3, 2) +
                F(1, "foreign_availability", 1, 1) + F(1, "connection_type", 2, 5) + F(1, "reserved_future_use", 1, 1) +
                F(1, "country_prefix_length", 2, 2) + F(1, "international_area_code_length", 1, 3) +
                F(1, "operator_code_length", 1, 2) + F(1, "reserved_future_use", 1, 1) +
                F(1, "national_area_code_length", 2, 3) + F(1, "core_number_length", 3, 4) + Line(1, "country_prefix") +
                Dump(2, "34 34 ", "44") + Line(1, "international_area_code") + Dump(2, "30 ", "0") +
                Line(1, "operator_code") + Dump(2, "37 ", "7") + Line(1, "national_area_code") +
                Dump(2, "32 30 ", "20") + Line(1, "core_number") + Dump(2, "31 32 33 ", "123"));
}

TEST(DVBIrregularDescriptors40, InnerLoopsAndRunsEndWithTheDescriptorLoop) {
  // 200 elementary cells claimed, one present.
  TDVBdescriptors mosaic;
  test::Shown(mosaic, {0x51, 0x10, 0xAB, 0x17, 0xFA, 0xC8, 0xC1});
  const auto* cells = mosaic.RecordAs<Tmosaic_descriptor_class>(0);
  ASSERT_NE(cells, nullptr);
  ASSERT_EQ(cells->cells.size(), 1u);
  EXPECT_EQ(cells->cells[0].elementary_cell_field_length, 200u);
  EXPECT_EQ(cells->cells[0].elementary_cells.size(), 1u);
  EXPECT_EQ(cells->cells[0].cell_linkage_info, 0u);

  // 16 lines claimed, one present.
  TDVBdescriptors vbi;
  test::Shown(vbi, {0x45, 0x12, 0x01, 0x10, 0xE7});
  const auto* services = vbi.RecordAs<TVBI_data_descriptor_class>(0);
  ASSERT_NE(services, nullptr);
  ASSERT_EQ(services->services.size(), 1u);
  EXPECT_EQ(services->services[0].lines.size(), 1u);

  // An item of 96 bytes with one present; text_length then reads 0.
  TDVBdescriptors event;
  test::Shown(event, {0x4E, 0x0A, 0x12, 'e', 'n', 'g', 0x05, 0x03, 'A', 'B', 'C', 0x60, 'x'});
  const auto* extended = event.RecordAs<Textended_event_descriptor_class>(0);
  ASSERT_NE(extended, nullptr);
  ASSERT_EQ(extended->items.size(), 1u);
  EXPECT_EQ(extended->items[0].item_length, 96u);
  EXPECT_EQ(extended->items[0].item_char, Bytes{'x'});
  EXPECT_EQ(extended->text_length, 0u);
  EXPECT_TRUE(extended->text_char.empty());

  // A core number of 15 digits with two present.
  TDVBdescriptors phone;
  const std::string text = test::Shown(phone, {0x57, 0x0F, 0xE2, 0x00, 0x0F, '1', '2'});
  const auto* telephone = phone.RecordAs<Ttelephone_descriptor_class>(0);
  ASSERT_NE(telephone, nullptr);
  EXPECT_EQ(telephone->core_number, (Bytes{'1', '2'}));
  EXPECT_TRUE(text.ends_with(Line(1, "core_number") + Dump(2, "31 32 ", "12")));
}

}  // namespace
}  // namespace tessaro
