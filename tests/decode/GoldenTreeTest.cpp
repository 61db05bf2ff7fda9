// Whole decode trees of chosen packets against expected texts that were
// checked by hand, field by field, against the syntax tables of ISO/IEC
// 13818-1 and the node text convention (labels padded to 36 characters, 34 in
// the PES header; " : "; hex digit counts; width suffixes; nesting).
//
// The expected texts live in tests/data/golden/<name>.txt (README.md there
// says where each packet comes from). Packets come from the committed
// fixtures, from the real captures in ../shared/streams (skipped when that
// folder is absent) and from streams built here, byte by byte, for what the
// captures do not hold. Each packet is selected as the window selects it: its
// page is loaded, then RefreshTSPacket builds the tree.
//
// TESSARO_UPDATE_GOLDEN=1 rewrites the expected texts from the program; a
// rewritten text must be checked by hand again before it is committed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "browser/StreamBrowser.h"
#include "core/TreeNode.h"
#include "support/Builders.h"
#include "support/TestSupport.h"
#include "support/TreeText.h"

namespace tessaro {
namespace {

using test::Bits;
using test::Bytes;
using test::Cat;
using test::ExpectGolden;
using test::MakePacket;
using test::NullPacket;
using test::PacketSpec;
using test::PATSection;
using test::PMTSection;
using test::SectionPacket;
using test::SectionPayload;
using test::TempFile;
using test::Text;
using test::TimeStamp;
using test::WithSectionLengthAndCrc;

// The PAT packets of the streams built here.
Bytes PATPacket(const Bytes& section, uint8_t cc = 0) { return SectionPacket(0x0000, section, cc); }

// ---- Trees and expected texts ----------------------------------------------

// The tree as tessaro-cli prints it: one node per line, two blanks per depth.
std::string TreeText(const TStreamBrowser& browser) {
  std::string text;
  for (const auto& node : browser.Tree().children) text += TreeToText(*node);
  return text;
}

// Selects the packet at offset: its page is loaded (or, near the end of a
// file, its rows as the list shows them), then its tree is built.
std::string SelectPacket(TStreamBrowser& browser, int64_t offset) {
  browser.SelectPacket(offset);
  return TreeText(browser);
}

std::string GoldenText(const std::string& file) { return test::ReadFileText(test::TestDataPath("golden/" + file)); }

const TTreeNode* Child(const TTreeNode* node, const std::string& text) {
  if (node == nullptr) return nullptr;
  for (const auto& child : node->children)
    if (child->text == text) return child.get();
  return nullptr;
}

const TTreeNode* Packet(const TStreamBrowser& browser) {
  return browser.Tree().children.empty() ? nullptr : browser.Tree().children.front().get();
}

const TTreeNode* Table(const TStreamBrowser& browser, const std::string& group) {
  return Child(Child(Packet(browser), "PSI"), group);
}

// ---- Streams built here ----------------------------------------------------------

// CA_section with the given descriptor loop, version 1.
Bytes CATSection(const Bytes& descriptors) {
  return WithSectionLengthAndCrc(Cat({{0x01, 0xB0, 0x00, 0xFF, 0xFF, 0xC3, 0x00, 0x00}, descriptors}));
}

// The packets followed by null packets, so that the file opens as a stream and
// every packet of interest lies on a loadable page.
Bytes StreamOf(std::vector<Bytes> packets) {
  for (int i = 0; i < 4; ++i) packets.push_back(NullPacket());
  return test::Slots(packets);
}

constexpr int64_t At(int packet) { return int64_t{188} * packet; }

// Opens the bytes as a stream file; the browser lives as long as the object.
class Opened {
 public:
  explicit Opened(const Bytes& stream) : file_(stream) { loaded_ = browser.LoadFile(file_.Path()); }
  bool Loaded() const { return loaded_; }
  std::string Select(int64_t offset) { return SelectPacket(browser, offset); }
  TStreamBrowser browser;

