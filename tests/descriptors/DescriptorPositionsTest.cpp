// Field positions of descriptors: every node a descriptor shows carries the
// spans of the bytes it was read from, inside its descriptor's bytes, and
// nothing is recorded while no positions are active. The checker the tests
// rely on is tested first, on trees with one fault each.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/FieldPositions.h"
#include "core/TextHelpers.h"
#include "core/TreeNode.h"
#include "descriptors/Descriptors.h"
#include "descriptors/FieldTable.h"
#include "descriptors/SystemsDescriptors.h"
#include "support/PositionCheck.h"
#include "support/TestSupport.h"
#include "support/TreeText.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::CheckFieldPositions;
using test::TFileBytes;

// ---- The checker ----------------------------------------------------------------

struct CheckerCase {
  const char* what;
  std::string text;
  TSpans spans;
  const char* failure;  // nullptr: the node passes
};

TEST(PositionCheck, EachFaultIsReportedOnce) {
  // A file of four bytes: 0x05 0xFF 0x12 0x34.
  const Bytes bytes{0x05, 0xFF, 0x12, 0x34};
  const TFileBytes file(bytes, 0, 4);
  const std::string label = PadRightStr("field", kLabelWidth) + " : ";
  const std::vector<CheckerCase> cases = {
      {"right", label + "5 (8 bits)", {{0, 0, 8}}, nullptr},
      {"split over two spans", label + "0x5FF1 (16 bits)", {{0, 4, 4}, {1, 0, 12}}, nullptr},
      {"negative, modulo 2^8", label + "-1 (8 bit)", {{1, 0, 8}}, nullptr},
      {"text after the number", label + "18 [...] (8bit)", {{2, 0, 8}}, nullptr},
      {"several numbers are no value", label + "12 34 (16 bits)", {{2, 0, 16}}, nullptr},
      {"no value", label + " (1 bits)", {{0, 0, 1}}, nullptr},
      {"dump line", PadRightStr("12 34 ", 60) + ".4", {{2, 0, 16}}, nullptr},
      {"width", label + "5 (8 bits)", {{0, 4, 4}}, "bits of the spans"},
      {"no spans", label + "5 (8 bits)", {}, "bits of the spans"},
      {"value", label + "6 (8 bits)", {{0, 0, 8}}, "value at the spans"},
      {"hex value", label + "0x1235 (16 bits)", {{2, 0, 16}}, "value at the spans"},
      {"outside the file", "no suffix", {{4, 0, 8}}, "outside the file"},
      {"dump line bytes", PadRightStr("12 35 ", 60) + ".5", {{2, 0, 16}}, "bytes at the spans"},
  };
  for (const CheckerCase& c : cases) {
    SCOPED_TRACE(c.what);
    TTreeNode root("root");
    root.Add(c.text, c.spans);
    if (c.failure == nullptr) {
      EXPECT_EQ(CheckFieldPositions(root, file), 1);
    } else {
      EXPECT_NONFATAL_FAILURE(CheckFieldPositions(root, file), c.failure);
    }
  }
  // A child outside its parent's spans, and cut fields when they are allowed.
  TTreeNode root("root");
  root.spans = {{0, 0, 8}};
  root.Add("child", {{1, 0, 8}});
  EXPECT_NONFATAL_FAILURE(CheckFieldPositions(root, file), "outside the parent's spans");
  TTreeNode cut("root");
  cut.Add(label + "13312 (16 bits)", {{3, 0, 8}});  // 0x34, then eight bits past the data
  EXPECT_EQ(CheckFieldPositions(cut, file, {.allowCutFields = true}), 1);
  EXPECT_NONFATAL_FAILURE(CheckFieldPositions(cut, file), "bits of the spans");
  TTreeNode wrongCut("root");
  wrongCut.Add(label + "52 (16 bits)", {{3, 0, 8}});
  EXPECT_NONFATAL_FAILURE(CheckFieldPositions(wrongCut, file, {.allowCutFields = true}), "value at the spans");
}

// ---- Descriptors ----------------------------------------------------------------

