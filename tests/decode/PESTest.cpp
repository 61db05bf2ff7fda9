// The PES header parser and its tree: what the whole-tree texts of
// GoldenTreeTest (crafted-pes-every-field, the fixtures' PES headers) leave
// out: streams without the optional header, every trick mode, stale records,
// cuts at every byte, pack and system headers.
#include "decode/PES.h"

#include <string>
#include <vector>

#include "core/TreeNode.h"
#include "support/Builders.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bits;
using test::Bytes;
using test::Cat;
using test::TimeStamp;

// 00 00 01, stream_id, PES_packet_length 0, the two flag bytes, PES_header_data_length.
Bytes Header(uint8_t streamId, uint8_t flags1, uint8_t flags2, const Bytes& optional) {
  Bytes out{0x00, 0x00, 0x01, streamId, 0x00, 0x00, flags1, flags2, static_cast<uint8_t>(optional.size())};
  out.insert(out.end(), optional.begin(), optional.end());
  return out;
}

std::string Tree(const TPESPacketHeader& record) {
  TTreeNode pes("PES");
  EXPECT_TRUE(UpdatePESTreeView(pes, record));
  return TreeToText(pes);
}

// Parses from a buffer of exactly the given bytes, so a read past them is a sanitizer error.
TPESPacketHeader Parsed(const Bytes& payload, TPESPacketHeader record = {}) {
  const Bytes exact(payload);
  ParsePES(exact.data(), static_cast<int>(exact.size()), record);
  return record;
}

// Video header: PTS 900000 (10 s), DTS 855000 (9.5 s).
const Bytes kVideo = Header(0xE0, 0x84, 0xC0, Cat({TimeStamp(3, 900000), TimeStamp(1, 855000)}));

// ESCR, ES_rate, trick mode 3, copy info, CRC and an extension with sequence counter and P-STD.
Bytes AudioOptionalFields() {
  Bits w;
  w.Put(2, 3).PutMarked(uint64_t{5} << 30 | 0x1234 << 15 | 0x0ABC).Put(9, 341).Put(1, 1);  // ESCR
  w.Put(1, 1).Put(22, 123456).Put(1, 1);                                                   // ES_rate
  w.Put(3, 3).Put(2, 2).Put(1, 1).Put(2, 1);                                               // trick mode
  w.Put(1, 1).Put(7, 85);                                                                  // copy info
  w.Put(16, 0xBEEF);                                                                       // CRC
  w.Put(8, 0x3E);                                                                          // extension flags
  w.Put(1, 1).Put(7, 42).Put(1, 1).Put(1, 1).Put(6, 5).Put(2, 1).Put(1, 1).Put(13, 1000);
  return w.bytes;
}
const Bytes kAudio = Header(0xC0, 0x80, 0x3F, AudioOptionalFields());

TEST(PESTree, StreamsWithoutOptionalHeaderShowThreeNodes) {
  for (uint8_t id : {0xBC, 0xBE, 0xBF, 0xF0, 0xF1, 0xF2, 0xF8, 0xFF}) {
    Bytes padding{0x00, 0x00, 0x01, id, 0x00, 0xB2};
    padding.resize(184, 0xFF);
    // A record that held a video header keeps its stale flags; they must not leak out.
    const TPESPacketHeader record = Parsed(padding, Parsed(kVideo));
    TTreeNode pes("PES");
    ASSERT_TRUE(UpdatePESTreeView(pes, record));
    ASSERT_EQ(pes.children.size(), 3u);
    EXPECT_EQ(pes.children[2]->text, "PES_packet_length                  : 178 (16 bits)");
    double seconds = 0;
    EXPECT_FALSE(GetPTSSeconds(record, seconds));
    EXPECT_FALSE(GetDTSSeconds(record, seconds));
  }
}

TEST(PESTree, TrickModeNodesFollowTheControlValue) {
  auto trickNodes = [](uint8_t trickByte) {
    TTreeNode pes("PES");
    UpdatePESTreeView(pes, Parsed(Header(0xE0, 0x80, 0x08, {trickByte})));
    std::string out;
    for (size_t i = 17; i < pes.children.size(); ++i) out += pes.children[i]->text + "\n";
    return out;
  };
  EXPECT_EQ(trickNodes(0x1D),
            "trick_mode_control                 : 0 (3 bits)\n"
            "field_id                           : 3 (2 bits)\n"
            "intra_slice_refresh                : 1 (1 bit)\n"
            "frequency_truncation               : 1 (2 bits)\n");
  EXPECT_EQ(trickNodes(0x91),
            "trick_mode_control                 : 4 (3 bits)\n"
            "rep_cntrl                          : 17 (5 bits)\n");
  EXPECT_EQ(trickNodes(0x5E),
            "trick_mode_control                 : 2 (3 bits)\n"
            "field_id                           : 3 (2 bits)\n"
            "reserved                           : 6 (3 bits)\n");
  EXPECT_EQ(trickNodes(0xFF),
            "trick_mode_control                 : 7 (3 bits)\n"
            "reserved                           : 31 (5 bits)\n");
}