 private:
  TempFile file_;
  bool loaded_ = false;
};

// ---- Descriptors used by the streams built here -------------------------------

// maximum_bitrate_descriptor: reserved '11', maximum_bitrate 20000.
const Bytes kMaximumBitrate{0x0E, 0x03, 0xC0, 0x4E, 0x20};
// CA_descriptor: CA_system_ID 0x0B00, reserved '111', CA_PID 0x01FF, private bytes 12 34.
const Bytes kCAWithPrivateBytes{0x09, 0x06, 0x0B, 0x00, 0xE1, 0xFF, 0x12, 0x34};
// CA_descriptor without private bytes: CA_system_ID 0x0B01, CA_PID 0x0200.
const Bytes kCAWithoutPrivateBytes{0x09, 0x04, 0x0B, 0x01, 0xE2, 0x00};
// video_stream_descriptor, MPEG_1_only_flag 0: multiple_frame_rate_flag 1,
// frame_rate_code 3; profile_and_level_indication 0x48; chroma_format 1,
// frame_rate_extension_flag 0, reserved '11111'.
const Bytes kVideoStreamMPEG2{0x02, 0x03, 0x98, 0x48, 0x5F};
// video_stream_descriptor, MPEG_1_only_flag 1: frame_rate_code 4,
// constrained_parameter_flag 1.
const Bytes kVideoStreamMPEG1Only{0x02, 0x01, 0x26};
// The same with MPEG_1_only_flag 0 but only its first byte.
const Bytes kVideoStreamMPEG2Short{0x02, 0x01, 0x98};
const Bytes kDataStreamAlignment1{0x06, 0x01, 0x01};
const Bytes kDataStreamAlignment2{0x06, 0x01, 0x02};
// ISO_639_language_descriptor with eng (audio_type 0) and deu (audio_type 1).
const Bytes kTwoLanguages{0x0A, 0x08, 'e', 'n', 'g', 0x00, 'd', 'e', 'u', 0x01};

// A PMT of seven streams and both kinds of descriptor loop, 187 bytes long:
// more than one packet holds.
Bytes LargePMTSection() {
  const Bytes copyright = Cat({{0x0D, 44}, Text("CPRT"), Text("Tessaro golden test, two-packet section.")});
  const Bytes caLong = Cat({{0x09, 21, 0x0B, 0x02, 0xE3, 0x00, 0x00, 0x13}, Text("Tessaro golden!")});
  const Bytes registration = Cat({{0x05, 0x04}, Text("HDMV")});
  // smoothing_buffer_descriptor: sb_leak_rate 4096, sb_size 8192.
  const Bytes smoothing{0x10, 0x06, 0xC0, 0x10, 0x00, 0xC0, 0x20, 0x00};
  // system_clock_descriptor: external_clock_reference_indicator 1,
  // clock_accuracy_integer 5, clock_accuracy_exponent 1.
  const Bytes systemClock{0x0B, 0x02, 0x85, 0x3F};
  return PMTSection(1, 0x0101, Cat({kMaximumBitrate, kCAWithPrivateBytes, copyright}),
                    {{0x1B, 0x0101, Cat({kVideoStreamMPEG2, kDataStreamAlignment1})},
                     {0x81, 0x0102, Cat({kTwoLanguages, kCAWithoutPrivateBytes})},
                     {0x04, 0x0103, {}},
                     {0x06, 0x0104, Cat({registration, caLong})},
                     {0x02, 0x0105, Cat({kDataStreamAlignment2, kVideoStreamMPEG1Only})},
                     {0x03, 0x0106, {0x0A, 0x04, 'f', 'r', 'a', 0x02}},
                     {0x0F, 0x0107, Cat({smoothing, systemClock})}});
}

// ---- The committed fixtures ----------------------------------------------------

TEST(GoldenTree, FixturePATAndPMT) {
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(test::TestDataPath("two-programs.ts")));
  ExpectGolden("fixture-pat-two-programs.txt", SelectPacket(browser, 0xBC));
  ExpectGolden("fixture-pmt-program-2.txt", SelectPacket(browser, 0x234));
}

TEST(GoldenTree, FixturePCRAndPESHeaders) {
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(test::TestDataPath("one-program.ts")));
  // Video: adaptation field with a PCR, PES header with PTS and DTS.
  ExpectGolden("fixture-pcr-pes-pts-dts.txt", SelectPacket(browser, 0x234));
  // Audio: PES header with a PTS only.
  ExpectGolden("fixture-pes-pts-only.txt", SelectPacket(browser, 0x444C));
}

