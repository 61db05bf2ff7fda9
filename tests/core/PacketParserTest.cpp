// Transport header and adaptation field parsing, and the header view the
// whole-file walks use, which must read every packet as the parser does.
#include <gtest/gtest.h>

#include <random>

#include "core/FieldPositions.h"
#include "core/PacketHeaderView.h"
#include "core/PacketParser.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::MakePacket;

// Flags the packet list leaves out, kept apart from the PID beside them.
TEST(PacketParser, ReadsHeaderFlagsAndPayload) {
  Bytes p = MakePacket({.pid = 0x1ABC, .pusi = true, .cc = 7, .afc = 1, .payload = {1, 2, 3}});
  p[1] |= 0x80 | 0x20;  // error indicator, priority
  p[3] |= 0x80;         // scrambling 2
  TMPEGTSBasePacketParser parser;
  ASSERT_EQ(parser.ParseData(p.data(), 188), S_OK);
  const TTSHeader& h = parser.Header;
  EXPECT_EQ(h.transport_error_indicator, 1);
  EXPECT_EQ(h.transport_priority, 1);
  EXPECT_EQ(h.PID, 0x1ABC);
  EXPECT_EQ(h.transport_scrambling_control, 2);
  EXPECT_EQ(parser.PayloadLength, 184);
  EXPECT_EQ(parser.Payload, p.data() + 4);
}

TEST(PacketParser, AdaptationFieldEdgeCases) {
  TMPEGTSBasePacketParser parser;
  // afc 2 with length 0: no flags read, no payload.
  Bytes empty = MakePacket({.afc = 2, .adaptationLength = 0});
  empty[5] = 0xFF;  // would be all flags if it were read
  ASSERT_EQ(parser.ParseData(empty.data(), 188), S_OK);
  EXPECT_EQ(parser.Header.PCR_flag, 0);
  EXPECT_EQ(parser.Header.discontinuity_indicator, 0);
  EXPECT_EQ(parser.PayloadLength, 0);
  EXPECT_EQ(parser.Payload, nullptr);

  // afc 3 with length 183 fills the packet: payload length 0.
  Bytes full = MakePacket({.afc = 3, .adaptation = {0x00}, .adaptationLength = 183});
  ASSERT_EQ(parser.ParseData(full.data(), 188), S_OK);
  EXPECT_EQ(parser.PayloadLength, 0);

  // A lying length: payload below 0 and nothing is read past 188 bytes.
  Bytes lying = MakePacket({.afc = 3, .adaptation = {0x00}, .adaptationLength = 250});
  ASSERT_EQ(parser.ParseData(lying.data(), 188), S_OK);
  EXPECT_LT(parser.PayloadLength, 1);
  EXPECT_EQ(parser.Payload, nullptr);
}

TEST(PacketParser, RejectsMissingSyncByteAndKeepsFields) {
  test::DebugCapture capture;
  TMPEGTSBasePacketParser parser;
  Bytes good = MakePacket({.pid = 0x42});
  ASSERT_EQ(parser.ParseData(good.data(), 188), S_OK);
  Bytes bad = MakePacket({.pid = 0x99});
  bad[0] = 0x46;
  EXPECT_EQ(parser.ParseData(bad.data(), 188), E_FAIL);
  EXPECT_EQ(parser.Header.PID, 0x42);
  EXPECT_TRUE(capture.Contains("zrk: Invalid TS packed."));
}

// Every header byte pattern, and adaptation_field_length from 0 to 255 (a
// length past the packet leaves no payload), from fixtures and random bytes.
TEST(PacketHeaderView, ReadsEveryPacketAsTheParserDoes) {
  std::vector<Bytes> packets;
  for (const char* name : {"one-program.ts", "two-programs.ts", "garbage.ts", "fault-pcr-gap.ts"}) {
    const Bytes file = test::ReadFileBytes(test::TestDataPath(name));
    for (size_t at = 0; at + 188 <= file.size(); at += 188)
      packets.emplace_back(file.begin() + at, file.begin() + at + 188);
  }
  std::mt19937 random(7);
  for (int i = 0; i < 20000; ++i) {
    Bytes p(188);
    for (uint8_t& b : p) b = static_cast<uint8_t>(random());
    p[0] = 0x47;
    packets.push_back(p);
  }
  TMPEGTSBasePacketParser parser;
  TMPEGTSBasePacketParser unrecorded;
  TFieldPositions positions;
  for (const Bytes& p : packets) {
    if (p[0] != 0x47) continue;
    // Recording positions, the parser walks the header's field list; without,
    // it takes the view's reads: both give one record.
    ASSERT_EQ(unrecorded.ParseData(p.data(), 188), S_OK);
    {
      const TPositionScope scope(&positions);
      ASSERT_EQ(parser.ParseData(p.data(), 188), S_OK);
    }
    const TTSHeader& h = parser.Header;
    ASSERT_TRUE(unrecorded.Header == h);
    ASSERT_EQ(unrecorded.PayloadLength, parser.PayloadLength);
    const TPacketHeaderView view(p.data());
    ASSERT_EQ(view.PID(), h.PID);
    ASSERT_EQ(view.PayloadUnitStart(), h.payload_unit_start_indicator == 1);
    ASSERT_EQ(view.TransportPriority(), h.transport_priority == 1);
    ASSERT_EQ(view.TransportError(), h.transport_error_indicator == 1);
    ASSERT_EQ(view.ScramblingControl(), h.transport_scrambling_control);
    ASSERT_EQ(view.AdaptationFieldControl(), h.adaptation_field_control);
    ASSERT_EQ(view.ContinuityCounter(), h.continuity_counter);
    ASSERT_EQ(view.HasPCR(), h.HasPCR() && h.adaptation_field_length > 0);
    // The one-comparison PID test of the searches: the flags around the PID do not count.
    const uint32_t syncPID = view.Word() & TPacketHeaderView::kSyncPIDBits;
    ASSERT_EQ(syncPID, TPacketHeaderView::SyncPID(h.PID));
    ASSERT_NE(syncPID, TPacketHeaderView::SyncPID(h.PID ^ 0x1001));
    Bytes unsynced = p;
    unsynced[0] = 0x46;
    ASSERT_NE(TPacketHeaderView(unsynced.data()).Word() & TPacketHeaderView::kSyncPIDBits, syncPID);
    const TPayload payload = view.Payload();
    const bool parserHasPayload = h.HasPayloadFlag() && parser.PayloadLength > 0;
    ASSERT_EQ(payload.length, parserHasPayload ? parser.PayloadLength : 0);
    if (parserHasPayload) {
      ASSERT_EQ(payload.data, parser.Payload);
    }
  }
}

}  // namespace
}  // namespace tessaro
