// Bit reader, CRC-32, byte buffer and stream type detection.
#include <gtest/gtest.h>

#include "core/BitStream.h"
#include "core/Buffer.h"
#include "core/Crc32.h"
#include "core/PacketSizeProbe.h"
#include "core/TextHelpers.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

// The widest reads; narrow fields are read in every decode tree test.
TEST(BitStream, WideReadsKeepEveryBitAcrossBytes) {
  const uint8_t five[] = {0x01, 0x23, 0x45, 0x67, 0x89};
  TBitStream4 forty;
  ASSERT_EQ(forty.SetData(five, 5), S_OK);
  EXPECT_EQ(forty.GetBits40(), 0x0123456789ull);

  // A read that straddles five bytes at a bit offset keeps every bit.
  TBitStream4 odd;
  odd.SetData(five, 5);
  odd.GetBits(4);
  EXPECT_EQ(odd.GetBits(32), 0x12345678u);
}

TEST(BitStream, RunsPastTheEndOnZerosThenRefuses) {
  const uint8_t one[] = {0xFF};
  TBitStream4 bits;
  bits.SetData(one, 1);
  EXPECT_EQ(bits.GetBits8(), 0xFFu);
  EXPECT_EQ(bits.GetBits16(), 0u);  // allowed: BitsLeft 0 >= 16 - 32
  EXPECT_EQ(bits.BitsLeft, -16);
  EXPECT_EQ(bits.Error, 0);
  EXPECT_EQ(bits.GetBits(20), 0u);  // refused
  EXPECT_EQ(bits.Error, -1);
  EXPECT_EQ(bits.BitsLeft, -16);
  bits.SkipBytes(100);  // refused too, nothing moves
  EXPECT_EQ(bits.BytePos, 3);
  EXPECT_EQ(bits.GetCurrentPointer(), one + 1);

  TBitStream4 empty;
  EXPECT_EQ(empty.SetData(one, 0), E_FAIL);
  EXPECT_EQ(empty.SetData(nullptr, 4), E_FAIL);
  EXPECT_EQ(empty.GetBits8(), 0u);  // no data: reads are zero, never a crash
}

TEST(Crc32, MatchesTheMpeg2CheckValueAndClosesSections) {
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(CalcCRC32(digits, 9), 0x0376E6E7u);
  EXPECT_EQ(CalcCRC32(digits, 0), 0xFFFFFFFFu);
  EXPECT_EQ(SwapBytes32(0x11223344u), 0x44332211u);
}

TEST(Buffer, GrowsKeepsUnreadDataAndEmptiesOnReadOffsetPastEnd) {
  TBuffer buffer(5120, 0);
  std::vector<uint8_t> data(6000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  buffer.Append(data.data(), 6000);
  EXPECT_EQ(buffer.GetDataSize(), 6000);
  buffer.SetReadOffset(100);
  EXPECT_EQ(buffer.GetData()[0], 100);
  buffer.Compact();
  EXPECT_EQ(buffer.GetDataSize(), 5900);
  EXPECT_EQ(buffer.GetData()[0], 100);
  buffer.SetReadOffset(5900);
  EXPECT_EQ(buffer.GetDataSize(), 0);

  TBuffer none(0, -5);  // no memory yet; the first append allocates
  none.Append(data.data(), 10);
  EXPECT_EQ(none.GetDataSize(), 10);
  EXPECT_EQ(none.GetData()[9], 9);
}

TEST(TextHelpers, ClockTimesCutTowardZeroWithoutLosingAHundredth) {
  EXPECT_EQ(SecondsToTimeStr(129600 / 90000.0), "00:00:01.44");  // exactly 1.44 s
  EXPECT_EQ(SecondsToTimeStr(129599 / 90000.0), "00:00:01.43");
  EXPECT_EQ(SecondsToTimeStr(8589934591 / 90000.0), "26:30:43.71");  // the largest 33-bit value
  EXPECT_EQ(SecondsToTimeStr(0.999999999), "00:00:00.99");
}

TEST(StreamType, FindsSizeAndFirstSyncByte) {
  using test::Bytes;
  auto stream = [](int slot, int lead, int packets) {
    Bytes out(static_cast<size_t>(lead), 0x00);
    for (int i = 0; i < packets; ++i) {
      Bytes packet = test::MakePacket({});
      out.insert(out.end(), packet.begin(), packet.end());
      out.resize(out.size() + static_cast<size_t>(slot - 188), 0x00);
    }
    return out;
  };
  int32_t size = 0, offset = 0;
  for (int slot : {188, 192, 196, 204, 212}) {
    const Bytes s = stream(slot, 7, 4);
    ASSERT_TRUE(GetTSStreamType(s.data(), static_cast<int64_t>(s.size()), size, offset)) << slot;
    EXPECT_EQ(size, slot);
    EXPECT_EQ(offset, 7);
  }
  // 204-byte slots whose first packet also has 0x47 at +188 and +376 read as 188.
  Bytes lookalike = stream(204, 0, 4);
  lookalike[188] = 0x47;
  lookalike[376] = 0x47;
  ASSERT_TRUE(GetTSStreamType(lookalike.data(), static_cast<int64_t>(lookalike.size()), size, offset));
  EXPECT_EQ(size, 188);

  // 376 bytes or fewer are never accepted, even two whole packets.
  const Bytes two = stream(188, 0, 2);
  EXPECT_FALSE(GetTSStreamType(two.data(), 376, size, offset));
  const Bytes noise(3072, 0x47 ^ 0x01);
  EXPECT_FALSE(GetTSStreamType(noise.data(), static_cast<int64_t>(noise.size()), size, offset));
}

TEST(StreamType, IsTSReportsFilesItCannotUse) {
  test::DebugCapture capture;
  int32_t size = 0, offset = 0;
  EXPECT_FALSE(IsTS("/nonexistent/file.ts", size, offset));
  EXPECT_TRUE(capture.Contains("zrk: Error in IsTS call - cannot open file."));
  test::TempFile empty({});
  EXPECT_FALSE(IsTS(empty.Path(), size, offset));
  EXPECT_TRUE(capture.Contains("zrk: Error in IsTS call - cannot read file."));
}

}  // namespace
}  // namespace tessaro