TEST(PESParse, PtsDtsFlagsOneReadsNoTimeStamp) {
  // With flags 1 the byte after PES_header_data_length is the copy info byte.
  const TPESPacketHeader record = Parsed(Header(0xE0, 0x80, 0x44, {0x81}), Parsed(kVideo));
  EXPECT_EQ(record.additional_copy_info, 1u);
  const std::string tree = Tree(record);
  for (const char* label : {"PTS_32_30", "DTS_32_30", "  PTS  ", "  DTS  "})
    EXPECT_EQ(tree.find(label), std::string::npos) << label;
  double seconds = 0;
  EXPECT_FALSE(GetPTSSeconds(record, seconds));
  EXPECT_FALSE(GetDTSSeconds(record, seconds));  // no stale DTS from the earlier header
}

TEST(PESParse, ThirtyThreeBitTimeStamps) {
  const TPESPacketHeader top = Parsed(Header(0xE0, 0x80, 0x80, TimeStamp(2, uint64_t{1} << 32)));
  EXPECT_EQ(top.PTS_32_30, 4u);
  double seconds = 0;
  ASSERT_TRUE(GetPTSSeconds(top, seconds));
  EXPECT_DOUBLE_EQ(seconds, 4294967296.0 / 90000.0);
  EXPECT_FALSE(GetDTSSeconds(top, seconds));

  const std::string tree = Tree(Parsed(Header(0xE0, 0x80, 0x80, TimeStamp(2, 0x1FFFFFFFF))));
  EXPECT_NE(tree.find("  PTS                                : 26:30:43.71\n"), std::string::npos);
}

TEST(PESParse, EmptyOrMissingPayloadLeavesRecordAlone) {
  const TPESPacketHeader before = Parsed(kAudio);
  TPESPacketHeader record = before;
  EXPECT_FALSE(ParsePES(kVideo.data(), 0, record));
  EXPECT_FALSE(ParsePES(kVideo.data(), -5, record));
  EXPECT_FALSE(ParsePES(nullptr, 20, record));
  EXPECT_EQ(record, before);
}

TEST(PESParse, TruncatedHeaderStopsAtThePayloadEnd) {
  const TPESPacketHeader stale = Parsed(kAudio);
  // Cut inside the PTS: parsing stops there and no time is given.
  const Bytes cut(kVideo.begin(), kVideo.begin() + 12);
  TPESPacketHeader record = stale;
  EXPECT_FALSE(ParsePES(cut.data(), static_cast<int>(cut.size()), record));
  EXPECT_EQ(record.truncated_at, TPESField::PTS);
  double seconds = 0;
  EXPECT_FALSE(GetPTSSeconds(record, seconds));

  // Every cut shows a line prefix of the whole tree, whatever the record held.
  const Bytes withPack = Header(
      0xE0, 0x80, 0xC1,
      Cat({TimeStamp(3, 1), TimeStamp(1, 2), {0x5E, 14, 0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 0, 0, 3, 0xF8, 0x83, 1}}));
  for (const Bytes* full : {&kVideo, &kAudio, &withPack}) {
    const std::string whole = Tree(Parsed(*full));
    for (size_t n = 1; n < full->size(); ++n) {
      const TPESPacketHeader part = Parsed(Bytes(full->begin(), full->begin() + n), stale);
      EXPECT_NE(part.truncated_at, TPESField::none);
      const std::string text = Tree(part);
      EXPECT_EQ(whole.compare(0, text.size(), text), 0) << "cut at " << n;
    }
  }
}

// pack_header() with SCR base 0x1D2345678, extension 100, mux rate 5000, the given stuffing.
Bytes PackHeader(int stuffing) {
  Bits w;
  w.Put(32, 0x000001BA).Put(2, 1).PutMarked(0x1D2345678).Put(9, 100).Put(1, 1);
  w.Put(22, 5000).Put(1, 1).Put(1, 1).Put(5, 0x1F).Put(3, stuffing);
  for (int i = 0; i < stuffing; ++i) w.Put(8, 0xFF);
  return w.bytes;
}

