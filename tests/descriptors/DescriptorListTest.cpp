// Descriptor lists: the walk over a loop, the tags each list accepts, the
// 1024-descriptor limit, and the field-table engine the descriptors share.
#include <gtest/gtest.h>

#include <string>

#include "core/TreeNode.h"
#include "descriptors/DescriptorRegistry.h"
#include "descriptors/Descriptors.h"
#include "descriptors/FieldTable.h"
#include "descriptors/SystemsDescriptors.h"
#include "support/TestSupport.h"
#include "support/TreeText.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::DebugCapture;

const std::string kUnknownTag = "zrk: Error in Tdescriptor.Parse_descriptor - unknown descriptor tag.";

using test::Parse;

TEST(DescriptorList, EmptyLoopIsAnEmptyList) {
  Tdescriptors list;
  const uint8_t byte = 0x09;
  EXPECT_TRUE(list.ParseDescriptors(&byte, 0));
  EXPECT_TRUE(list.ParseDescriptors(nullptr, 0));
  EXPECT_EQ(list.Count(), 0);
  TTreeNode root("descriptors");
  EXPECT_TRUE(list.TreeViewUpdateDescriptors(root));
  EXPECT_TRUE(root.children.empty());
}

TEST(DescriptorList, TagsWithoutADescriptorEndTheWalk) {
  for (int tag : {0x00, 0x01, 0x13, 0x1A, 0x24, 0x3F, 0x79, 0x7F, 0xFF}) {
    DebugCapture capture;
    Tdescriptors list;
    // An audio_stream_descriptor, then the unknown tag.
    EXPECT_FALSE(Parse(list, {0x03, 0x01, 0x40, static_cast<uint8_t>(tag), 0x00})) << tag;
    EXPECT_EQ(list.Count(), 1) << tag;
    EXPECT_TRUE(capture.Contains(kUnknownTag)) << tag;
  }
  for (int tag : {0x02, 0x09, 0x23}) {
    DebugCapture capture;
    TDVBdescriptors list;
    EXPECT_FALSE(Parse(list, {static_cast<uint8_t>(tag), 0x04, 0, 0, 0, 0})) << tag;
    EXPECT_EQ(list.Count(), 0) << tag;
    EXPECT_TRUE(capture.Contains(kUnknownTag)) << tag;
  }
}

TEST(DescriptorList, WalkStepsByDescriptorLengthNotByWhatWasRead) {
  // A video_stream_descriptor claiming length 0 still reads its flags from
  // byte 2 (here MPEG_1_only_flag 0, so bytes 2-4); the walk goes on at byte 2.
  Tdescriptors list;
  EXPECT_TRUE(Parse(list, {0x02, 0x00, 0x03, 0x01, 0x40}));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Tag(0), 0x02);
  EXPECT_EQ(list.Tag(1), 0x03);
  EXPECT_EQ(list.Record(0)->descriptor_length, 0u);
}

TEST(DescriptorList, LoneTagAtTheEndOfTheLoop) {
  Tdescriptors list;
  EXPECT_FALSE(Parse(list, {0x03, 0x01, 0x40, 0x02}));
  EXPECT_EQ(list.Count(), 1);
}

TEST(DescriptorList, HoldsAtMost1024Descriptors) {
  // Muxcode_descriptor: two bytes each.
  Bytes loop;
  for (int i = 0; i < 1025; ++i) loop.insert(loop.end(), {0x21, 0x00});
  Tdescriptors list;
  {
    DebugCapture capture;
    EXPECT_FALSE(Parse(list, loop));
    EXPECT_EQ(list.Count(), 1024);
    EXPECT_TRUE(
        capture.Contains("zrk: Error in Tdescriptors.ParseDescriptors - more than 1024 descriptors in the loop."));
  }
  TTreeNode root("descriptors");
  list.TreeViewUpdateDescriptors(root);
  EXPECT_EQ(root.children.size(), 1024u);

  loop.resize(2048);
  EXPECT_TRUE(Parse(list, loop));
  EXPECT_EQ(list.Count(), 1024);
}

TEST(DescriptorList, ParseReplacesAndClearEmpties) {
  Tdescriptors list;
  ASSERT_TRUE(Parse(list, {0x03, 0x01, 0x40, 0x1E, 0x02, 0x01, 0x02}));
  ASSERT_EQ(list.Count(), 2);
  ASSERT_TRUE(Parse(list, {0x1E, 0x02, 0x01, 0x02}));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Tag(0), 0x1E);
  EXPECT_EQ(list.Tag(1), 0);
  EXPECT_EQ(list.Record(1), nullptr);

  Tdescriptors moved(std::move(list));
  EXPECT_EQ(moved.Count(), 1);
  EXPECT_EQ(list.Count(), 0);  // NOLINT(bugprone-use-after-move): a moved-from list is empty
  moved.ClearDescriptors();
  EXPECT_EQ(moved.Count(), 0);
  EXPECT_EQ(moved.Record(0), nullptr);
}

