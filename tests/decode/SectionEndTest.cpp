// Fixed fields that section_length leaves out of the section: each is read
// from the bytes that follow the section in its packet, or in the packets it
// was gathered from, and its text ends in " [beyond section_length]"; a field
// that those bytes do not hold whole is not shown, nor is any after it. Loops
// still end where section_length ends them. Every tree is decoded as the
// window decodes it, and every field shown must hold the file's bits.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "browser/StreamBrowser.h"
#include "core/TextHelpers.h"
#include "support/Builders.h"
#include "support/PositionCheck.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::Cat;
using test::MakePacket;

const std::string kBeyond = " [beyond section_length]";

// The text of a field node: padded label, " : ", then value and suffix.
std::string N(const char* label, const std::string& rest) { return PadRightStr(label, kLabelWidth) + " : " + rest; }

// A payload-start packet whose section begins pointer bytes into the payload.
Bytes SectionPacket(uint16_t pid, const Bytes& section, uint8_t pointer = 0, uint8_t cc = 0) {
  return MakePacket({.pid = pid, .pusi = true, .cc = cc, .payload = Cat({{pointer}, Bytes(pointer, 0xFF), section})});
}

Bytes PATOf(uint16_t program, uint16_t pmtPID) {
  return SectionPacket(0x0000, test::PATSection(1, {{program, pmtPID}}));
}

// The packets as a file opened in the browser; Table decodes one of them.
class TStream {
 public:
  explicit TStream(std::vector<Bytes> packets) {
    packets.push_back(MakePacket({.pid = 0x1FFF}));
    packets.push_back(MakePacket({.pid = 0x1FFF}));
    bytes_ = test::Slots(packets);
    file_ = std::make_unique<test::TempFile>(bytes_);
    EXPECT_TRUE(browser_.LoadFile(file_->Path()));
  }

  // The texts under the table group of the packet at index, after checking
  // that every field of its tree lies where its value is.
  std::vector<std::string> Table(int index, const std::string& group) { return Under(index, {"PSI", group}); }
  // The texts under the group path leads to in the packet's tree.
  std::vector<std::string> Under(int index, const std::vector<std::string>& path) {
    browser_.RefreshTSPacket(int64_t{188} * index);
    if (browser_.Tree().children.empty()) return {"(no tree)"};
    const TTreeNode& packet = *browser_.Tree().children[0];
    test::CheckFieldPositions(packet, test::TFileBytes(bytes_, 0, static_cast<int64_t>(bytes_.size())));
    table_ = &packet;
    for (const std::string& group : path) table_ = Child(table_, group);
    std::vector<std::string> texts;
    if (table_ != nullptr)
      for (const auto& node : table_->children) texts.push_back(node->text);
    return texts;
  }
  const TTreeNode* Node(const std::string& text) const { return Child(table_, text); }

 private:
  static const TTreeNode* Child(const TTreeNode* node, const std::string& text) {
    if (node == nullptr) return nullptr;
    for (const auto& child : node->children)
      if (child->text == text) return child.get();
    return nullptr;
  }

  Bytes bytes_;
  std::unique_ptr<test::TempFile> file_;
  TStreamBrowser browser_;
  const TTreeNode* table_ = nullptr;
};

// section_length 1: only the first byte of transport_stream_id is in the
// section, yet the whole field shows the file's two bytes, marked; every
// later field is read on, at the place the syntax gives it.
TEST(SectionEnd, PATWithSectionLength1) {
  TStream s({SectionPacket(0x0000, {0x00, 0xB0, 0x01, 0x12, 0x34, 0xC3, 0x05, 0x06, 0xAA, 0xBB, 0xCC, 0xDD})});
  EXPECT_EQ(s.Table(0, "PAT"), (std::vector<std::string>{
                                   N("table_id", "0 (8 bits)"),
                                   N("section_syntax_indicator", "1 (1 bit)"),
                                   N("zero_bit", " (1 bit)"),
                                   N("reserved", " (2 bits)"),
                                   N("section_length", "1 (12 bits)"),
                                   N("transport_stream_id", "4660 (16 bits)" + kBeyond),
                                   N("reserved", " (2 bits)" + kBeyond),
                                   N("version_number", "1 (5 bits)" + kBeyond),
                                   N("current_next_indicator", "1 (1 bit)" + kBeyond),
                                   N("section_number", "5 (8 bits)" + kBeyond),
                                   N("last_section_number", "6 (8 bits)" + kBeyond),
                                   N("program_count", "-2"),
                                   "Programs",
                                   N("CRC32", "0xAABBCCDD (32 bits)" + kBeyond),
                               }));
  // The field read across the section's end is one span of 16 bits.
  const TTreeNode* id = s.Node(N("transport_stream_id", "4660 (16 bits)" + kBeyond));
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(id->spans, (TSpans{{4 + 1 + 3, 0, 16}}));
}

