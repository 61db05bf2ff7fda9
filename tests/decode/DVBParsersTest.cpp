// The DVB SI section decoders: which one the browser chooses, their PID gates,
// their trees, and sections whose lengths point past their bytes.
//
// Whole trees are compared with tests/data/golden/dvb-*.txt, each checked by
// hand against the section syntax and the node texts; TESSARO_UPDATE_GOLDEN=1
// rewrites them (check a rewritten file again before committing it).
#include "decode/DVBParsers.h"

#include <memory>
#include <string>
#include <vector>

#include "browser/StreamBrowser.h"
#include "core/TextHelpers.h"
#include "core/TreeNode.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::MakePacket;

// (width in bits, value) pairs in the order of a syntax table.
using Fields = std::vector<std::pair<int, uint64_t>>;

Fields operator+(Fields a, const Fields& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// table_id, the four bits after it, section_length from the size, the fields
// packed most significant bit first, then CRC_32 unless crc is false.
Bytes Section(int tableId, int flags, const Fields& fields, bool crc = true) {
  Bytes b;
  int used = 8;
  for (const auto& [width, value] : Fields{{8, tableId}, {4, flags}, {12, 0}} + fields) {
    for (int i = width - 1; i >= 0; --i) {
      if (used == 8) b.push_back(0), used = 0;
      b.back() |= static_cast<uint8_t>(((value >> i) & 1) << (7 - used++));
    }
  }
  if (crc) return test::WithSectionLengthAndCrc(b);
  b[1] |= static_cast<uint8_t>((b.size() - 3) >> 8);
  b[2] = static_cast<uint8_t>(b.size() - 3);
  return b;
}

// The fixed header after section_length: ids 7 and 9 (5 for the EIT's service), version 1, section 0 of 0.
const Fields kSDTHeader = {{16, 7}, {8, 0xC3}, {16, 0}, {16, 9}, {8, 0xFF}};
Fields EITHeader(int lastTableId) { return {{16, 5}, {8, 0xC3}, {16, 0}, {16, 7}, {16, 9}, {8, 0}, {8, lastTableId}}; }
Fields NITHeader(int networkId) { return {{16, networkId}, {8, 0xC1}, {16, 0}}; }

uint32_t LastWord(const Bytes& b) {
  const size_t n = b.size();
  return (uint32_t{b[n - 4]} << 24) | (uint32_t{b[n - 3]} << 16) | (uint32_t{b[n - 2]} << 8) | b[n - 1];
}

std::string Crc(const Bytes& section) { return "0x" + HexDigits(LastWord(section), 8) + " (32 bit)"; }

// The packets of one PID carrying section after pointer_field 0; continuity counters from cc.
std::vector<Bytes> SectionPackets(uint16_t pid, const Bytes& section, int cc = 0) {
  const Bytes payload = test::SectionPayload(section);
  std::vector<Bytes> packets;
  for (size_t at = 0; at < payload.size(); at += 184, ++cc) {
    const Bytes part(payload.begin() + static_cast<long>(at),
                     payload.begin() + static_cast<long>(std::min(at + 184, payload.size())));
    packets.push_back(MakePacket(
        {.pid = pid, .pusi = at == 0, .cc = static_cast<uint8_t>(cc & 15), .adaptation = {}, .payload = part}));
  }
  return packets;
}

// The nodes a decoder adds under "Packet" for the section starting in packet.
std::string Decode(TSectionDecoder& decoder, const Bytes& packet, const TFileStream* stream = nullptr) {
  decoder.ParseData(packet.data(), 188, 0, stream);
  TTreeNode root("Packet");
  decoder.UpdateTreeViewNode(root);
  return TreeToText(root);
}

std::string BrowserTree(TStreamBrowser& browser, int64_t offset) {
  browser.RefreshTSPacket(offset);
  return browser.Tree().children.empty() ? std::string() : TreeToText(*browser.Tree().children[0]);
}

bool HasLine(const std::string& tree, const std::string& label, const std::string& rest) {
  return tree.find(PadRightStr(label, kLabelWidth) + " : " + rest + "\n") != std::string::npos;
}

// The group under "PSI" (the table's group), or "" when no section decoder ran
// or it decoded no section.
std::string TableGroup(const std::string& tree) {
  const size_t psi = tree.find("\n  PSI\n");
  if (psi == std::string::npos) return {};
  const size_t next = tree.find('\n', tree.find("pointer_field", psi));
  if (next == std::string::npos || tree.compare(next, 5, "\n    ") != 0 || tree[next + 5] == ' ') return {};
  return tree.substr(next + 5, tree.find('\n', next + 5) - next - 5);
}

using test::ExpectGolden;

Bytes PAT(int networkPID) {
  return Section(0x00, 0xB, {{16, 1}, {8, 0xC1}, {16, 0}, {16, 0}, {16, 0xE000 | networkPID}, {16, 1}, {16, 0xE100}});
}

// ---- The decoder the browser chooses --------------------------------------------

TEST(DVBTables, ChosenByNetworkPIDThenByTableKind) {
  const Bytes bat = Section(0x4A, 0xF,
                            Fields{{16, 0x1234}, {8, 0xCF}, {16, 0x0001}, {16, 0xF000}, {16, 0xF00C}} +
                                Fields{{16, 1}, {16, 2}, {16, 0xF000}} + Fields{{16, 3}, {16, 4}, {16, 0xF000}});
  Fields services;
  for (int s = 1; s <= 6; ++s)
    services = services + Fields{{16, s}, {6, 0x3F}, {1, s & 1}, {1, 1}, {3, 4}, {1, 0}, {12, 0}};
  const Bytes oneEvent = Section(
      0x4E, 0xF, EITHeader(0x4E) + Fields{{16, 0x0102}, {40, 0xC079124500}, {24, 0x013000}, {3, 4}, {1, 1}, {12, 0}});
  const Bytes rst = Section(0x71, 0x7,
                            Fields{{16, 1}, {16, 2}, {16, 3}, {16, 4}, {5, 0x1F}, {3, 2}} +
                                Fields{{16, 5}, {16, 6}, {16, 7}, {16, 8}, {5, 0x1F}, {3, 4}},
                            false);
  const Bytes tot = Section(0x73, 0x7, {{40, 0xC079124500}, {16, 0xF000}, {32, 0xFFFFFFFF}}, false);
  const Bytes st = {0x72, 0x70, 0x05, 0x11, 0x22, 0x33, 0x44, 0x55};  // five stuffing bytes
  const Bytes dit = {0x7E, 0x70, 0x01, 0x80};
  const Bytes sit =
      Section(0x7F, 0xF, {{16, 0xFFFF}, {8, 0xC5}, {16, 0}, {16, 0xF000}, {16, 0x0102}, {4, 0xC}, {12, 0}});
  struct Case {
    uint16_t pid;
    Bytes section;
    const char* group;
    const char* golden;
  };
  const std::vector<Case> cases = {
      {0x0010, Section(0x40, 0xF, NITHeader(3) + Fields{{16, 0xF000}, {16, 0xF000}}), "NIT", "dvb-nit-no-loops.txt"},
      {0x0011, bat, "BAT", "dvb-bat.txt"},
      {0x0011, Section(0x42, 0xF, kSDTHeader + services), "SDT", "dvb-sdt-six-services.txt"},
      {0x0011, Section(0x46, 0xF, kSDTHeader), "SDT", nullptr},
      {0x0012, oneEvent, "EIT", "dvb-eit-one-event.txt"},  // " (1 bits)", one event, then CRC_32
      {0x0012, Section(0x6F, 0xF, EITHeader(0x6F)), "EIT", nullptr},
      {0x0014, {0x70, 0x70, 0x05, 0xC0, 0x79, 0x12, 0x45, 0x00}, "TDT", "dvb-tdt-mjd-bcd.txt"},  // one 40-bit number
      {0x0014, tot, "TOT", "dvb-tot-crc-decimal.txt"},                                           // unsigned: 4294967295
      {0x0013, rst, "RST", "dvb-rst.txt"},
      {0x0011, st, "ST", "dvb-st.txt"},
      {0x001E, dit, "DIT", "dvb-dit.txt"},
      {0x001F, sit, "SIT", "dvb-sit.txt"},
      {0x0010, st, "NIT", nullptr},  // the network PID comes before the table kind
  };
  std::vector<Bytes> packets = {
      MakePacket({.pid = 0, .pusi = true, .adaptation = {}, .payload = test::SectionPayload(PAT(0x10))})};
  for (size_t i = 0; i < cases.size(); ++i) {
    packets.push_back(SectionPackets(cases[i].pid, cases[i].section, static_cast<int>(i))[0]);
  }
  test::TempFile file(test::Slots(packets));
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(file.Path()));
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string tree = BrowserTree(browser, static_cast<int64_t>(i + 1) * 188);
    EXPECT_EQ(TableGroup(tree), cases[i].group) << "packet " << i + 1;
    if (cases[i].golden != nullptr) ExpectGolden(cases[i].golden, tree);
  }
}