// An offset whose packet cannot be read (past the end of the file) leaves the
// tree of the packet selected before, with the read diagnostic.
TEST(GoldenTree, UnreadablePacketKeepsThePreviousTree) {
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(test::TestDataPath("two-programs.ts")));
  SelectPacket(browser, 0xBC);
  test::DebugCapture capture;
  browser.RefreshTSPacket(browser.FileSize() - 100);
  EXPECT_TRUE(capture.Contains("zrk: Error in TForm1.RefreshTSPacket - can not read packet."));
  ExpectGolden("fixture-pat-two-programs.txt", TreeText(browser));
}

// tessaro-cli prints the same tree, two blanks per depth.
TEST(GoldenTree, CommandLinePrintsTheSameTree) {
  const auto r = test::RunCli("tree '" + test::TestDataPath("two-programs.ts") + "' --offset 0xBC");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, GoldenText("fixture-pat-two-programs.txt"));
}

// ---- Real captures -----------------------------------------------------------------

// PAT and PMT values of every capture are compared with tshark's in
// PSIAgreementTest, and their node texts here on built streams.
TEST(GoldenTree, CaptureCATWithAnEmptyLoop) {
  TESSARO_REQUIRE_SHARED_STREAMS();
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(test::SharedStreamPath("dvb-nit-sdt-cat-tot.ts")));
  ExpectGolden("capture-cat-empty.txt", SelectPacket(browser, 0x705C));
}

// ---- Built streams: whole trees ---------------------------------------------------

// A stream built here (before the null packets StreamOf adds) and the packet
// whose tree is compared.
using Packets = std::vector<Bytes>;

struct CraftedPacket {
  const char* golden;
  int packet;
  Packets (*packets)();
};

