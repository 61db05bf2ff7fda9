// Continuity-chain walks, table_id look-ups and section gathering over files.
#include <gtest/gtest.h>

#include "core/PacketChain.h"
#include "core/SectionGatherer.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::MakePacket;

Bytes Filler(uint8_t cc = 0) { return MakePacket({.pid = 0x1FFF, .cc = cc}); }

TEST(PacketChain, FollowsCountersBothWaysAcrossWrapAndOtherPIDs) {
  // EIT chain: start (cc 14), other PID, wrong counter (skipped), 15, filler, 0.
  const Bytes file = test::Slots({MakePacket({.pid = 0x12, .pusi = true, .cc = 14, .payload = {0x00, 0x4E}}), Filler(),
                                  MakePacket({.pid = 0x12, .cc = 3}), MakePacket({.pid = 0x12, .cc = 15}), Filler(),
                                  MakePacket({.pid = 0x12, .cc = 0})});
  test::TempFile tmp(file);
  auto stream = TFileStream::Open(tmp.Path(), TFileStream::Mode::Read);
  ASSERT_TRUE(stream);
  EXPECT_EQ(FindNextPIDOffset188WithNextContinuityCounter(*stream, 0x12, 14, 0), 3 * 188);
  EXPECT_EQ(FindNextPIDOffset188WithNextContinuityCounter(*stream, 0x12, 15, 3 * 188), 5 * 188);  // the last packet
  EXPECT_EQ(FindNextPIDOffset188WithNextContinuityCounter(*stream, 0x12, 0, 5 * 188), -1);
  EXPECT_EQ(FindPreviousPIDOffset188WithPayloadStartFlag(*stream, 0x12, 0, 5 * 188), 0);

  TBigPSIParser big;
  int32_t tableId = 0;
  ASSERT_TRUE(big.GetTableID(*stream, tableId, 5 * 188));
  EXPECT_EQ(tableId, 0x4E);
  EXPECT_FALSE(big.GetTableID(*stream, tableId, 6 * 188));  // past the end
}

TEST(PacketChain, TableIdBehindAnAdaptationFieldAndStepsBySlotSize) {
  // Section start with afc 3 and adaptation_field_length 7: pointer_field at byte 12.
  Bytes start = MakePacket({.pid = 0x11,
                            .pusi = true,
                            .cc = 2,
                            .afc = 3,
                            .adaptation = {0, 0, 0, 0, 0, 0, 0},
                            .payload = {0x01, 0xEE, 0x46}});
  int32_t tableId = 0;
  ASSERT_TRUE(GetTableIDFromPacket(start.data(), tableId));
  EXPECT_EQ(tableId, 0x46);
  const Bytes file = test::Slots({start, Filler(), MakePacket({.pid = 0x11, .cc = 3})}, 204);
  test::TempFile tmp(file);
  auto stream = TFileStream::Open(tmp.Path(), TFileStream::Mode::Read);
  TBigPSIParser big;
  ASSERT_TRUE(big.GetTableID(*stream, tableId, 2 * 204, 204));
  EXPECT_EQ(tableId, 0x46);
}

// A section of the given length starting right after pointer_field 0.
Bytes SectionOf(int sectionLength) {
  Bytes section{0x02, static_cast<uint8_t>(0xB0 | (sectionLength >> 8)), static_cast<uint8_t>(sectionLength)};
  for (int i = 0; i < sectionLength; ++i) section.push_back(static_cast<uint8_t>(i));
  return section;
}

TEST(SectionGatherer, DecodesInPlaceOrGathersFromTheNextCounter) {
  TSectionBuffer buffer{};
  TMPEGTSBasePacketParser parser;
  auto accept = [](int32_t) { return true; };
  // 180 fits in a packet with pointer_field 0 (L = 183); 181 does not.
  for (int length : {180, 181}) {
    const Bytes section = SectionOf(length);
    Bytes first = MakePacket({.pid = 0x100, .pusi = true, .cc = 5, .payload = test::SectionPayload(section)});
    Bytes rest(section.begin() + 183, section.end());
    const Bytes file = test::Slots({first, MakePacket({.pid = 0x100, .cc = 9, .payload = {0xEE}}),
                                    MakePacket({.pid = 0x100, .cc = 6, .payload = rest})});
    test::TempFile tmp(file);
    auto stream = TFileStream::Open(tmp.Path(), TFileStream::Mode::Read);
    parser.ParseData(first.data(), 188);
    const TGatheredSection got = GatherSection(parser, stream.get(), 188, 0, accept, buffer);
    ASSERT_NE(got.data, nullptr) << length;
    ASSERT_EQ(got.available, 3 + length);
    EXPECT_EQ(Bytes(got.data, got.data + got.available), section) << length;
    EXPECT_EQ(got.data == buffer.data(), length == 181);
  }
}

TEST(SectionGatherer, SectionHeaderSplitAcrossPackets) {
  // pointer_field 181 leaves two section bytes in the first packet: the
  // section_length byte comes from the next packet of the PID.
  const Bytes section = SectionOf(20);
  Bytes payload(1 + 181, 0xAA);
  payload[0] = 181;
  payload.push_back(section[0]);
  payload.push_back(section[1]);
  Bytes first = MakePacket({.pid = 0x100, .pusi = true, .cc = 1, .payload = payload});
  const Bytes rest(section.begin() + 2, section.end());
  test::TempFile tmp(test::Slots({first, MakePacket({.pid = 0x100, .cc = 2, .payload = rest})}));
  auto stream = TFileStream::Open(tmp.Path(), TFileStream::Mode::Read);
  TSectionBuffer buffer{};
  TMPEGTSBasePacketParser parser;
  parser.ParseData(first.data(), 188);
  const TGatheredSection got = GatherSection(
      parser, stream.get(), 188, 0, [](int32_t) { return true; }, buffer);
  ASSERT_NE(got.data, nullptr);
  EXPECT_EQ(Bytes(got.data, got.data + got.available), section);
}

// A pointer_field that points past the packet never reads outside it.
TEST(SectionGatherer, APointerFieldPastThePacketGathersNothing) {
  Bytes lying = MakePacket({.pid = 0x100, .pusi = true, .payload = {0xFF, 0x02, 0xB0, 0x10}});
  test::TempFile tmp(test::Slots({lying, Filler(), Filler()}));
  auto stream = TFileStream::Open(tmp.Path(), TFileStream::Mode::Read);
  TSectionBuffer buffer{};
  TMPEGTSBasePacketParser parser;
  parser.ParseData(lying.data(), 188);
  const TGatheredSection got = GatherSection(
      parser, stream.get(), 188, 0, [](int32_t) { return true; }, buffer);
  EXPECT_EQ(got.pointer_field, 0xFF);
  EXPECT_EQ(got.data, nullptr);
}

}  // namespace
}  // namespace tessaro