TEST(DVBTables, NetworkPIDOtherThan0010IsChosenButStopsAtThePIDGate) {
  const Bytes nit = Section(0x40, 0xF, NITHeader(0x2222) + Fields{{16, 0xF000}, {16, 0xF000}});
  test::TempFile file(
      test::Slots({MakePacket({.pid = 0, .pusi = true, .adaptation = {}, .payload = test::SectionPayload(PAT(0x20))}),
                   SectionPackets(0x10, nit)[0], SectionPackets(0x20, nit)[0],
                   MakePacket({.pid = 0x1FFF, .adaptation = {}, .payload = {}})}));
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(file.Path()));
  // A NIT on PID 0x0010 is decoded first; the network PID 0x0020 then
  // chooses the NIT decoder, whose gate refuses the PID: the packet's
  // pointer_field shows, and neither its section nor the one before.
  EXPECT_EQ(TableGroup(BrowserTree(browser, 188)), "NIT");
  const std::string tree = BrowserTree(browser, 2 * 188);
  EXPECT_TRUE(HasLine(tree, "pointer_field", "0 (8 bits)"));
  EXPECT_EQ(TableGroup(tree), "");
  EXPECT_EQ(tree.find("network_id"), std::string::npos);
}

TEST(DVBDecoders, PIDGatesRefuseOtherPIDs) {
  const struct {
    std::unique_ptr<TSectionDecoder> decoder;
    std::vector<uint16_t> accepted, refused;
  } gates[] = {{std::make_unique<TMPEGTSNITPacketParserEx>(), {0x10}, {0x11, 0x20}},
               {std::make_unique<TMPEGTSBATPacketParserEx>(), {0x11}, {0x10, 0x12}},
               {std::make_unique<TMPEGTSSDTPacketParserEx>(), {0x11}, {0x10, 0x12}},
               {std::make_unique<TMPEGTSEITPacketParserEx>(), {0x12}, {0x11, 0x13}},
               {std::make_unique<TMPEGTSTDTPacketParserEx>(), {0x14}, {0x13, 0x15}},
               {std::make_unique<TMPEGTSTOTPacketParserEx>(), {0x14}, {0x13, 0x15}},
               {std::make_unique<TMPEGTSRSTPacketParserEx>(), {0x13}, {0x12, 0x14}},
               {std::make_unique<TMPEGTSSTPacketParserEx>(), {0x10, 0x12, 0x14}, {0x0F, 0x15}},
               {std::make_unique<TMPEGTSDITPacketParserEx>(), {0x1E}, {0x1D, 0x1F}},
               {std::make_unique<TMPEGTSSITPacketParserEx>(), {0x1F}, {0x1E, 0x20}}};
  const Bytes section = {0x99, 0xF0, 0x00};
  for (const auto& gate : gates) {
    for (uint16_t pid : gate.accepted) {
      const std::string tree = Decode(*gate.decoder, SectionPackets(pid, section)[0]);
      EXPECT_TRUE(HasLine(tree, "table_id", "153 (8 bits)")) << gate.decoder->Entry().name << " PID " << pid;
      // A refused PID right after shows no section, not the one just decoded.
      for (uint16_t other : gate.refused) {
        const std::string refused = Decode(*gate.decoder, SectionPackets(other, section)[0]);
        EXPECT_TRUE(HasLine(refused, "pointer_field", "0 (8 bits)")) << gate.decoder->Entry().name;
        EXPECT_EQ(refused.find("table_id"), std::string::npos) << gate.decoder->Entry().name << " PID " << other;
      }
    }
  }
}

