// The plainly shaped DVB descriptors of tags 0x40 to 0x5F: the nodes each
// shows, how their loops and runs end, and descriptors read from real captures.
#include <gtest/gtest.h>

#include <string>

#include "core/FileStream.h"
#include "core/PacketParser.h"
#include "core/SectionGatherer.h"
#include "core/TextHelpers.h"
#include "core/TreeNode.h"
#include "descriptors/DescriptorRegistry.h"
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
std::string ISO(int depth, uint32_t code, const char* letters) {
  return Line(depth,
              PadRightStr("ISO_639_language_code", 36) + " : " + std::to_string(code) + " [" + letters + "] (24 bits)");
}
std::string Dump(int depth, const char* hex, const char* chars) { return Line(depth, PadRightStr(hex, 60) + chars); }

// The tree texts of the descriptors of an SI loop, which must be walked to its end.
std::string Shown(const Bytes& loop) {
  TDVBdescriptors list;
  return test::Shown(list, loop);
}

TEST(DVBDescriptors40, EveryTagIsDecodedAndALoneTagEndsTheLoop) {
  for (int tag = 0x40; tag <= 0x5F; ++tag) {
    SCOPED_TRACE(tag);
    // A lone tag after an audio_stream_descriptor: descriptor_length reads 0.
    const Bytes loop{0x03, 0x01, 0x40, static_cast<uint8_t>(tag)};
    Tdescriptors pmt;
    EXPECT_TRUE(pmt.ParseDescriptors(loop.data(), 4));
    ASSERT_EQ(pmt.Count(), 2);
    EXPECT_EQ(pmt.Record(1)->descriptor_length, 0u);
    TDVBdescriptors si;
    EXPECT_TRUE(si.ParseDescriptors(loop.data() + 3, 1));
    ASSERT_EQ(si.Count(), 1);
    TTreeNode root;
    si.TreeViewUpdateDescriptors(root);
    ASSERT_EQ(root.children.size(), 1u);
    const std::string header =
        Header(DescriptorName(static_cast<uint8_t>(tag)), ("0x" + ByteToHexStr(static_cast<uint8_t>(tag))).c_str(), 0);
    EXPECT_EQ(TreeToText(*root.children[0]).substr(0, header.size()), header);
  }
}

TEST(DVBDescriptors40, LoopsReadWholeEntriesIntoTheNextDescriptor) {
  // descriptor_length 4: the second entry takes the low byte of its service_id
  // and its service_type from the stream_identifier_descriptor after it, which
  // is still decoded in full.
  EXPECT_EQ(Shown({0x41, 0x04, 0x00, 0x01, 0x19, 0x00, 0x52, 0x01, 0x0A}),
            Header("service_list_descriptor", "0x41", 4) + Line(1, "services") + Line(2, "service #0") +
                F(3, "service_id", 1, 16) + F(3, "service_type", 25, 8) + Line(2, "service #1") +
                F(3, "service_id", 0x52, 16) + F(3, "service_type", 1, 8) +
                Header("stream_identifier_descriptor", "0x52", 1) +
                Line(1, PadRightStr("component_tag", 36) + " : 0x0A (8 bits)"));
  // One language: exactly one entry.
  EXPECT_EQ(Shown({0x5D, 0x08, 'f', 'r', 'a', 0x01, 'P', 0x02, 'S', 'N'}),
            Header("multilingual_service_name_descriptor", "0x5D", 8) +
                Line(1, "multilingual_service_name_descriptors") + Line(2, "multilingual_service_name_descriptor #0") +
                ISO(3, 0x667261, "fra") + F(3, "service_provider_name_length", 1, 8) +
                Line(3, "service_provider_name") + Dump(4, "50 ", "P") + F(3, "service_name_length", 2, 8) +
                Line(3, "service_name") + Dump(4, "53 4E ", "SN"));
}

TEST(DVBDescriptors40, LoopsAndRunsEndWithTheDescriptorLoop) {
  // service_list claiming 255 bytes: no entry starts past the loop's bytes;
  // one that starts inside reads zeros for what lies beyond.
  EXPECT_EQ(Shown({0x41, 0xFF, 0x00, 0x01, 0x19}), Header("service_list_descriptor", "0x41", 255) +
                                                       Line(1, "services") + Line(2, "service #0") +
                                                       F(3, "service_id", 1, 16) + F(3, "service_type", 25, 8));
  EXPECT_EQ(Shown({0x41, 0xFF, 0x00, 0x01, 0x19, 0x12}),
            Header("service_list_descriptor", "0x41", 255) + Line(1, "services") + Line(2, "service #0") +
                F(3, "service_id", 1, 16) + F(3, "service_type", 25, 8) + Line(2, "service #1") +
                F(3, "service_id", 0x1200, 16) + F(3, "service_type", 0, 8));
  EXPECT_EQ(Shown({0x40, 0x14, 'a', 'b', 'c'}),
            Header("network_name_descriptor", "0x40", 20) + Line(1, "network_name") + Dump(2, "61 62 63 ", "abc"));
  EXPECT_EQ(Shown({0x5B, 0x20, 'e', 'n', 'g', 0x10, 'x'}),
            Header("multilingual_network_name_descriptor", "0x5B", 32) +
                Line(1, "multilingual_network_name_descriptors") + Line(2, "multilingual_network_name_descriptor #0") +
                ISO(3, 0x656E67, "eng") + F(3, "network_name_length", 16, 8) + Line(3, "char") + Dump(4, "78 ", "x"));
}

