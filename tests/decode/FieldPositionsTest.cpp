// Field positions of whole trees: over every packet of the fixtures and of the
// real captures, every field shown with a width has spans of that many bits
// holding the value shown, inside the file and inside its group; a crafted PMT
// puts a PID across a packet boundary.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "browser/StreamBrowser.h"
#include "support/Builders.h"
#include "support/PositionCheck.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::CheckFieldPositions;
using test::TFileBytes;

// Selects every packet of the file in turn, page after page as the list shows
// them, and checks each tree; returns the number of fields checked.
int64_t CheckEveryPacket(const std::string& path) {
  const test::DebugCapture quiet;  // broken descriptor loops of the captures say so
  int64_t leaves = 0;
  const Bytes bytes = test::ReadFileBytes(path);
  const TFileBytes file(bytes, 0, static_cast<int64_t>(bytes.size()));
  TStreamBrowser browser;
  EXPECT_TRUE(browser.LoadFile(path)) << path;
  browser.WalkPages([&] {
    std::vector<int64_t> offsets;
    for (int row = 0; row < browser.RowCount(); ++row) offsets.push_back(browser.Row(row).Offset);
    for (const int64_t offset : offsets) {
      browser.RefreshTSPacket(offset);
      if (browser.Tree().children.empty()) continue;
      // The flags of an empty adaptation field and descriptor fields read past
      // the end of their loop show zeros that are not in the file.
      const int64_t checked = CheckFieldPositions(*browser.Tree().children[0], file, {.allowCutFields = true});
      if (::testing::Test::HasFailure()) {
        ADD_FAILURE() << path << ": first failing packet at " << OffsetText(offset);
        return false;
      }
      leaves += checked;
    }
    return true;
  });
  return leaves;
}

std::vector<std::string> StreamNames() {
  std::set<std::string> names{"garbage", "slots-192", "slots-204"};
  for (const std::string& name : test::ExpectationNames(".list.tsv")) names.insert(name);
  return {names.begin(), names.end()};
}

class EveryPacket : public ::testing::TestWithParam<std::string> {};

TEST_P(EveryPacket, FieldsLieWhereTheirValuesAre) {
  std::string path = test::TestDataPath(GetParam() + ".ts");
  if (!std::filesystem::exists(path)) {
    TESSARO_REQUIRE_SHARED_STREAMS();
    path = test::SharedStreamPath(GetParam() + ".ts");
  }
  EXPECT_GT(CheckEveryPacket(path), 0);
}

INSTANTIATE_TEST_SUITE_P(Streams, EveryPacket, ::testing::ValuesIn(StreamNames()), test::ParamName);

// A PMT gathered from two packets, cut so that the second stream's
// elementary_PID has its first byte in the first packet and its second byte
// in the next: the field is two spans, one in each packet, and its group
// covers both.
TEST(FieldPositions, FieldAcrossAPacketBoundaryHasOneSpanPerPart) {
  // PMT of program 1, PCR_PID 0x0101, no program descriptors, streams of 0x02
  // on 0x0101 with an ISO 639 descriptor, then 0x04 on 0x0102.
  Bytes pmt{0x02, 0xB0, 0x00, 0x00, 0x01, 0xC1, 0x00, 0x00, 0xE1, 0x01, 0xF0, 0x00,
            0x02, 0xE1, 0x01, 0xF0, 0x06, 0x0A, 0x04, 'e',  'n',  'g',  0x00};
  // Padding descriptors in the first stream's loop place the next entry's PID at the cut.
  const size_t cut = 183;  // section bytes in the first packet (after pointer_field 0)
  while (pmt.size() < cut - 2) {
    const uint8_t n = static_cast<uint8_t>(std::min<size_t>(cut - 2 - pmt.size() - 2, 255));
    pmt.push_back(0x80);
    pmt.push_back(n);
    pmt.insert(pmt.end(), n, 0xAA);
  }
  // ES_info_length of the first stream covers its descriptors.
  const size_t esInfoLength = pmt.size() - 17;
  pmt[15] = static_cast<uint8_t>(0xF0 | (esInfoLength >> 8));
  pmt[16] = static_cast<uint8_t>(esInfoLength);
  const size_t pidAt = pmt.size() + 1;  // elementary_PID's first byte: the last of the first packet
  pmt.insert(pmt.end(), {0x04, 0xE1, 0x02, 0xF0, 0x00});
  pmt = test::WithSectionLengthAndCrc(pmt);
  ASSERT_EQ(pidAt, cut - 1);
  Bytes first = test::SectionPayload(pmt);
  const Bytes rest(first.begin() + 184, first.end());
  first.resize(184);
  const Bytes null = test::NullPacket();
  const Bytes bytes = test::Slots({test::SectionPacket(0x0000, test::PATSection(1, {{1, 0x0100}})),
                                   test::MakePacket({.pid = 0x0100, .pusi = true, .payload = first}), null,
                                   test::MakePacket({.pid = 0x0100, .cc = 1, .payload = rest}), null});
  test::TempFile tmp(bytes);
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(tmp.Path()));
  browser.RefreshTSPacket(188);
  ASSERT_FALSE(browser.Tree().children.empty());
  const TTreeNode& packet = *browser.Tree().children[0];
  EXPECT_GT(CheckFieldPositions(packet, TFileBytes(bytes, 0, static_cast<int64_t>(bytes.size()))), 20);
  // The second stream's elementary_PID: low 5 bits of the first packet's
  // last byte, then the first payload byte of the packet at 3 * 188.
  const TTreeNode* pid = nullptr;
  std::function<void(const TTreeNode&)> find = [&](const TTreeNode& node) {
    if (node.text.find("elementary_PID") == 0 && node.text.find("0x0102") != std::string::npos) pid = &node;
    for (const auto& child : node.children) find(*child);
  };
  find(packet);
  ASSERT_NE(pid, nullptr);
  EXPECT_EQ(pid->spans, (TSpans{{188 + 187, 3, 5}, {3 * 188 + 4, 0, 8}}));
  EXPECT_EQ(SpansText(pid->spans), "0x0000000000000177.3+5,0x0000000000000238.0+8");
}

}  // namespace
}  // namespace tessaro