// ---- Lengths that point past the data -------------------------------------------

// Fixed fields that section_length leaves out are the subject of SectionEndTest.cpp.
TEST(DVBDecoders, LoopsStayInsideTheirSection) {
  // A service loop claiming 300 bytes is cut at the CRC_32, which is read where the section puts it.
  TMPEGTSSDTPacketParserEx sdt;
  const Bytes sdtCut = Section(0x42, 0xF, kSDTHeader + Fields{{16, 1}, {8, 0xFD}, {4, 8}, {12, 300}, {16, 0x8001}});
  std::string tree = Decode(sdt, SectionPackets(0x11, sdtCut)[0]);
  EXPECT_TRUE(HasLine(tree, "services count", "1"));
  EXPECT_TRUE(HasLine(tree, "descriptors_loop_length", "300 (12 bits)"));
  EXPECT_TRUE(HasLine(tree, "CRC_32", Crc(sdtCut)));

  // In the NIT the transport stream loop bounds its entries' descriptor loops: the
  // list gets one user-defined descriptor, not the CRC_32 bytes (two more) after it.
  const Bytes nitCut = Section(
      0x40, 0xF,
      NITHeader(3) +
          Fields{{16, 0xF000}, {16, 0xF00A}, {16, 1}, {16, 2}, {16, 0xF000 | 100}, {32, 0x8002ABCD}, {32, 0x80008000}},
      false);
  TMPEGTSNITPacketParserEx nit;
  tree = Decode(nit, SectionPackets(0x10, nitCut)[0]);
  EXPECT_TRUE(HasLine(tree, "transport stream count", "1"));
  ASSERT_NE(nit.Section.transport_streams[0].descriptors, nullptr);
  EXPECT_EQ(nit.Section.transport_streams[0].descriptors->Count(), 1);
  EXPECT_TRUE(HasLine(tree, "CRC_32", "0x80008000 (32 bit)"));

  // A transmission loop running past the section leaves no services; the
  // CRC_32 after the loop is then the stuffing that follows the section.
  TMPEGTSSITPacketParserEx sit;
  const Bytes sitCut = Section(0x7F, 0xF, {{16, 0xFFFF}, {8, 0xC1}, {16, 0}, {16, 0xF000 | 40}, {32, 0x80020000}});
  tree = Decode(sit, SectionPackets(0x1F, sitCut)[0]);
  EXPECT_TRUE(HasLine(tree, "transmission_info_loop_length", "40 (12 bits)"));
  EXPECT_TRUE(HasLine(tree, "service count", "0"));
  EXPECT_TRUE(HasLine(tree, "CRC_32", "0xFFFFFFFF (32 bit) [beyond section_length]"));

  // An RST entry cut short by section_length ends the loop.
  TMPEGTSRSTPacketParserEx rst;
  const Bytes rstCut = Section(0x71, 0x7, {{16, 1}, {16, 2}, {16, 3}, {16, 4}, {8, 0xFC}, {16, 5}, {16, 6}}, false);
  tree = Decode(rst, SectionPackets(0x13, rstCut)[0]);
  EXPECT_TRUE(HasLine(tree, "event count", "1"));
  EXPECT_EQ(tree.find("event #1"), std::string::npos);
}