// Decided field by field: the 4 reserved bits of byte 10 are inside the
// 11-byte section, program_info_length (bytes 10-11) is not. Its value 5 is
// the file's, but the descriptor loop still ends with the section.
TEST(SectionEnd, PMTCutInsideItsHeader) {
  TStream s({PATOf(7, 0x0100), SectionPacket(0x0100, {0x02, 0xB0, 0x08, 0x00, 0x07, 0xC3, 0x00, 0x00, 0xE1, 0x01, 0xF0,
                                                      0x05, 0xAA, 0xBB, 0xCC, 0xDD})});
  const std::vector<std::string> pmt = s.Table(1, "PMT");
  ASSERT_EQ(pmt.size(), 18u);
  EXPECT_EQ(std::vector<std::string>(pmt.begin() + 10, pmt.end()),
            (std::vector<std::string>{
                N("last_section_number", "0 (8 bit)"),
                N("reserved", " (3 bits)"),
                N("PCR_PID", "0x0101 (13 bits)"),
                N("reserved", " (4 bits)"),
                N("program_info_length", "5 (12 bits)" + kBeyond),
                "descriptors",
                N("streams count", "0"),
                N("CRC_32", "0xAABBCCDD (32 bits)" + kBeyond),
            }));
  ASSERT_NE(s.Node("descriptors"), nullptr);
  EXPECT_TRUE(s.Node("descriptors")->children.empty());
}

// SI headers cut by section_length: the SDT after its version byte, the EIT
// inside original_network_id. No loop entry is read past the section.
TEST(SectionEnd, SDTAndEITCutInsideTheirHeaders) {
  TStream s({SectionPacket(0x0011,
                           {0x42, 0xF0, 0x03, 0x00, 0x07, 0xC3, 0x05, 0x06, 0x12, 0x34, 0xEE, 0xAA, 0xBB, 0xCC, 0xDD}),
             SectionPacket(0x0012, {0x4E, 0xF0, 0x08, 0x00, 0x05, 0xC3, 0x00, 0x00, 0x00, 0x07, 0x00, 0x09, 0x2A, 0x4F,
                                    0xAA, 0xBB, 0xCC, 0xDD})});
  const std::vector<std::string> sdt = s.Table(0, "SDT");
  ASSERT_EQ(sdt.size(), 16u);
  EXPECT_EQ(std::vector<std::string>(sdt.begin() + 8, sdt.end()),
            (std::vector<std::string>{
                N("current_next_indicator", "1 (1 bit)"),
                N("section_number", "5 (8 bits)" + kBeyond),
                N("last_section_number", "6 (8 bits)" + kBeyond),
                N("original_network_id", "4660 (16 bits)" + kBeyond),
                N("reserved_future_use", "238 (8 bits)" + kBeyond),
                N("services count", "0"),
                "services",
                N("CRC_32", "0xAABBCCDD (32 bit)" + kBeyond),
            }));
  const std::vector<std::string> eit = s.Table(1, "EIT");
  ASSERT_EQ(eit.size(), 18u);
  EXPECT_EQ(std::vector<std::string>(eit.begin() + 11, eit.end()),
            (std::vector<std::string>{
                N("transport_stream_id", "7 (16 bits)"),
                N("original_network_id", "9 (16 bits)" + kBeyond),
                N("segment_last_section_number", "42 (8 bits)" + kBeyond),
                N("last_table_id", "79 (8 bits)" + kBeyond),
                N("events count", "0"),
                "events",
                N("CRC_32", "0xAABBCCDD (32 bit)" + kBeyond),
            }));
}