// A descriptor loop standing in a file, with bytes of other things before and after it.
constexpr int64_t kFileBase = 0x12340;
constexpr size_t kLead = 5;
constexpr size_t kTrail = 6;

struct LoopInFile {
  explicit LoopInFile(const Bytes& loop) : bytes(kLead, 0xA5), loopSize(loop.size()) {
    bytes.insert(bytes.end(), loop.begin(), loop.end());
    bytes.insert(bytes.end(), kTrail, 0x5A);
  }
  const uint8_t* Loop() const { return bytes.data() + kLead; }
  int32_t LoopSize() const { return static_cast<int32_t>(loopSize); }
  int64_t LoopOffset() const { return kFileBase + static_cast<int64_t>(kLead); }
  Bytes bytes;
  size_t loopSize;
};

struct PositionCase {
  const char* name;
  bool programLoop;  // Tdescriptors, for the systems descriptors; else TDVBdescriptors
  Bytes loop;
  bool everyBitShown = true;  // the nodes together cover the whole loop
};

std::unique_ptr<TDescriptorList> ListFor(bool programLoop) {
  if (programLoop) return std::make_unique<Tdescriptors>();
  return std::make_unique<TDVBdescriptors>();
}

// The tree of the loop, parsed and shown with positions active when positions is given.
TTreeNode Shown(const PositionCase& c, const LoopInFile& file, TDescriptorList& list, TFieldPositions* positions) {
  TPositionScope scope(positions);
  if (positions != nullptr) positions->MapBytes(file.bytes.data(), static_cast<int64_t>(file.bytes.size()), kFileBase);
  EXPECT_TRUE(list.ParseDescriptors(file.Loop(), file.LoopSize()));
  TTreeNode root("descriptors");
  EXPECT_TRUE(list.TreeViewUpdateDescriptors(root));
  CoverGroups(root);
  return root;
}

const PositionCase kCases[] = {
    // Table-driven systems descriptors.
    {"video_stream", true, {0x02, 0x03, 0x99, 0x48, 0xA0}},
    {"hierarchy", true, {0x04, 0x04, 0xF1, 0xC2, 0xC3, 0xC4}},
    {"ISO_639_language", true, {0x0A, 0x08, 'e', 'n', 'g', 0x01, 'd', 'e', 'u', 0x02}},
    {"multiplex_buffer_utilization", true, {0x0C, 0x04, 0x81, 0x23, 0xC5, 0x67}, false},
    {"copyright", true, {0x0D, 0x07, 0x01, 0x02, 0x03, 0x04, 0xAA, 0xBB, 0xCC}},
    // The hand-written systems descriptors.
    {"CA", true, {0x09, 0x06, 0x0B, 0x00, 0xE1, 0x23, 0xAB, 0xCD}},
    {"registration", true, {0x05, 0x0A, 'H', 'D', 'M', 'V', 0xFF, 0x1B, 0x44, 0x3F, 0x55, 0x66}},
    // Table-driven DVB descriptors: fields, runs of more than one dump line, loops, 40-bit fields.
    {"network_name", false, {0x40, 0x14, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i',
                             'j',  'k',  'l', 'm', 'n', 'o', 'p', 'q', 'r', 's', 't'}},
    {"service_list", false, {0x41, 0x06, 0x00, 0x01, 0x19, 0x12, 0x34, 0x01}},
    {"service", false, {0x48, 0x08, 0x01, 0x00, 0x05, 'A', 'B', 'C', 'D', 'E'}},
    {"local_time_offset",
     false,
     {0x58, 0x0D, 'G', 'B', 'R', 0x02, 0x01, 0x00, 0xF5, 0x51, 0x01, 0x00, 0x00, 0x02, 0x00}},
    {"multilingual_component", false, {0x5E, 0x06, 0xC4, 'e', 'n', 'g', 0x01, 'A'}},
    {"data_broadcast", false, {0x64, 0x0D, 0x01, 0x23, 0x05, 0x02, 0xAB, 0xCD, 'e', 'n', 'g', 0x03, 'a', 'b', 'c'}},
    {"user_defined", false, {0xC5, 0x02, 0x01, 0x41}},
    // The hand-written DVB descriptors.
    {"linkage_hand_over",
     false,
     {0x4A, 0x0E, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x08, 0x1E, 0x00, 0x10, 0x00, 0x20, 0xCC, 0xDD}},
    {"mosaic", false, {0x51, 0x15, 0xAB, 0x17, 0xFA, 0x02, 0xC1, 0xC2, 0x04, 0x00, 0x01, 0x00,
                       0x02, 0x00, 0x03, 0x00, 0x04, 0x18, 0x01, 0x00, 0x01, 0x12, 0x34}},
    {"VBI_data", false, {0x45, 0x07, 0x02, 0x01, 0xE7, 0x03, 0x02, 0xAA, 0xBB}},
    {"extended_event", false, {0x4E, 0x14, 0x12, 'e', 'n', 'g',  0x0C, 0x04, 'C',  'a', 's',
                               't',  0x03, 'B',  'o', 'b', 0x00, 0x01, 'X',  0x02, 'H', 'i'}},
    {"telephone", false, {0x57, 0x0C, 0xE2, 0xC5, 0xA3, '4', '4', '0', '7', '2', '0', '1', '2', '3'}},
    {"AC_3", false, {0x6A, 0x07, 0xF0, 0x01, 0x02, 0x03, 0x04, 0xEE, 0xEF}},
    {"cell_list", false, {0x6C, 0x12, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x40,
                          0x05, 0x08, 0x07, 0x00, 0x08, 0x00, 0x09, 0x00, 0xA0, 0x0B}},
    {"cell_frequency_link",
     false,
     {0x6D, 0x11, 0x00, 0x10, 0x01, 0x17, 0x50, 0x00, 0x0A, 0x01, 0x00, 0x00, 0x00, 0x02, 0x02, 0xFF, 0xFF, 0xFF,
      0xFF}},
    {"announcement_support", false, {0x6E, 0x0B, 0x01, 0x02, 0x10, 0x2A, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x04}},
};

