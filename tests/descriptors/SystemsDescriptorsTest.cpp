// The ISO/IEC 13818-1 systems descriptors: what each accepts and the nodes it shows.
#include <gtest/gtest.h>

#include <string>

#include "core/TextHelpers.h"
#include "core/TreeNode.h"
#include "descriptors/Descriptors.h"
#include "descriptors/SystemsDescriptors.h"
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

// The tree text of the first descriptor of the loop, which must parse.
std::string Shown(const Bytes& loop) {
  Tdescriptors list;
  return test::Shown(list, loop, 0);
}

struct Acceptance {
  uint8_t tag;
  const char* name;
  int needs;           // least bytes from the descriptor_tag to the loop end
  bool lengthMustFit;  // descriptor_length + 2 must lie within them as well
};

constexpr Acceptance kSystems[] = {
    {0x02, "video_stream_descriptor", 3, false},
    {0x03, "audio_stream_descriptor", 3, false},
    {0x04, "hierarchy_descriptor", 6, false},
    {0x05, "registration_descriptor", 6, true},
    {0x06, "data_stream_alignment_descriptor", 3, false},
    {0x07, "target_background_grid_descriptor", 6, false},
    {0x08, "video_window_descriptor", 6, false},
    {0x09, "CA_descriptor", 6, true},
    {0x0A, "ISO_639_language_descriptor", 2, true},
    {0x0B, "system_clock_descriptor", 4, false},
    {0x0C, "multiplex_buffer_utilization_descriptor", 6, false},
    {0x0D, "copyright_descriptor", 6, true},
    {0x0E, "maximum_bitrate_descriptor", 5, false},
    {0x0F, "private_data_indicator_descriptor", 6, false},
    {0x10, "smoothing_buffer_descriptor", 8, false},
    {0x11, "STD_descriptor", 3, false},
    {0x12, "ibp_descriptor", 4, false},
    {0x1B, "MPEG_4_video_descriptor", 3, false},
    {0x1C, "MPEG_4_audio_descriptor", 3, false},
    {0x1D, "IOD_descriptor", 4, false},
    {0x1E, "SL_descriptor", 4, false},
    {0x1F, "FMC_descriptor", 2, true},
    {0x20, "External_ES_ID_descriptor", 4, false},
    {0x21, "Muxcode_descriptor", 2, false},
    {0x22, "FmxBufferSize_descriptor", 2, false},
    {0x23, "MultiplexBuffer_descriptor", 8, false},
};

TEST(SystemsDescriptors, EachAcceptsWhatItsFieldsNeed) {
  for (const Acceptance& a : kSystems) {
    SCOPED_TRACE(a.name);
    // descriptor_length covering exactly the needed bytes, all bits set.
    Bytes exact{a.tag, static_cast<uint8_t>(a.needs - 2)};
    exact.resize(static_cast<size_t>(a.needs), 0xFF);
    Tdescriptors list;
    EXPECT_TRUE(Parse(list, exact));
    ASSERT_EQ(list.Count(), 1);
    TTreeNode root;
    list.TreeViewUpdateDescriptors(root);
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(root.children[0]->text, a.name);

    Bytes shortLoop = exact;
    shortLoop.pop_back();
    EXPECT_FALSE(Parse(list, shortLoop));
    EXPECT_EQ(list.Count(), 0);

    Bytes overlong = exact;
    overlong[1] += 1;
    EXPECT_EQ(Parse(list, overlong), !a.lengthMustFit);
    EXPECT_EQ(list.Count(), a.lengthMustFit ? 0 : 1);
  }
}