TEST(DVBDescriptors40, LoopCountersBelowZeroGiveNoEntries) {
  // country_availability and multilingual_component loops count
  // descriptor_length - 1 bytes; with descriptor_length 0 that is none.
  EXPECT_EQ(Shown({0x49, 0x00, 0x5F, 0x04, 0x00, 0x00, 0x00, 0x01}),
            Header("country_availability_descriptor", "0x49", 0) + F(1, "country_availability_flag", 0, 1) +
                F(1, "reserved_future_use", 0x5F, 7) + Line(1, "country_codes") +
                Header("private_data_specifier_descriptor", "0x5F", 4) + F(1, "private_data_specifier", 1, 32));
  EXPECT_EQ(Shown({0x5E, 0x00}), Header("multilingual_component_descriptor", "0x5E", 0) +
                                     Line(1, PadRightStr("component_tag", 36) + " : 0x00 (8 bits)") +
                                     Line(1, "multilingual_component_descriptors"));
  EXPECT_EQ(Shown({0x5E, 0x06, 0xC4, 'e', 'n', 'g', 0x01, 'A'}),
            Header("multilingual_component_descriptor", "0x5E", 6) +
                Line(1, PadRightStr("component_tag", 36) + " : 0xC4 (8 bits)") +
                Line(1, "multilingual_component_descriptors") + Line(2, "multilingual_component_descriptor #0") +
                ISO(3, 0x656E67, "eng") + F(3, "text_description_length", 1, 8) + Line(3, "text_char") +
                Dump(4, "41 ", "A"));
}

TEST(DVBDescriptors40, ServiceEventAndComponentTexts) {
  EXPECT_EQ(Shown({0x48, 0x08, 0x01, 0x00, 0x05, 'A', 'B', 'C', 'D', 'E'}),
            Header("service_descriptor", "0x48", 8) + F(1, "service_type", 1, 8) +
                F(1, "service_provider_name_length", 0, 8) + Line(1, "service_provider_name") +
                F(1, "service_name_length", 5, 8) + Line(1, "service_name") + Dump(2, "41 42 43 44 45 ", "ABCDE"));
  EXPECT_EQ(Shown({0x4D, 0x07, 'e', 'n', 'g', 0x02, 'H', 'i', 0x00}),
            Header("short_event_descriptor", "0x4D", 7) + ISO(1, 6647399, "eng") + F(1, "event_name_length", 2, 8) +
                Line(1, "event_name") + Dump(2, "48 69 ", "Hi") + F(1, "text_length", 0, 8) + Line(1, "text"));
  EXPECT_EQ(Shown({0x50, 0x08, 0xF1, 0x03, 0x0A, 'd', 'e', 'u', 'x', 'y'}),
            Header("component_descriptor", "0x50", 8) + F(1, "reserved_future_use", 15, 4) +
                F(1, "stream_content", 1, 4) + F(1, "component_type", 3, 8) + F(1, "component_tag", 10, 8) +
                ISO(1, 0x646575, "deu") + Line(1, "text_char") + Dump(2, "78 79 ", "xy"));
}

