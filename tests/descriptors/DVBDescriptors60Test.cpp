// The DVB descriptors from tag 0x60 on: what each shows, the special shapes,
// and loops and runs that reach past their bytes; every DVB and user-defined
// tag in both kinds of list.
#include <gtest/gtest.h>

#include <string>

#include "core/TextHelpers.h"
#include "core/TreeNode.h"
#include "descriptors/DVBIrregularDescriptors60.h"
#include "descriptors/DescriptorRegistry.h"
#include "descriptors/Descriptors.h"
#include "support/TestSupport.h"
#include "support/TreeText.h"

namespace tessaro {
namespace {

using test::Bytes;

using test::Field;
using test::Header;
using test::Line;
using test::Parse;
std::string Dump(int depth, const Bytes& bytes) {
  std::string hex;
  std::string chars;
  for (uint8_t b : bytes) {
    hex += ByteToHexStr(b) + " ";
    chars += DumpChar(b);
  }
  return Line(depth, PadRightStr(hex, 60) + chars);
}

// The tree text of descriptor index of an SI loop, which must parse to its end.
std::string Shown(const Bytes& loop, size_t index = 0) {
  TDVBdescriptors list;
  return test::Shown(list, loop, index);
}

TEST(DVBDescriptors60, EveryTagIsDecodedByBothLists) {
  for (int tag = 0x40; tag <= 0xFE; ++tag) {
    if (tag > 0x78 && tag < 0x80) continue;
    SCOPED_TRACE(tag);
    Tdescriptors pmt;
    TDVBdescriptors sdt;
    // A lone tag as the last byte of the loop reads descriptor_length 0.
    for (TDescriptorList* list : {static_cast<TDescriptorList*>(&pmt), static_cast<TDescriptorList*>(&sdt)}) {
      EXPECT_TRUE(Parse(*list, {0x65, 0x01, 0x07, static_cast<uint8_t>(tag)}));
      ASSERT_EQ(list->Count(), 2);
      EXPECT_EQ(list->Record(1)->descriptor_length, 0u);
      TTreeNode root;
      list->TreeViewUpdateDescriptors(root);
      ASSERT_EQ(root.children.size(), 2u);
      EXPECT_EQ(root.children[1]->text, DescriptorName(static_cast<uint8_t>(tag)));
    }
  }
}

TEST(DVBDescriptors60, PlainFieldsAndRuns) {
  EXPECT_EQ(Shown({0x61, 3, 0xC5, 0x01, 0x41}),
            Header("short_smoothing_buffer_descriptor", "0x61", 3) + Field(1, "sb_size", "3", " (2 bits)") +
                Field(1, "sb_leak_rate", "5", " (6 bits)") + Line(1, "DVB_reserved") + Dump(2, {0x01, 0x41}));
  const Bytes dataBroadcast{0x64, 13, 0x01, 0x23, 0x05, 0x02, 0xAB, 0xCD, 'e', 'n', 'g', 0x03, 'a', 'b', 'c'};
  EXPECT_EQ(Shown(dataBroadcast),
            Header("data_broadcast_descriptor", "0x64", 13) + Field(1, "data_broadcast_id", "291", " (16 bits)") +
                Field(1, "component_tag", "5", " (8 bits)") + Field(1, "selector_length", "2", " (8 bits)") +
                Line(1, "selector") + Dump(2, {0xAB, 0xCD}) +
                Field(1, "ISO_639_language_code", "6647399 [eng]", " (24 bits)") +
                Field(1, "text_length", "3", " (8 bits)") + Line(1, "text_char") + Dump(2, {'a', 'b', 'c'}));
  // A selector claiming more bytes than the loop holds is cut at its end.
  EXPECT_EQ(Shown({0x64, 13, 0x01, 0x23, 0x05, 0x40, 0xAB}),
            Header("data_broadcast_descriptor", "0x64", 13) + Field(1, "data_broadcast_id", "291", " (16 bits)") +
                Field(1, "component_tag", "5", " (8 bits)") + Field(1, "selector_length", "64", " (8 bits)") +
                Line(1, "selector") + Dump(2, {0xAB}) + Field(1, "ISO_639_language_code", "0 [...]", " (24 bits)") +
                Field(1, "text_length", "0", " (8 bits)") + Line(1, "text_char"));
}

TEST(DVBDescriptors60, AC3OptionalBytesFollowTheirFlags) {
  const char* flags[] = {"component_type_flag", "bsid_flag", "mainid_flag", "asvc_flag"};
  const char* fields[] = {"component_type", "bsid", "mainid", "asvc"};
  for (int k = 0; k < 4; ++k) {
    std::string expected = Header("AC_3_descriptor", "0x6A", 3);
    for (int f = 0; f < 4; ++f) expected += Field(1, flags[f], f == k ? "1" : "0", " (1 bit)");
    expected += Field(1, "reserved_flags", "0", " (4 bits)") + Field(1, fields[k], "42", " (8 bits)") +
                Line(1, "additional_info") + Dump(2, {0xEE});
    EXPECT_EQ(Shown({0x6A, 3, static_cast<uint8_t>(0x80 >> k), 42, 0xEE}), expected) << fields[k];
  }
  std::string all = Header("AC_3_descriptor", "0x6A", 5);
  for (const char* flag : flags) all += Field(1, flag, "1", " (1 bit)");
  all += Field(1, "reserved_flags", "15", " (4 bits)");
  for (int f = 0; f < 4; ++f) all += Field(1, fields[f], std::to_string(f + 1), " (8 bits)");
  EXPECT_EQ(Shown({0x6A, 5, 0xFF, 1, 2, 3, 4}), all + Line(1, "additional_info"));
  // additional_info claiming 9 bytes of which 2 remain in the loop.
  TDVBdescriptors list;
  ASSERT_TRUE(Parse(list, {0x6A, 10, 0x00, 0x41, 0x42}));
  const auto* ac3 = list.RecordAs<TAC_3_descriptor_class>(0);
  ASSERT_NE(ac3, nullptr);
  EXPECT_EQ(ac3->additional_info_length, 2);
}

TEST(DVBDescriptors60, AnnouncementSupportEntriesBySize) {
  const Bytes twoEntries{0x6E, 11, 0x01, 0x02, 0x10, 0x2A, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x04};
  EXPECT_EQ(Shown(twoEntries),
            Header("announcement_support_descriptor", "0x6E", 11) +
                Field(1, "announcement_support_indicator", "258", " (16 bits)") + Line(1, "announcements") +
                Line(2, "announcement #0") + Field(3, "announcement_type", "1", " (4 bits)") +
                Field(3, "reserved_future_use", "0", " (1 bit)") + Field(3, "reference_type", "0", " (3 bits)") +
                Line(2, "announcement #1") + Field(3, "announcement_type", "2", " (4 bits)") +
                Field(3, "reserved_future_use", "1", " (1 bit)") + Field(3, "reference_type", "2", " (3 bits)") +
                Field(3, "original_network_id", "1", " (16 bits)") +
                Field(3, "transport_stream_id", "2", " (16 bits)") + Field(3, "service_id", "3", " (16 bits)") +
                Field(3, "component_tag", "4", " (8 bits)"));
  // Types 1 to 3 take eight bytes and show seven fields; the others one byte
  // and three fields, so eight body bytes hold one entry or eight.
  for (uint8_t type = 0; type < 8; ++type) {
    TDVBdescriptors list;
    ASSERT_TRUE(Parse(list, {0x6E, 10, 0, 0, type, type, type, type, type, type, type, type}));
    const auto* record = list.RecordAs<Tannouncement_support_descriptor_class>(0);
    ASSERT_NE(record, nullptr);
    const bool service = type >= 1 && type <= 3;
    EXPECT_EQ(record->announcement_count, service ? 1 : 8) << int{type};
    TTreeNode root;
    list.TreeViewUpdateDescriptors(root);
    EXPECT_EQ(root.children[0]->children[3]->children[0]->children.size(), service ? 7u : 3u) << int{type};
  }
}

TEST(DVBDescriptors60, CellListShowsCellFieldsAfterTheCells) {
  const Bytes cells{
      0x6C, 36,                                                    //
      0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x40, 0x05, 0x08,  // cell 0
      0x07, 0x00, 0x08, 0x00, 0x09, 0x00, 0xA0, 0x0B,              //   its subcell
      0xFF, 0xFF, 0x80, 0x00, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0x08,  // cell 1
      0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,              //   its subcell
  };
  auto subcell = [](const char* id, const char* lat, const char* lon, const char* extLat, const char* extLon) {
    return Line(3, "subcells") + Line(4, "subcell #0") + Field(5, "cell_id_extension", id, " (8 bits)") +
           Field(5, "subcell_latitude", lat, " (16 bits)") + Field(5, "subcell_longitude", lon, " (16 bits)") +
           Field(5, "subcell_extent_of_latitude", extLat, " (12 bits)") +
           Field(5, "subcell_extent_of_longitude", extLon, " (12 bits)");
  };
  auto cell = [](const char* id, const char* lat, const char* lon, const char* extLat, const char* extLon) {
    return Field(1, "cell_id", id, " (16 bits)") + Field(1, "cell_latitude", lat, " (16 bits)") +
           Field(1, "cell_longitude", lon, " (16 bits)") + Field(1, "cell_extent_of_latitude", extLat, " (12 bits)") +
           Field(1, "cell_extent_of_longitude", extLon, " (12 bits)") +
           Field(1, "subcell_info_loop_length", "8", " (8 bits)");
  };
  EXPECT_EQ(Shown(cells), Header("cell_list_descriptor", "0x6C", 36) + Line(1, "cells") + Line(2, "cell #0") +
                              subcell("7", "8", "9", "10", "11") + Line(2, "cell #1") +
                              subcell("1", "0", "0", "0", "0") + cell("1", "2", "3", "4", "5") +
                              cell("65535", "32768", "32767", "4095", "4095"));
}

TEST(DVBDescriptors60, CellFrequencyLinkWithAndWithoutCellInfos) {
  const Bytes cells{
      0x6D, 24,                                  //
      0x00, 0x10, 0x01, 0x17, 0x50, 0x00, 0x0A,  // cell 0, ten bytes of cell_infos
      0x01, 0x00, 0x00, 0x00, 0x02,              //
      0x02, 0xFF, 0xFF, 0xFF, 0xFF,              //
      0x00, 0x11, 0x00, 0x00, 0x00, 0x05, 0x00,  // cell 1, none
  };
  EXPECT_EQ(Shown(cells),
            Header("cell_frequency_link_descriptor", "0x6D", 24) + Line(1, "cells") + Line(2, "cell #0") +
                Line(3, "cell_infos") + Line(4, "cell_info #0") + Field(5, "cell_id_extension", "1", " (8 bits)") +
                Field(5, "transposer_frequency", "2", " (32 bits)") + Line(4, "cell_info #1") +
                Field(5, "cell_id_extension", "2", " (8 bits)") +
                Field(5, "transposer_frequency", "4294967295", " (32 bits)") + Line(2, "cell #1") +
                Line(3, "cell_infos") + Field(1, "cell_id", "16", " (16 bits)") +
                Field(1, "frequency", "18305024", " (32 bits)") +
                Field(1, "subcell_info_loop_length", "10", " (8 bits)") + Field(1, "cell_id", "17", " (16 bits)") +
                Field(1, "frequency", "5", " (32 bits)") + Field(1, "subcell_info_loop_length", "0", " (8 bits)"));
}

TEST(DVBDescriptors60, HandWrittenLoopsStopWhereTheLoopBytesEnd) {
  // Each claims descriptor_length 255 (and a long inner loop) with one entry's
  // worth of bytes left: one entry each, not a run of zero entries.
  TDVBdescriptors list;
  ASSERT_TRUE(Parse(list, {0x6C, 0xFF, 0, 1, 0, 2, 0, 3, 0, 0, 0, 0xF0, 9, 0, 0, 0, 0, 0, 0, 0}));
  const auto* cellList = list.RecordAs<Tcell_list_descriptor_class>(0);
  ASSERT_NE(cellList, nullptr);
  ASSERT_EQ(cellList->cells.size(), 1u);
  ASSERT_EQ(cellList->cells[0].subcells.size(), 1u);
  EXPECT_EQ(cellList->cells[0].subcells[0].cell_id_extension, 9u);

  ASSERT_TRUE(Parse(list, {0x6D, 0xFF, 0, 1, 0, 0, 0, 2, 0xC8, 3, 0, 0, 0, 4}));
  const auto* link = list.RecordAs<Tcell_frequency_link_descriptor_class>(0);
  ASSERT_NE(link, nullptr);
  ASSERT_EQ(link->cells.size(), 1u);
  ASSERT_EQ(link->cells[0].cell_infos.size(), 1u);
  EXPECT_EQ(link->cells[0].cell_infos[0].transposer_frequency, 4u);

  ASSERT_TRUE(Parse(list, {0x6E, 0xFF, 0, 1, 0x11, 0, 5}));
  const auto* announcements = list.RecordAs<Tannouncement_support_descriptor_class>(0);
  ASSERT_NE(announcements, nullptr);
  ASSERT_EQ(announcements->announcement_count, 1);
  EXPECT_EQ(announcements->original_network_id[0], 5u);
  EXPECT_EQ(announcements->service_id[0], 0u);
}

}  // namespace
}  // namespace tessaro
