// The packet and PAT builders byte for byte: the header and adaptation field
// layouts, build/parse round trips, refusals, and the payload rule the
// extractions share with the header parser.
#include <gtest/gtest.h>

#include <random>

#include "core/PacketParser.h"
#include "extract/PacketPayload.h"
#include "extract/TransportPacket.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;

Bytes Built(const Ttransport_packet_class& packet) {
  const uint8_t* data = nullptr;
  int32_t length = 0;
  packet.GetData(data, length);
  return Bytes(data, data + length);
}

// The PAT of one program as the program converter builds it.
void FillOneProgramPAT(Tprogram_association_section_class& pat, uint16_t program, uint16_t pmtPID) {
  TTSHeader& h = pat.HeaderFields();
  h.sync_byte = 0x47;
  h.payload_unit_start_indicator = 1;
  h.adaptation_field_control = 1;
  h.continuity_counter = 1;
  Tprogram_association_section_fields& s = pat.SectionFields();
  s.section_syntax_indicator = 1;
  s.transport_stream_id = 1;
  s.current_next_indicator = 1;
  s.N = 1;
  s.program_number[0] = program;
  s.PID[0] = pmtPID;
}

TEST(TransportPacket, HeaderAndAdaptationFieldLayouts) {
  Ttransport_packet_class packet(1);
  TTSHeader& f = packet.HeaderFields();
  f.sync_byte = 0x47;
  f.PID = 0x1FFF;
  f.adaptation_field_control = 1;
  ASSERT_TRUE(packet.BuildPacket());
  Bytes bytes = Built(packet);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{0x47, 0x1F, 0xFF, 0x10}));
  EXPECT_TRUE(std::all_of(bytes.begin() + 4, bytes.end(), [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(packet.HeaderLength(), 4);

  for (uint8_t control : {2, 3}) {
    f.adaptation_field_control = control;
    f.adaptation_field_length = 0;
    ASSERT_TRUE(packet.BuildPacket());
    EXPECT_EQ(Built(packet)[4], 0x00);
    EXPECT_EQ(packet.HeaderLength(), 5);
  }

  // Every optional part: PCR, OPCR, splice countdown, private data and an
  // extension with ltw, piecewise rate and seamless splice; reserved and
  // marker bits become 1s whatever the fields say.
  f.adaptation_field_control = 3;
  f.adaptation_field_length = 40;
  f.random_access_indicator = 1;
  f.PCR_flag = f.OPCR_flag = f.splicing_point_flag = f.transport_private_data_flag = 1;
  f.adaptation_field_extension_flag = 1;
  f.program_clock_reference_base = 0x1ABCDEF01;
  f.program_clock_reference_extension = 0x1FF;
  f.original_program_clock_reference_base = 1;
  f.original_program_clock_reference_extension = 2;
  f.splice_countdown = 0xFE;
  f.transport_private_data_length = 2;
  f.private_data[0] = 0xAA;
  f.private_data[1] = 0xBB;
  f.adaptation_field_extension_length = 12;
  f.ltw_flag = f.piecewise_rate_flag = f.seamless_splice_flag = 1;
  f.ltw_valid_flag = 1;
  f.ltw_offset = 0x1234;
  f.piecewise_rate = 0xBEEF;
  f.splice_type = 0x5;
  f.DTS_next_AU = int64_t{0x7} << 30 | int64_t{0x7FFF} << 15 | 0x0001;
  ASSERT_TRUE(packet.BuildPacket());
  bytes = Built(packet);
  const Bytes field{0x28, 0x5F,                                 // length 40, flags
                    0xD5, 0xE6, 0xF7, 0x80, 0xFF,        0xFF,  // PCR
                    0x00, 0x00, 0x00, 0x00, 0x80 | 0x7E, 0x02,  // OPCR
                    0xFE,                                       // splice_countdown
                    0x02, 0xAA, 0xBB,                           // private data
                    0x0C, 0xFF,                                 // extension length, flags
                    0x92, 0x34,                                 // ltw
                    0xC0, 0xBE, 0xEF,                           // piecewise_rate
                    0x5F, 0xFF, 0xFF, 0x00, 0x03,               // seamless splice
                    0xFF, 0xFF};                                // extension padding
  EXPECT_EQ(Bytes(bytes.begin() + 4, bytes.begin() + 4 + field.size()), field);
  EXPECT_EQ(packet.HeaderLength(), 45);
  EXPECT_TRUE(std::all_of(bytes.begin() + 36, bytes.end(), [](uint8_t b) { return b == 0xFF; }));

  // Parsed back and built again, the bytes are the ones built.
  Ttransport_packet_class parsed(1);
  ASSERT_TRUE(parsed.SetData(bytes.data(), 188));
  EXPECT_EQ(parsed.HeaderLength(), 45);
  ASSERT_TRUE(parsed.BuildPacket());
  EXPECT_EQ(Built(parsed), bytes);

  // Fields that do not fit in a packet are refused, and nothing is written past it.
  test::DebugCapture refusals;
  f.adaptation_field_length = 200;
  EXPECT_FALSE(packet.BuildPacket());
  f.adaptation_field_length = 40;
  f.transport_private_data_length = 255;
  EXPECT_FALSE(packet.BuildPacket());
}

TEST(TransportPacket, SetDataRefusesWrongInputAndParsesLyingFieldsInsideThePacket) {
  Tprogram_association_section_class pat(1);
  FillOneProgramPAT(pat, 7, 0x100);
  ASSERT_TRUE(pat.BuildPacket());
  const Bytes good = Built(pat);
  EXPECT_FALSE(pat.SetData(nullptr, 188));
  EXPECT_FALSE(pat.SetData(good.data(), 187));
  EXPECT_EQ(Built(pat), good);
  const uint8_t three[3] = {0x47, 0x01, 0x00};
  EXPECT_EQ(GetPacketPID(three, 3), -1);
  EXPECT_EQ(GetPacketPID(nullptr, 188), -1);

  // Parse and build mirror each other for the section too.
  Tprogram_association_section_class copy(1);
  ASSERT_TRUE(copy.SetData(good.data(), 188));
  ASSERT_TRUE(copy.BuildPacket());
  EXPECT_EQ(Built(copy), good);

  // A section_length announcing 1021 entries reads only those inside the
  // packet; an adaptation field longer than the packet leaves no room for a
  // pointer_field; random bytes never read or write outside.
  Bytes lying = good;
  lying[6] = 0xBF;
  lying[7] = 0xFF;
  ASSERT_TRUE(copy.SetData(lying.data(), 188));
  EXPECT_EQ(copy.SectionFields().N, (188 - 13) / 4);
  lying = test::MakePacket({.pid = 0, .pusi = true, .afc = 3, .adaptation = {0x00}, .adaptationLength = 190});
  EXPECT_FALSE(copy.SetData(lying.data(), 188));
  test::DebugCapture quiet;
  std::mt19937 random(10);
  for (int round = 0; round < 2000; ++round) {
    Bytes noise(188);
    for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
    noise[0] = 0x47;
    copy.SetData(noise.data(), 188);
    copy.BuildPacket();
  }
  // Too many programs for one packet: a refusal, not a longer section.
  FillOneProgramPAT(pat, 1, 0x100);
  pat.SectionFields().N = 43;
  EXPECT_FALSE(pat.BuildPacket());
  pat.SectionFields().N = 42;
  EXPECT_TRUE(pat.BuildPacket());
}

TEST(TransportPacket, A204ByteSlotKeepsItsExtraBytesAfterThePacket) {
  // A 204-byte slot keeps its extra bytes after the packet, as 0xFF.
  Tprogram_association_section_class dvb(2);
  FillOneProgramPAT(dvb, 1, 0x1000);
  ASSERT_TRUE(dvb.BuildPacket());
  const Bytes rs = Built(dvb);
  EXPECT_EQ(rs[0], 0x47);
  EXPECT_TRUE(std::all_of(rs.begin() + 188, rs.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST(PacketPayload, AgreesWithTheHeaderParserAndSkipsPESHeaders) {
  std::mt19937 random(7);
  TMPEGTSBasePacketParser parser;
  for (int round = 0; round < 20000; ++round) {
    Bytes packet(188);
    for (uint8_t& b : packet) b = static_cast<uint8_t>(random());
    packet[0] = 0x47;
    ASSERT_EQ(parser.ParseData(packet.data(), 188), S_OK);
    const TPayload payload = PacketPayload(packet.data());
    const int32_t expected = parser.PayloadLength > 0 ? parser.PayloadLength : 0;
    ASSERT_EQ(payload.length, expected) << round;
    if (expected > 0) {
      ASSERT_EQ(payload.data, parser.Payload);
    }
  }
  // A PES header that does not fit in its packet leaves nothing. (Headers
  // that fit are ExtractionTest's, which reads the fixtures' ES back.)
  Bytes pes{0x00, 0x00, 0x01, 0xE0, 0x00, 0x00, 0x80, 0xC0, 200};
  pes.resize(184, 0x55);
  const Bytes start = test::MakePacket({.pid = 0x100, .pusi = true, .payload = pes});
  EXPECT_EQ(ElementaryPayload(start.data()).length, 0);
  const Bytes shortStart = test::MakePacket({.pid = 0x100, .pusi = true, .afc = 3, .adaptationLength = 176});
  EXPECT_EQ(PacketPayload(shortStart.data()).length, 7);
  EXPECT_EQ(ElementaryPayload(shortStart.data()).length, 0);
  EXPECT_EQ(PacketPayload(test::MakePacket({.afc = 2, .adaptationLength = 183}).data()).length, 0);
}

}  // namespace
}  // namespace tessaro