const CraftedPacket kCraftedPackets[] = {
    // A PMT that starts 20 bytes into its packet (pointer_field 20) and ends in
    // the next packet of its PID with the next continuity_counter; a packet of
    // that PID with another counter and a packet of another PID lie between.
    {"crafted-pmt-two-packets", 1,
     []() -> Packets {
       const Bytes section = LargePMTSection();
       constexpr int kPointer = 20;
       constexpr size_t kInFirst = 188 - 4 - 1 - kPointer;
       EXPECT_GT(section.size(), kInFirst);
       Bytes first = Cat({{kPointer}, Bytes(kPointer, 0xFF), section});
       const Bytes rest(section.begin() + kInFirst, section.end());
       return {PATPacket(PATSection(1, {{1, 0x0100}})),
               MakePacket({.pid = 0x0100, .pusi = true, .cc = 3, .payload = first}),
               MakePacket({.pid = 0x0100, .cc = 5, .payload = Bytes(184, 0x55)}),
               MakePacket({.pid = 0x0101, .cc = 0, .payload = Bytes(184, 0x66)}),
               MakePacket({.pid = 0x0100, .cc = 4, .payload = rest})};
     }},
    // A loop may end with a video_stream_descriptor: with MPEG_1_only_flag 1 its
    // one byte suffices; with 0 it needs three and is left out, ending the walk.
    {"crafted-pmt-loop-ends", 1,
     []() -> Packets {
       const Bytes section = PMTSection(7, 0x1FFF, {},
                                        {{0x02, 0x0101, Cat({kCAWithoutPrivateBytes, kVideoStreamMPEG1Only})},
                                         {0x02, 0x0102, Cat({kDataStreamAlignment1, kVideoStreamMPEG2Short})},
                                         {0x81, 0x0103, {}}});
       return {PATPacket(PATSection(1, {{7, 0x0100}})), SectionPacket(0x0100, section)};
     }},
    // The CAT reads every descriptor of its loop as a CA_descriptor; its reserved
    // bits show their values and its CRC label is "CRC_32".
    {"crafted-cat", 1,
     []() -> Packets {
       const Bytes loop = Cat({{0x09, 0x04, 0x06, 0x04, 0xE1, 0x23},
                               {0x09, 0x06, 0x17, 0x22, 0xF0, 0x50, 0xAB, 0xCD},
                               Cat({{0x05, 0x04}, Text("HDMV")})});
       return {PATPacket(PATSection(1, {{1, 0x0100}})), SectionPacket(0x0001, CATSection(loop))};
     }},
    // Rule 1 needs a payload start: a PID 0x0000 packet that continues a section
    // gets no "PSI" and, being a PAT packet, no "PES" either.
    {"crafted-pat-pid-no-payload-start", 1,
     []() -> Packets {
       return {PATPacket(PATSection(1, {{1, 0x0100}, {2, 0x0200}})),
               MakePacket({.pid = 0x0000, .cc = 1, .payload = Bytes(184, 0x00)})};
     }},
    // Rule 3 comes before rule 4: a PID that the PAT gives both as a program's
    // PMT PID and as the network PID is decoded as a PMT.
    {"crafted-pmt-on-network-pid", 1,
     []() -> Packets {
       return {PATPacket(PATSection(1, {{0, 0x0020}, {1, 0x0020}})),
               SectionPacket(0x0020, PMTSection(1, 0x0021, {}, {{0x02, 0x0021, {}}}))};
     }},
    // section_length below the fixed header: no program entry, a negative count.
    {"crafted-lying-pat-section-length", 0,
     []() -> Packets {
       const Bytes shortPAT{0x00, 0xB0, 0x05, 0x00, 0x01, 0xC1, 0x00, 0x00};
       return {PATPacket(shortPAT), NullPacket()};
     }},
    // program_info_length 4095 in a 31-byte section: the loop is cut at the end
    // of the section, no stream entry is read and the tree stays consistent.
    {"crafted-lying-program-info-length", 1,
     []() -> Packets {
       Bytes pmt = PMTSection(1, 0x0101, kMaximumBitrate, {{0x02, 0x0101, {}}, {0x04, 0x0102, {}}});
       pmt[10] = 0xFF;
       pmt[11] = 0xFF;
       return {PATPacket(PATSection(1, {{1, 0x0100}})), SectionPacket(0x0100, pmt)};
     }},
    // The last stream's ES_info_length claims 1023 bytes: its loop is cut at the
    // end of the section and the stream list ends there.
    {"crafted-lying-es-info-length", 1,
     []() -> Packets {
       Bytes pmt = PMTSection(
           1, 0x0101, {}, {{0x02, 0x0101, kDataStreamAlignment1}, {0x04, 0x0102, {0x0A, 0x04, 'e', 'n', 'g', 0x00}}});
       // Stream 1 starts at 12 + 5 + 3; its ES_info_length is in bytes 3-4 of the entry.
       pmt[20 + 3] = 0xF3;
       pmt[20 + 4] = 0xFF;
       // The CRC_32 bytes, which the cut loop takes in as well: a
       // data_stream_alignment_descriptor that claims one byte more than is left.
       std::copy_n(Bytes{0x06, 0x02, 0x07, 0x00}.begin(), 4, pmt.end() - 4);
       return {PATPacket(PATSection(1, {{1, 0x0100}})), SectionPacket(0x0100, pmt)};
     }},
    // Every block of the adaptation field: PCR, OPCR, splice countdown, private
    // data and the extension with ltw, piecewise rate and seamless splice.
    {"crafted-adaptation-field", 0,
     []() -> Packets {
       const uint64_t dtsNextAU = 0x123456789;
       Bits af;
       af.Put(8, 0xDF);                               // every flag but elementary_stream_priority_indicator
       af.Put(33, 2700000).Put(6, 0x3F).Put(9, 123);  // PCR
       af.Put(33, (uint64_t{1} << 33) - 1).Put(6, 0x3F).Put(9, 299);  // OPCR
       af.Put(8, 0xFE);                                               // splice_countdown
       af.Put(8, 3).Put(8, 'a').Put(8, 'b').Put(8, 'c');              // private data
       af.Put(8, 11).Put(3, 7).Put(5, 0x1F);                          // extension length and flags
       af.Put(1, 1).Put(15, 12345);                                   // ltw
       af.Put(2, 3).Put(22, 0x2ABCDE);                                // piecewise_rate
       af.Put(4, 5).PutMarked(dtsNextAU);                             // splice_type, DTS_next_AU
       return {MakePacket({.pid = 0x0200, .afc = 2, .adaptation = af.bytes, .adaptationLength = 183}), NullPacket()};
     }},
    // An empty adaptation field (nine nodes, all flags 0) before an audio PES
    // header with a PTS only.
    {"crafted-empty-adaptation-field-pes-pts", 0,
     []() -> Packets {
       const Bytes pes = Cat({{0x00, 0x00, 0x01, 0xC0, 0x01, 0x00, 0x81, 0x80, 0x05}, TimeStamp(2, 900000)});
       return {MakePacket({.pid = 0x0200, .pusi = true, .afc = 3, .adaptationLength = 0, .payload = pes}),
               NullPacket()};
     }},
    // A PES header with every optional field: PTS and DTS, ESCR, ES rate, trick
    // mode 3 (" (2bit)"), copy info, CRC and the extension with private data,
    // pack header, sequence counter, P-STD buffer and extension field bytes.
    {"crafted-pes-every-field", 0,
     []() -> Packets {
       const uint64_t escr = 1234567890;
       // pack_header(): SCR base 1234567890, extension 7, program_mux_rate 20000,
       // no stuffing and no system header.
       Bits pack;
       pack.Put(32, 0x000001BA).Put(2, 1).PutMarked(escr).Put(9, 7).Put(1, 1);
       pack.Put(22, 20000).Put(1, 1).Put(1, 1).Put(5, 0x1F).Put(3, 0);
       Bytes privateData;
       for (int i = 0; i < 16; ++i) privateData.push_back(static_cast<uint8_t>(i * 0x11));
       const Bytes optional = Cat({TimeStamp(3, 900000),                                          // PTS 10 s
                                   TimeStamp(1, 896400),                                          // DTS 9.96 s
                                   Bits{}.Put(2, 3).PutMarked(escr).Put(9, 300).Put(1, 1).bytes,  // ESCR: extension 300
                                   Bits{}.Put(1, 1).Put(22, 12345).Put(1, 1).bytes,               // ES_rate
                                   Bits{}.Put(3, 3).Put(2, 2).Put(1, 1).Put(2, 1).bytes,          // fast reverse
                                   Bits{}.Put(1, 1).Put(7, 0x55).bytes,  // additional_copy_info
                                   {0xBE, 0xEF},                         // previous_PES_packet_CRC
                                   {0xFF},                               // every extension flag
                                   privateData,
                                   {static_cast<uint8_t>(pack.bytes.size())},
                                   pack.bytes,
                                   Bits{}.Put(1, 1).Put(7, 42).Put(1, 1).Put(1, 1).Put(6, 5).bytes,
                                   Bits{}.Put(2, 1).Put(1, 1).Put(13, 1000).bytes,
                                   {0x83, 0xAA, 0xBB, 0xCC}});
       const Bytes pes = Cat({{0x00, 0x00, 0x01, 0xE0, 0x00, 0x00, 0x8D, 0xFF, static_cast<uint8_t>(optional.size())},
                              optional,
                              Bytes(8, 0x00)});
       return {MakePacket({.pid = 0x0200, .pusi = true, .payload = pes}), NullPacket()};
     }},
};

