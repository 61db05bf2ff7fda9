// TMPTS2SPTS: its refusals, and a PAT over two packets with the counters of
// the rebuilt copies wrapping. What it makes of whole fixtures, 192-byte
// slots included, is ExtractionTest.ExtractProgramIsOneProgramAsAnIndependentReaderSeesIt's
// (the bytes ffprobe read as one program).
#include <gtest/gtest.h>

#include "extract/MPTS2SPTS.h"
#include "support/Builders.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;

TEST(ProgramConverter, RefusesWithOneLineEach) {
  test::DebugCapture capture;
  TMPTS2SPTS converter(1);
  const uint8_t byte = 0x47;
  EXPECT_FALSE(converter.AddData(&byte, 1));
  EXPECT_FALSE(converter.SetPMTPID(0));
  EXPECT_FALSE(converter.SetPMTPID(8191));
  EXPECT_TRUE(converter.SetPMTPID(0x1000));
  EXPECT_FALSE(converter.SetPMTPID(0x1000));
  EXPECT_FALSE(converter.AddESPID(8191));
  EXPECT_TRUE(converter.AddESPID(0x100));
  EXPECT_FALSE(converter.AddESPID(0x100));
  EXPECT_FALSE(converter.AddESPID(0x1000));
  EXPECT_FALSE(converter.SetProgramNum(0));
  EXPECT_FALSE(converter.SetProgramNum(65536));
  EXPECT_TRUE(converter.SetProgramNum(65535));
  EXPECT_TRUE(converter.Prepare());
  EXPECT_FALSE(converter.Prepare());
  EXPECT_FALSE(converter.SetPMTPID(0x1001));
  EXPECT_FALSE(converter.AddESPID(0x101));
  EXPECT_FALSE(converter.SetProgramNum(2));
  EXPECT_EQ(capture.Lines(), (std::vector<std::string>{
                                 "zrk: Error in TMPTS2SPTS.AddData - not prepared.",
                                 "zrk: Error in TMPTS2SPTS.SetPMTPID - invalid PID.",
                                 "zrk: Error in TMPTS2SPTS.SetPMTPID - invalid PID.",
                                 "zrk: Error in TMPTS2SPTS.SetPMTPID - trying to add existing PID.",
                                 "zrk: Error in TMPTS2SPTS.AddESPID  - invalid PID.",
                                 "zrk: Error in TMPTS2SPTS.AddESPID - trying to add existing PID.",
                                 "zrk: Error in TMPTS2SPTS.AddESPID - trying to add existing PID.",
                                 "zrk: Error in TMPTS2SPTS.SetProgramNum - invalid Program Number.",
                                 "zrk: Error in TMPTS2SPTS.SetProgramNum - invalid Program Number.",
                                 "zrk: Error in TMPTS2SPTS.Prepare - already prepared.",
                                 "zrk: Error in TMPTS2SPTS.SetPMTPID - prapared.",
                                 "zrk: Error in TMPTS2SPTS.AddESPID - prapared.",
                                 "zrk: Error in TMPTS2SPTS.SetProgramNum - prapared.",
                             }));
}

struct TConverted {
  std::vector<Bytes> slots;  // each slot passed on, in order
};

TConverted Convert(const Bytes& input, int32_t type, int32_t pmt, int32_t program, const std::vector<int32_t>& es) {
  TMPTS2SPTS converter(type);
  converter.SetPMTPID(pmt);
  converter.SetProgramNum(program);
  for (int32_t pid : es) converter.AddESPID(pid);
  EXPECT_TRUE(converter.Prepare());
  TConverted out;
  converter.SetOnSendData([&](const uint8_t* slot, int32_t length) {
    out.slots.emplace_back(slot, slot + length);
    return 0;
  });
  for (size_t at = 0; at < input.size(); at += 102400)
    converter.AddData(input.data() + at, static_cast<int32_t>(std::min<size_t>(102400, input.size() - at)));
  converter.Flush();
  return out;
}

// The rebuilt PAT of slot (sync byte at `at`): one program, counter cc, valid CRC.
void ExpectOneProgramPAT(const Bytes& slot, size_t at, int program, int pmt, int cc) {
  const uint8_t* p = slot.data() + at;
  ASSERT_EQ(p[0], 0x47);
  EXPECT_EQ(p[3], 0x10 | cc);
  EXPECT_EQ(Bytes(p + 5, p + 21), test::PATSection(1, {{uint16_t(program), uint16_t(pmt)}}));
}

TEST(ProgramConverter, APATOverTwoPacketsBecomesTwoCopiesAndCountersWrap) {
  const Bytes pmt = test::MakePacket({.pid = 0x1000, .pusi = true});
  std::vector<Bytes> packets{test::MakePacket({.pid = 0, .pusi = true}), test::MakePacket({.pid = 0}), pmt,
                             test::MakePacket({.pid = 0x200}), test::MakePacket({.pid = 0x1FFF})};
  for (int i = 0; i < 16; ++i) packets.push_back(test::MakePacket({.pid = 0, .pusi = true}));
  const TConverted out = Convert(test::Slots(packets), 1, 0x1000, 65535, {});
  ASSERT_EQ(out.slots.size(), 19u);
  ExpectOneProgramPAT(out.slots[0], 0, 65535, 0x1000, 2);
  ExpectOneProgramPAT(out.slots[1], 0, 65535, 0x1000, 3);
  EXPECT_EQ(out.slots[2], pmt);
  for (size_t i = 3; i < out.slots.size(); ++i) ExpectOneProgramPAT(out.slots[i], 0, 65535, 0x1000, (i + 1) % 16);
}

}  // namespace
}  // namespace tessaro