// A TOT whose section_length holds UTC_time only, placed at the end of its
// packet. Ending on the packet's last byte, descriptors_loop_length is shown;
// one byte later reserved_1 still fits but descriptors_loop_length does not,
// and neither it nor the CRC_32 after it is shown.
TEST(SectionEnd, FieldsAtTheEndOfThePacket) {
  const Bytes tot{0x73, 0x70, 0x05, 0xC0, 0x79, 0x12, 0x45, 0x00, 0xF0, 0x00};
  TStream s({SectionPacket(0x0014, tot, 188 - 4 - 1 - 10), SectionPacket(0x0014, tot, 188 - 4 - 1 - 9, 1)});
  const std::string utc = N("UTC_time", std::to_string(0xC079124500) + " (40 bits)");
  const std::vector<std::string> whole = s.Table(0, "TOT");
  ASSERT_EQ(whole.size(), 8u);
  EXPECT_EQ(whole.back(), N("descriptors_loop_length", "0 (12 bits)" + kBeyond));
  const std::vector<std::string> tail{utc, N("reserved_1", "15 (4 bits)" + kBeyond)};
  const std::vector<std::string> cut = s.Table(1, "TOT");
  ASSERT_EQ(cut.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(cut.begin() + 5, cut.end()), tail);
  const TTreeNode* reserved = s.Node(tail[1]);
  ASSERT_NE(reserved, nullptr);
  EXPECT_EQ(reserved->spans, (TSpans{{188 + 187, 0, 4}}));
}

// A NIT gathered from two packets whose transport stream loop claims more
// than is left: the loop reads nothing, and the CRC_32 after it is read from
// the bytes that follow the section in the second packet.
TEST(SectionEnd, GatheredSectionReadsOnInItsLastPacket) {
  Bytes nit{0x40, 0xF0, 189, 0x00, 0x03, 0xC1, 0x00, 0x00, 0xF0, 180, 0x80, 178};
  nit.resize(nit.size() + 178, 0x5A);
  nit = Cat({nit, {0xF0, 0xFF}});
  ASSERT_EQ(nit.size(), 192u);
  const Bytes payload = Cat({{0x00}, nit, {0xAA, 0xBB, 0xCC, 0xDD}});
  TStream s({MakePacket({.pid = 0x0010, .pusi = true, .payload = Bytes(payload.begin(), payload.begin() + 184)}),
             MakePacket({.pid = 0x0010, .cc = 1, .payload = Bytes(payload.begin() + 184, payload.end())})});
  const std::vector<std::string> texts = s.Table(0, "NIT");
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[texts.size() - 3], N("transport stream count", "0"));
  const std::string crc = N("CRC_32", "0xAABBCCDD (32 bit)" + kBeyond);
  EXPECT_EQ(texts.back(), crc);
  ASSERT_NE(s.Node(crc), nullptr);
  EXPECT_EQ(s.Node(crc)->spans, (TSpans{{188 + 4 + 9, 0, 32}}));
}

// Adaptation field parts that run past the end of the packet: the fields the
// packet holds are shown, the rest of the part and every later part are not.
TEST(SectionEnd, AdaptationFieldPartsPastThePacket) {
  // Private data claims 255 bytes: the extension its flag announces is not in the packet.
  Bytes privateData(181, 0xAB);
  privateData[0] = 0x03;  // transport_private_data_flag, adaptation_field_extension_flag
  privateData[1] = 0xFF;
  // Private data ending two bytes before the packet: the extension's
  // splice_type is there, the DTS_next_AU after it is not.
  Bytes splice(183, 0xCD);
  splice[0] = 0x03;
  splice[1] = 177;
  splice[179] = 4;     // adaption_field_extension_length
  splice[180] = 0x3F;  // seamless_splice_flag, reserved
  splice[181] = 0x5F;  // splice_type 5
  TStream s({MakePacket({.afc = 2, .adaptation = privateData, .adaptationLength = 183}),
             MakePacket({.afc = 2, .adaptation = splice, .adaptationLength = 183})});

  const std::vector<std::string> cut = s.Under(0, {"adaptation_field"});
  ASSERT_EQ(cut.size(), 10u);
  EXPECT_EQ(cut.back(), N("transport_private_data_length", "255 (8 bits)"));

  const std::vector<std::string> dts = s.Under(1, {"adaptation_field"});
  ASSERT_EQ(dts.size(), 16u);
  EXPECT_EQ(dts[10], N("adaption_field_extension_length", "4 (8 bits)"));
  EXPECT_EQ(dts.back(), N("splice_type", "5 (4 bits)"));
}

}  // namespace
}  // namespace tessaro