class GoldenCraftedTree : public ::testing::TestWithParam<CraftedPacket> {};

TEST_P(GoldenCraftedTree, MatchesTheCheckedText) {
  Opened s(StreamOf(GetParam().packets()));
  ASSERT_TRUE(s.Loaded());
  ExpectGolden(std::string(GetParam().golden) + ".txt", s.Select(At(GetParam().packet)));
}

INSTANTIATE_TEST_SUITE_P(Crafted, GoldenCraftedTree, ::testing::ValuesIn(kCraftedPackets),
                         [](const ::testing::TestParamInfo<CraftedPacket>& info) {
                           return test::TestNameOf(info.param.golden);
                         });

// ---- Built streams: PSI ----------------------------------------------------------

// A PMT whose continuation is missing is not decoded: its packet shows the
// new pointer_field and no PMT fields, neither its own nor the ones of the
// PMT decoded before it.
TEST(GoldenTree, PMTWithoutContinuationShowsNoSection) {
  const Bytes complete =
      PMTSection(1, 0x0101, {}, {{0x02, 0x0101, {}}, {0x04, 0x0102, {0x0A, 0x04, 'e', 'n', 'g', 0x00}}});
  // Program 2, section_length 400: far more than the packet holds.
  Bytes cut{0x02, 0xB1, 0x90, 0x00, 0x02, 0xC3, 0x00, 0x00, 0xE1, 0x11, 0xF0, 0x00};
  cut.resize(160, 0x1B);
  Opened s(
      StreamOf({PATPacket(PATSection(1, {{1, 0x0100}})), SectionPacket(0x0100, complete, 0),
                MakePacket({.pid = 0x0100, .pusi = true, .cc = 1, .payload = Cat({{4, 0xFF, 0xFF, 0xFF, 0xFF}, cut})}),
                // The next packet of the PID does not continue the counter.
                MakePacket({.pid = 0x0100, .cc = 5, .payload = Bytes(184, 0x00)})}));
  ASSERT_TRUE(s.Loaded());
  ASSERT_NE(s.Select(At(1)).find("    PMT\n"), std::string::npos);
  ExpectGolden("crafted-pmt-continuation-missing.txt", s.Select(At(2)));
}