Bytes SystemHeader(int entries) {
  Bits w;
  w.Put(32, 0x000001BB).Put(16, 6 + 3 * entries).Put(1, 1).Put(22, 7000).Put(1, 1);
  w.Put(6, 2).Put(1, 0).Put(1, 1).Put(1, 1).Put(1, 1).Put(1, 1).Put(5, 1).Put(1, 0).Put(7, 0x7F);
  for (int i = 0; i < entries; ++i) w.Put(8, 0xE0).Put(2, 3).Put(1, i & 1).Put(13, 100 + i);
  return w.bytes;
}

TEST(PESPackHeader, InsideTheExtensionWithAndWithoutSystemHeader) {
  for (bool withSystem : {true, false}) {
    const Bytes pack = withSystem ? Cat({PackHeader(2), SystemHeader(2)}) : PackHeader(0);
    Bytes ext{0x5E, static_cast<uint8_t>(pack.size())};  // pack header and P-STD
    ext = Cat({ext, pack, {0x60, 0x10}});
    const TPESPacketHeader record = Parsed(Header(0xE0, 0x80, 0x01, ext));
    EXPECT_EQ(record.truncated_at, TPESField::none);
    // The P-STD bytes right after the pack field are found by pack_field_length.
    EXPECT_EQ(record.P_STD_buffer_scale, 1u);
    EXPECT_EQ(record.P_STD_buffer_size, 16u);
    const TPackHeader& ph = record.pack_header;
    EXPECT_EQ(ph.pack_start_code, 0x000001BAu);
    EXPECT_EQ((uint64_t{ph.system_clock_reference_base_32_30} << 30) | (ph.system_clock_reference_base_29_15 << 15) |
                  ph.system_clock_reference_base_14_0,
              0x1D2345678u);
    EXPECT_EQ(ph.system_clock_reference_extension, 100u);
    EXPECT_EQ(ph.program_mux_rate, 5000u);
    EXPECT_EQ(ph.system_header_present, withSystem);
    if (withSystem) {
      EXPECT_EQ(ph.pack_stuffing_length, 2u);
      EXPECT_EQ(ph.system_header.rate_bound, 7000u);
      ASSERT_EQ(ph.system_header.stream_count, 2);
      EXPECT_EQ(ph.system_header.streams[1].P_STD_buffer_bound_scale, 1);
      EXPECT_EQ(ph.system_header.streams[1].P_STD_buffer_size_bound, 101);
    }
    TTreeNode pes("PES");
    UpdatePESTreeView(pes, record);
    const auto& nodes = pes.children;
    ASSERT_EQ(nodes.size(), 17u + 6 + 2 + 3);
    EXPECT_EQ(nodes[23]->text, "pack_field_length                  : " + std::to_string(pack.size()) + " (8 bits)");
    EXPECT_EQ(nodes[24]->text, "pack_header");
    EXPECT_TRUE(nodes[24]->children.empty());
  }
}

TEST(PESPackHeader, RefusesWhatIsNotAnMpeg2PackHeader) {
  TPackHeader record;
  Bytes pack = PackHeader(0);
  EXPECT_TRUE(ParsePackHeader(pack.data(), 14, record));  // no system header is fine
  EXPECT_FALSE(ParsePackHeader(pack.data(), 13, record));
  Bytes mpeg1 = pack;
  mpeg1[4] = 0x21;  // '0010' of ISO/IEC 11172
  EXPECT_FALSE(ParsePackHeader(mpeg1.data(), 14, record));
  Bytes badMarker = pack;
  badMarker[12] &= 0xFE;
  EXPECT_FALSE(ParsePackHeader(badMarker.data(), 14, record));
  pack = PackHeader(5);
  EXPECT_FALSE(ParsePackHeader(pack.data(), 18, record));  // stuffing runs past the length
}

TEST(PESPackHeader, SystemHeaderEntriesAreBounded) {
  TSystemHeader record;
  Bytes many = SystemHeader(300);
  EXPECT_TRUE(ParseSystemHeader(many.data(), static_cast<int>(many.size()), record));
  EXPECT_EQ(record.stream_count, kMaxSystemHeaderStreams);

  Bytes partial = SystemHeader(2);
  partial.pop_back();  // the second entry is cut
  ParseSystemHeader(partial.data(), static_cast<int>(partial.size()), record);
  EXPECT_EQ(record.stream_count, 1);
  EXPECT_FALSE(ParseSystemHeader(partial.data(), 11, record));
}

}  // namespace
}  // namespace tessaro
