// The plainly shaped DVB descriptors of tags 0x40 to 0x5F: the nodes each
// shows and how their loops and runs end.
#include <gtest/gtest.h>

#include <string>

#include "core/TextHelpers.h"
#include "descriptors/Descriptors.h"
#include "support/TestSupport.h"
#include "support/TreeText.h"

namespace tessaro {
namespace {

using test::Bytes;

using test::F;
using test::Header;
using test::Line;
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
}

TEST(DVBDescriptors40, ComponentAndTeletextEntries) {
  EXPECT_EQ(Shown({0x50, 0x08, 0xF1, 0x03, 0x0A, 'd', 'e', 'u', 'x', 'y'}),
            Header("component_descriptor", "0x50", 8) + F(1, "reserved_future_use", 15, 4) +
                F(1, "stream_content", 1, 4) + F(1, "component_type", 3, 8) + F(1, "component_tag", 10, 8) +
                ISO(1, 0x646575, "deu") + Line(1, "text_char") + Dump(2, "78 79 ", "xy"));
  // Subtitles for the hard of hearing on page 888.
  EXPECT_EQ(Shown({0x56, 0x05, 'f', 'r', 'a', 0x28, 0x88}),
            Header("teletext_descriptor", "0x56", 5) + Line(1, "teletext_descriptors") +
                Line(2, "teletext_descriptor #0") + ISO(3, 0x667261, "fra") + F(3, "teletext_type", 5, 5) +
                F(3, "teletext_magazine_number", 0, 3) + F(3, "teletext_page_number", 0x88, 8));
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

}  // namespace
}  // namespace tessaro