// A PMT that starts in the last packet of the file and needs more: nothing
// follows to gather, so its packet shows no PMT fields.
TEST(GoldenTree, SectionCutByTheEndOfTheFileShowsNoSection) {
  Bytes cut{0x02, 0xB1, 0x90, 0x00, 0x02, 0xC3, 0x00, 0x00, 0xE1, 0x11, 0xF0, 0x00};
  cut.resize(183, 0x1B);
  const Bytes complete = PMTSection(1, 0x0101, {}, {{0x02, 0x0101, {}}});
  Opened s(test::Slots({PATPacket(PATSection(1, {{1, 0x0100}})), SectionPacket(0x0100, complete, 0), NullPacket(),
                        NullPacket(), SectionPacket(0x0100, cut, 1)}));
  ASSERT_TRUE(s.Loaded());
  ASSERT_NE(s.Select(At(1)).find("    PMT\n"), std::string::npos);
  const std::string tree = s.Select(At(4));
  EXPECT_NE(tree.find("    pointer_field                        : 0 (8 bits)\n"), std::string::npos) << tree;
  EXPECT_EQ(Table(s.browser, "PMT"), nullptr);
}

// The decoder finds a packet's table itself: the tree of the SDT at the start
// of the file is the same whichever page is on screen.
TEST(GoldenTree, TableOfAPacketComesFromTheStreamNotFromThePage) {
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(test::TestDataPath("one-program.ts")));
  const std::string own = SelectPacket(browser, 0);
  ASSERT_NE(Table(browser, "SDT"), nullptr);
  ASSERT_TRUE(browser.RefreshPosition(browser.FileSize() - 100 * 188));
  browser.RefreshTSPacket(0);
  EXPECT_EQ(TreeText(browser), own);
}