// The engine features the DVB descriptors rely on, on a made-up table that
// borrows the name of tag 0x41.
constexpr TFieldDesc kEntry[] = {fields::Bits("service_id", 16), fields::Bits("service_type", 8)};
constexpr TFieldDesc kNameEntry[] = {fields::Bits("name_length", 8),
                                     fields::Run("name", fields::LengthField("name_length"))};
constexpr TFieldDesc kDVBShapes[] = {
    fields::HexBits("component_tag", 8),
    fields::Bits("time_of_change", 40),
    fields::Loop("services", "service #", fields::DescriptorLength(6), {3}, kEntry),
    fields::Bits("names_length", 8),
    fields::Loop("names", "name #", fields::LengthField("names_length"), {1, {"name_length"}}, kNameEntry),
};
constexpr TFieldTable kDVBShapesTable = fields::Table(0x41, kDVBShapes);

TEST(FieldTable, ReadsPastTheEndAsZero) {
  const Bytes data{0x41, 0xFF, 0x0A};
  TBitStream4 reader;
  reader.SetData(data.data(), static_cast<int32_t>(data.size()));
  TFieldRecord record;
  ASSERT_TRUE(ParseDVBFields("Parse_test", kDVBShapesTable, reader, record));
  EXPECT_EQ(record.descriptor_length, 255u);
  // component_tag, time_of_change, then the 249-byte loop: 83 entries of zeros.
  ASSERT_GE(record.values.size(), 2u + 83 * 2);
  EXPECT_EQ(record.values[0], 0x0Au);
  EXPECT_EQ(record.values[1], 0u);
  EXPECT_TRUE(record.bytes.empty());
}

TEST(FieldTable, MismatchedRecordIsCaughtByTheGuard) {
  DebugCapture capture;
  TFieldRecord empty;
  TTreeNode root;
  EXPECT_FALSE(TreeView_Update_SL_descriptor(root, empty));
  EXPECT_TRUE(capture.Contains("zrk: Error in TreeView_Update_SL_descriptor call..."));
  ASSERT_EQ(root.children.size(), 1u);  // the nodes added before the failure stay
  EXPECT_EQ(root.children[0]->text, "SL_descriptor");

  // The dispatch table refuses a record of another type.
  Tregistration_descriptor_class registration;
  EXPECT_FALSE(FindDescriptor(0x1E).display(root, registration));
}

// The node of a private descriptor names the owner that a registration or
// private_data_specifier before it in the loop gives, with decoded values on.
TEST(DescriptorList, PrivateDescriptorsNameTheirKnownOwner) {
  auto shown = [](TDescriptorList& list, const test::Bytes& loop, bool decoded) {
    EXPECT_TRUE(list.ParseDescriptors(loop.data(), static_cast<int32_t>(loop.size())));
    TTreeNode root("descriptors");
    TDecodedValuesScope scope(decoded);
    EXPECT_TRUE(list.TreeViewUpdateDescriptors(root));
    std::vector<std::string> texts;
    for (const auto& child : root.children) texts.push_back(child->text);
    return texts;
  };
  // registration "AC-3", then a user private descriptor 0x81.
  const test::Bytes pmtLoop{0x05, 0x04, 'A', 'C', '-', '3', 0x81, 0x01, 0x00};
  Tdescriptors pmt;
  const std::vector<std::string> plain = shown(pmt, pmtLoop, false);
  const std::vector<std::string> decoded = shown(pmt, pmtLoop, true);
  ASSERT_EQ(decoded.size(), 2u);
  EXPECT_EQ(decoded[0], plain[0]);
  EXPECT_EQ(decoded[1], plain[1] + " [AC-3]");
  // private_data_specifier 0x00000028, then 0x83; an unknown specifier names nobody.
  const test::Bytes sdtLoop{0x5F, 0x04, 0x00, 0x00, 0x00, 0x28, 0x83, 0x01, 0x00,
                            0x5F, 0x04, 0x00, 0x00, 0x00, 0x01, 0x83, 0x01, 0x00};
  TDVBdescriptors sdt;
  const std::vector<std::string> named = shown(sdt, sdtLoop, true);
  ASSERT_EQ(named.size(), 4u);
  EXPECT_EQ(named[1].substr(named[1].size() - 8), " [EACEM]");
  EXPECT_EQ(named[3].find('['), std::string::npos) << named[3];
}

}  // namespace
}  // namespace tessaro