class DescriptorPositions : public ::testing::TestWithParam<PositionCase> {};

TEST_P(DescriptorPositions, EveryFieldLiesWhereItsValueIs) {
  const PositionCase& c = GetParam();
  const LoopInFile file(c.loop);
  TFieldPositions positions;
  const std::unique_ptr<TDescriptorList> list = ListFor(c.programLoop);
  const TTreeNode root = Shown(c, file, *list, &positions);
  ASSERT_EQ(root.children.size(), 1u);

  // The checker is given the loop's bytes alone: a span reaching the bytes
  // around them fails.
  const TFileBytes loopBytes({file.Loop(), file.loopSize}, file.LoopOffset(), file.LoopOffset() + file.LoopSize());
  EXPECT_GE(CheckFieldPositions(root, loopBytes), 3);  // descriptor_tag, descriptor_length and a field at the least
  if (c.everyBitShown) {
    EXPECT_EQ(root.children[0]->spans, (TSpans{{file.LoopOffset(), 0, file.LoopSize() * 8}}));
  }
}

TEST_P(DescriptorPositions, NothingIsRecordedWithoutActivePositions) {
  const PositionCase& c = GetParam();
  const LoopInFile file(c.loop);
  TFieldPositions positions;
  const std::unique_ptr<TDescriptorList> with = ListFor(c.programLoop);
  const std::unique_ptr<TDescriptorList> without = ListFor(c.programLoop);
  const TTreeNode positioned = Shown(c, file, *with, &positions);
  const TTreeNode plain = Shown(c, file, *without, nullptr);
  EXPECT_EQ(TreeToText(plain), TreeToText(positioned));
  EXPECT_EQ(TreeToText(plain, 0, true), TreeToText(plain));  // no node has spans
  if (const auto* record = without->RecordAs<TFieldRecord>(0)) {
    EXPECT_TRUE(record->spans.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Descriptors, DescriptorPositions, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PositionCase>& info) { return info.param.name; });

TEST(DescriptorPositions, LyingLengthsGiveNoSpanPastTheLoop) {
  // Loops whose last descriptor claims more than the loop holds. The bytes
  // after the loop are mapped too, as the rest of a section would be, but no
  // span may reach them; fields past the loop have fewer bits or none.
  const Bytes loops[] = {
      {0x41, 0xFF, 0x00, 0x01, 0x19, 0x12},                                     // service entry cut
      {0x64, 0x0D, 0x01, 0x23, 0x05, 0x40, 0xAB},                               // selector run cut
      {0x4E, 0x0A, 0x12, 'e', 'n', 'g', 0x05, 0x03, 'A', 'B', 'C', 0x60, 'x'},  // item run cut
      {0x4A, 0x20, 0x00, 0x01, 0x00},                                           // linkage fields cut
      {0x6C, 0xFF, 0, 1, 0, 2, 0, 3, 0, 0, 0, 0xF0, 9, 0, 0, 0, 0},             // subcell cut
      {0x6A, 0x0A, 0xC0, 0x41, 0x42},                                           // additional_info cut
      {0x52, 0x01, 0x0A, 0x58, 0x0D, 'G', 'B', 'R', 0x02, 0x01, 0x00, 0xF5},    // 40-bit field cut
  };
  for (const Bytes& loop : loops) {
    SCOPED_TRACE(ByteToHexStr(loop[0]));
    const LoopInFile file(loop);
    TFieldPositions positions;
    TDVBdescriptors list;
    const TTreeNode root = Shown({"cut", false, loop}, file, list, &positions);
    // The file seen by the checker ends where the loop ends.
    const TFileBytes upToTheLoopEnd(file.bytes, kFileBase, file.LoopOffset() + file.LoopSize());
    EXPECT_GT(CheckFieldPositions(root, upToTheLoopEnd, {.allowCutFields = true}), 0);
    ASSERT_FALSE(root.spans.empty());
    EXPECT_EQ(root.spans.back().offset * 8 + root.spans.back().bit + root.spans.back().bits,
              (file.LoopOffset() + file.LoopSize()) * 8);
  }
}

TEST(DescriptorPositions, CARecordAsTheCATShowsIt) {
  // The CAT shows CA_system_ID, reserved, CA_PID and private_data_byte from
  // the record: each must carry its spans by its own address.
  const LoopInFile file({0x09, 0x07, 0x06, 0x04, 0xFF, 0xFE, 0xAA, 0xBB, 0xCC});
  TFieldPositions positions;
  TPositionScope scope(&positions);
  positions.MapBytes(file.bytes.data(), static_cast<int64_t>(file.bytes.size()), kFileBase);
  TCA_descriptor_class record;
  ASSERT_TRUE(Parse_CA_descriptor(file.Loop(), file.LoopSize(), record));
  const int64_t at = file.LoopOffset();
  EXPECT_EQ(SpansOf(&record.descriptor_tag), (TSpans{{at, 0, 8}}));
  EXPECT_EQ(SpansOf(&record.descriptor_length), (TSpans{{at + 1, 0, 8}}));
  EXPECT_EQ(SpansOf(&record.CA_system_ID), (TSpans{{at + 2, 0, 16}}));
  EXPECT_EQ(SpansOf(&record.reserved), (TSpans{{at + 4, 0, 3}}));
  EXPECT_EQ(SpansOf(&record.CA_PID), (TSpans{{at + 4, 3, 13}}));
  EXPECT_EQ(SpansOf(&record.private_data_byte), (TSpans{{at + 6, 0, 24}}));
  // A second parse at the same place without private bytes leaves none behind.
  const LoopInFile shorter({0x09, 0x04, 0x06, 0x04, 0xFF, 0xFE});
  positions.MapBytes(shorter.bytes.data(), static_cast<int64_t>(shorter.bytes.size()), kFileBase);
  ASSERT_TRUE(Parse_CA_descriptor(shorter.Loop(), shorter.LoopSize(), record));
  EXPECT_TRUE(SpansOf(&record.private_data_byte).empty());
}

}  // namespace
}  // namespace tessaro