// A PAT with section_syntax_indicator 0 shows its table_id and
// section_syntax_indicator only. The PAT before stays the current one.
TEST(GoldenTree, PATWithoutSectionSyntaxShowsItsTwoFields) {
  // table_id 0x11 and section_syntax_indicator 0.
  Bytes unsyntaxed = PATSection(99, {{5, 0x0500}});
  unsyntaxed[0] = 0x11;
  unsyntaxed[1] &= 0x7F;
  Opened s(
      StreamOf({PATPacket(PATSection(7, {{0, 0x0010}, {1, 0x0100}, {2, 0x0200}}, 3), 0), PATPacket(unsyntaxed, 1)}));
  ASSERT_TRUE(s.Loaded());
  ExpectGolden("crafted-pat-section-syntax-0.txt", s.Select(At(1)));
  EXPECT_TRUE(s.browser.IsPMT(0x0200));
  EXPECT_FALSE(s.browser.IsPMT(0x0500));
}

// ---- Built streams: length fields that lie ---------------------------------------

// A CAT descriptor that claims more bytes than the section has ends the loop;
// CRC_32 keeps the value of the CAT decoded before.
TEST(GoldenTree, CATDescriptorPastTheSection) {
  const Bytes good = CATSection(kCAWithoutPrivateBytes);
  const Bytes lying = CATSection(Cat({kCAWithPrivateBytes, {0x09, 0x32, 0x0B, 0x03, 0xE4, 0x00}}));
  Opened s(StreamOf(
      {PATPacket(PATSection(1, {{1, 0x0100}})), SectionPacket(0x0001, good, 0), SectionPacket(0x0001, lying, 1)}));
  ASSERT_TRUE(s.Loaded());
  s.Select(At(1));
  ExpectGolden("crafted-lying-cat-descriptor-length.txt", s.Select(At(2)));
}

// A pointer_field that leads past the packet: nothing is decoded, the tree
// shows that pointer_field and no PAT fields, not even the ones decoded before.
TEST(GoldenTree, PointerFieldPastThePacket) {
  Opened s(StreamOf(
      {PATPacket(PATSection(1, {{1, 0x0100}})), MakePacket({.pid = 0x0000, .pusi = true, .cc = 1, .payload = {200}})}));
  ASSERT_TRUE(s.Loaded());
  ExpectGolden("crafted-lying-pointer-field.txt", s.Select(At(1)));
}

// ---- Built streams: adaptation field and PES header -------------------------------------

// A payload start in a packet that has no payload (adaptation_field_control
// 2): no PES header bytes exist, so "PES" holds no field, neither an older
// packet's header nor one made of zeros.
TEST(GoldenTree, PayloadStartWithoutPayloadShowsNoPESHeader) {
  const Bytes pes = Cat({{0x00, 0x00, 0x01, 0xC0, 0x01, 0x00, 0x81, 0x80, 0x05}, TimeStamp(2, 900000)});
  Opened s(StreamOf(
      {MakePacket({.pid = 0x0200, .pusi = true, .payload = pes}),
       MakePacket({.pid = 0x0200, .pusi = true, .cc = 1, .afc = 2, .adaptation = {0x00}, .adaptationLength = 183})}));
  ASSERT_TRUE(s.Loaded());
  s.Select(At(0));
  ExpectGolden("crafted-payload-start-without-payload.txt", s.Select(At(1)));
}

}  // namespace
}  // namespace tessaro