TEST(DVBDescriptors40, DeliverySystemsAndTimesShowRawUnsignedBits) {
  const Bytes ones(13, 0xFF);
  Bytes satellite{0x43, 0x0B};
  satellite.insert(satellite.end(), ones.begin(), ones.begin() + 11);
  EXPECT_EQ(Shown(satellite),
            Header("satellite_delivery_system_descriptor", "0x43", 11) + F(1, "frequency", 4294967295u, 32) +
                F(1, "orbital_position", 65535, 16) + F(1, "west_east_flag", 1, 1) + F(1, "polarization", 3, 2) +
                F(1, "modulation", 31, 5) + F(1, "symbol_rate", 268435455, 28) + F(1, "FEC_inner", 15, 4));
  Bytes offsets{0x58, 0x0D};
  offsets.insert(offsets.end(), ones.begin(), ones.end());
  EXPECT_EQ(Shown(offsets), Header("local_time_offset_descriptor", "0x58", 13) +
                                Line(1, "local_time_offset_descriptors") + Line(2, "local_time_offset_descriptor #0") +
                                F(3, "country_code", 16777215, 24) + F(3, "country_region_id", 63, 6) +
                                F(3, "reserved", 1, 1) + F(3, "local_time_offset_polarity", 1, 1) +
                                F(3, "local_time_offset", 65535, 16) + F(3, "time_of_change", 1099511627775, 40) +
                                F(3, "next_time_offset", 65535, 16));
  EXPECT_EQ(Shown({0x5A, 0x0B, 0x01, 0x02, 0x03, 0x04, 0x57, 0x9D, 0xCD, 0xFF, 0xFF, 0xFF, 0xFE}),
            Header("terrestrial_delivery_system_descriptor", "0x5A", 11) + F(1, "centre_frequency", 0x01020304, 32) +
                F(1, "bandwidth", 2, 3) + F(1, "priority", 1, 1) + F(1, "Time_Slicing_indicator", 0, 1) +
                F(1, "MPE_FEC_indicator", 1, 1) + F(1, "reserved_future_use", 3, 2) + F(1, "constellation", 2, 2) +
                F(1, "hierarchy_information", 3, 3) + F(1, "code_rate_HP_stream", 5, 3) +
                F(1, "code_rate_LP_stream", 6, 3) + F(1, "guard_interval", 1, 2) + F(1, "transmission_mode", 2, 2) +
                F(1, "other_frequency_flag", 1, 1) + F(1, "reserved_future_use", 0xFFFFFFFE, 32));
  EXPECT_EQ(Shown({0x44, 0x0B, 0x00, 0x03, 0x46, 0x00, 0xFF, 0xF2, 0x03, 0x00, 0x68, 0x75, 0x03}),
            Header("cable_delivery_system_descriptor", "0x44", 11) + F(1, "frequency", 0x00034600, 32) +
                F(1, "reserved_future_use", 0xFFF, 12) + F(1, "FEC_outer", 2, 4) + F(1, "modulation", 3, 8) +
                F(1, "symbol_rate", 0x0068750, 28) + F(1, "FEC_inner", 3, 4));
}

// Real captures. The first complete section of table_id on pid.
Bytes FirstSection(const char* file, int32_t pid, uint8_t tableId) {
  auto stream = TFileStream::Open(test::SharedStreamPath(file), TFileStream::Mode::Read);
  if (!stream) return {};
  TMPEGTSBasePacketParser parser;
  TSectionBuffer buffer{};
  uint8_t packet[188];
  for (int64_t offset = 0; stream->ReadAt(offset, packet, 188) == 188; offset += 188) {
    if (parser.ParseData(packet, 188) != S_OK || parser.Header.PID != pid ||
        parser.Header.payload_unit_start_indicator == 0)
      continue;
    const TGatheredSection section = GatherSection(
        parser, stream.get(), 188, offset, [](int32_t) { return true; }, buffer);
    if (section.data != nullptr && section.available > 0 && section.data[0] == tableId)
      return Bytes(section.data, section.data + section.available);
  }
  return {};
}
// The descriptor loop whose 12-bit length stands at byte at of the section.
Bytes LoopAt(const Bytes& section, size_t at) {
  if (at + 2 > section.size()) return {};
  const size_t length = ((section[at] & 0x0F) << 8) | section[at + 1];
  if (at + 2 + length > section.size()) return {};
  return Bytes(section.begin() + static_cast<std::ptrdiff_t>(at + 2),
               section.begin() + static_cast<std::ptrdiff_t>(at + 2 + length));
}

TEST(DVBDescriptors40, RealTeletextAndVBIDataInAPMT) {
  TESSARO_REQUIRE_SHARED_STREAMS();
  // The ES_info loop of the teletext stream (PID 0x042C) of the PMT on PID 0x00A0.
  const Bytes pmt = FirstSection("teletext.ts", 0xA0, 0x02);
  ASSERT_GT(pmt.size(), 12u);
  size_t at = 12 + (((pmt[10] & 0x0F) << 8) | pmt[11]);
  while (at + 5 <= pmt.size() && (((pmt[at + 1] & 0x1F) << 8) | pmt[at + 2]) != 0x042C)
    at += 5 + (((pmt[at + 3] & 0x0F) << 8) | pmt[at + 4]);
  const Bytes loop = LoopAt(pmt, at + 3);
  Tdescriptors list;
  ASSERT_TRUE(list.ParseDescriptors(loop.data(), static_cast<int32_t>(loop.size())));
  TTreeNode root;
  list.TreeViewUpdateDescriptors(root);
  ASSERT_EQ(root.children.size(), 2u);
  // French subtitles for the hard of hearing on page 888 and plain subtitles on 889.
  std::string teletext = Header("teletext_descriptor", "0x56", 10) + Line(1, "teletext_descriptors");
  int index = 0;
  for (auto [type, page] : {std::pair{5, 0x88}, std::pair{2, 0x89}}) {
    teletext += Line(2, "teletext_descriptor #" + std::to_string(index++)) + ISO(3, 0x667261, "fra") +
                F(3, "teletext_type", type, 5) + F(3, "teletext_magazine_number", 0, 3) +
                F(3, "teletext_page_number", page, 8);
  }
  EXPECT_EQ(TreeToText(*root.children[0]), teletext);
}

}  // namespace
}  // namespace tessaro