TEST(DVBDecoders, LoopOfMoreThan256EntriesStopsAtTheTable) {
  // 339 events of 12 bytes: a 4086-byte section gathered from 23 packets.
  Fields events = EITHeader(0x50);
  for (int e = 0; e < 339; ++e) events = events + Fields{{16, e}, {40, 0}, {24, 0}, {4, 0}, {12, 0}};
  const Bytes section = Section(0x50, 0xF, events);
  ASSERT_EQ(section.size(), 4086u);
  const std::vector<Bytes> packets = SectionPackets(0x12, section);
  ASSERT_EQ(packets.size(), 23u);
  test::TempFile file(test::Slots(packets));
  const auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::Read);
  TMPEGTSEITPacketParserEx decoder;
  test::DebugCapture capture;
  const std::string tree = Decode(decoder, packets[0], stream.get());
  EXPECT_TRUE(
      capture.Contains("zrk: Error in TMPEGTSEITPacketParserEx.ParseData - more than 256 entries in the loop."));
  EXPECT_TRUE(HasLine(tree, "events count", "256"));
  EXPECT_TRUE(HasLine(tree, "event_id", "255 (16 bits)"));
  EXPECT_FALSE(HasLine(tree, "event_id", "256 (16 bits)"));
  EXPECT_TRUE(HasLine(tree, "CRC_32", Crc(section)));

  // The next section shows its own entries, not what is left of the last one's.
  const Bytes oneEvent = Section(0x50, 0xF, EITHeader(0x50) + Fields{{16, 7}, {40, 0}, {24, 0}, {4, 0}, {12, 0}});
  const std::string next = Decode(decoder, SectionPackets(0x12, oneEvent)[0]);
  EXPECT_TRUE(HasLine(next, "events count", "1"));
  EXPECT_EQ(next.find("event #1\n"), std::string::npos);
}

}  // namespace
}  // namespace tessaro