TEST(SystemsDescriptors, CADescriptorAsTheCATReadsIt) {
  TCA_descriptor_class record;
  const Bytes full{0x09, 0x07, 0x06, 0x04, 0x1F, 0xFE, 0xAA, 0xBB, 0xCC, 0x00};
  ASSERT_TRUE(Parse_CA_descriptor(full.data(), 10, record));

  EXPECT_FALSE(Parse_CA_descriptor(full.data(), 5, record));  // fewer than 6 bytes
  EXPECT_FALSE(Parse_CA_descriptor(full.data(), 8, record));  // descriptor_length + 2 > 8
  EXPECT_FALSE(Parse_CA_descriptor(nullptr, 10, record));

  // descriptor_length below 4: accepted (the fields lie within the loop) and
  // no private bytes at all rather than a negative count.
  const Bytes tiny{0x09, 0x02, 0x00, 0x64, 0xE0, 0x20};
  ASSERT_TRUE(Parse_CA_descriptor(tiny.data(), 6, record));
  EXPECT_EQ(record.private_data_length, 0);
  EXPECT_EQ(record.CA_PID, 32u);
}

TEST(SystemsDescriptors, RegistrationAdditionalInfo) {
  // The extra node shows the first four info bytes as one number; bytes the
  // descriptor does not have count as 0.
  EXPECT_EQ(Shown({0x05, 0x06, 'H', 'D', 'M', 'V', 0xFF, 0x1B}),
            Header("registration_descriptor", "0x05", 6) + Field(1, "format_identifier", "1212435798", " (32 bits)") +
                Field(1, "additional_identification_info", "4279959552", " (32 bits)") +
                Line(1, "additional_identification_info") + Line(2, PadRightStr("FF 1B ", 60) + "\xFF\x1B"));
}

TEST(SystemsDescriptors, ISO639LanguageEntries) {
  // Only whole entries within descriptor_length are shown; code bytes below
  // 0x14 show as dots.
  EXPECT_EQ(Shown({0x0A, 0x05, 0x01, 'n', 'g', 0x03, 0x41, 0x03, 0x01, 0x40}),
            Header("ISO_639_language_descriptor", "0x0A", 5) + Line(1, "0") +
                Field(2, "ISO_639_language_code", "93799 [.ng]", " (24 bits)") +
                Field(2, "audio_type", "3", " (8 bits)"));
}

TEST(SystemsDescriptors, OddSuffixAndMarkerNodes) {
  EXPECT_EQ(Shown({0x0C, 0x04, 0x00, 0x00, 0xFF, 0xFF}),
            Header("multiplex_buffer_utilization_descriptor", "0x0C", 4) +
                Field(1, "bound_valid_flag", "0", " (1 bit)") + Field(1, "LTW_offset_lower_bound", "0", " (15 bits)") +
                Field(1, "reserved", "1", " (1 bit)") + Field(1, "LTW_offset_upper_bound", "16383", " (14 bit)"));
  EXPECT_EQ(Shown({0x1D, 0x02, 0x0A, 0x0B}),
            Header("IOD_descriptor", "0x1D", 2) + Field(1, "Scope_of_IOD_label", "10", " (8 bits)") +
                Field(1, "IOD_label", "11", " (8 bits)") + Field(1, "InitialObjectDescriptor()", "", ""));
}

TEST(SystemsDescriptors, LoopsAndRunsOfFMCAndCopyright) {
  EXPECT_EQ(Shown({0x1F, 0x06, 0x00, 0x01, 0x05, 0x01, 0x00, 0x06}),
            Header("FMC_descriptor", "0x1F", 6) + Line(1, "0") + Field(2, "ES_ID", "1", " (16 bits)") +
                Field(2, "FlexMuxChannel", "5", " (8 bits)") + Line(1, "1") + Field(2, "ES_ID", "256", " (16 bits)") +
                Field(2, "FlexMuxChannel", "6", " (8 bits)"));
  // descriptor_length below 4: the identifier is still read from bytes 2-5,
  // here reaching into the Muxcode_descriptor that follows, and the info run
  // is empty.
  EXPECT_EQ(Shown({0x0D, 0x02, 0x00, 0x00, 0x21, 0x00}), Header("copyright_descriptor", "0x0D", 2) +
                                                             Field(1, "copyright_identifier", "8448", " (32 bits)") +
                                                             Line(1, "additional_copyright_info"));
}

}  // namespace
}  // namespace tessaro
