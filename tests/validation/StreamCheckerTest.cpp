// The TR 101 290 checks: the fault streams of the fixture script each yield
// exactly their findings and a clean stream none; the continuity, table,
// scrambling, clock and limit rules on crafted packets; the cap on repeated
// findings; gaps found where their limits ran out; switched-off checks; and
// the module running the same checks through the contract with its stored
// settings.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <thread>

#include "core/Crc32.h"
#include "core/FileStream.h"
#include "support/TestSupport.h"
#include "validation/MediaValidation.h"
#include "validation/ReportNames.h"
#include "validation/StreamChecker.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::MakePacket;

struct TRun {
  std::vector<std::string> findings;  // "Error: ..." and "Warning: ...", in order
  std::string summary;
  std::array<int64_t, kIndicatorCount> counts{};
  int64_t Count(TIndicator indicator) const { return counts[static_cast<size_t>(indicator)]; }
  // The findings of one indicator.
  std::vector<std::string> Of(TIndicator indicator) const {
    std::vector<std::string> of;
    for (const std::string& f : findings)
      if (f.find(std::string(": ") + IndicatorName(indicator) + ":") != std::string::npos) of.push_back(f);
    return of;
  }
};

TRun Check(const std::string& path, const TCheckSettings& settings = {}, int32_t packetSize = 188) {
  TRun run;
  auto stream = TFileStream::Open(path, TFileStream::Mode::Read);
  EXPECT_TRUE(stream) << path;
  if (!stream) return run;
  TStreamChecker checker(settings, [&](int32_t type, const std::string& message) {
    if (type == kReportInfo) {
      EXPECT_TRUE(run.summary.empty()) << "a second Info report: " << message;
      run.summary = message;
    } else {
      EXPECT_TRUE(run.summary.empty()) << "a finding after the summary: " << message;
      run.findings.push_back(ReportTypeName(type) + ": " + message);
    }
  });
  TPacketScanner scanner(64 * 1024);
  checker.Check(*stream, packetSize, 0, scanner);
  for (int i = 0; i < kIndicatorCount; ++i)
    run.counts[static_cast<size_t>(i)] = checker.Count(static_cast<TIndicator>(i));
  return run;
}

TRun Check(const Bytes& bytes, const TCheckSettings& settings = {}) {
  const test::TempFile file(bytes);
  return Check(file.Path(), settings);
}

// "offset 0x..." of packet k of a 188-byte stream.
std::string At(int64_t k) {
  char text[40];
  std::snprintf(text, sizeof text, "offset 0x%016llX", static_cast<unsigned long long>(k * 188));
  return text;
}

// " at HH:MM:SS.mmm" of packet k of the SI streams: 19.5 ms a packet, from packet 0 with the first PCR.
std::string SITime(int64_t k) {
  const int64_t ms = k * 195 / 10;
  char text[40];
  std::snprintf(text, sizeof text, " at 00:%02lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
  return text;
}

// An Error finding of an SI stream: indicator, "PID 0xXXXX, " or nothing, packet k, what was found.
std::string SIError(const std::string& indicator, const std::string& pid, int64_t k, const std::string& detail) {
  return "Error: " + indicator + ": " + pid + At(k) + ", " + detail + SITime(k);
}

Bytes Section(Bytes head, const Bytes& body) {
  head.insert(head.end(), body.begin(), body.end());
  return test::WithSectionLengthAndCrc(std::move(head));
}

TEST(StreamChecker, FaultStreamsYieldExactlyTheirFindings) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
      {"fault-cc-gap.ts",
       {"Error: Continuity_count_error: PID 0x0101, " + At(305) + ", expected 10, found 11 at 00:00:00.597"}},
      {"fault-duplicate.ts", {}},
      {"fault-pat-crc.ts",
       {"Error: CRC_error: PID 0x0000, " + At(153) +
        ", PAT section (table_id 0x00): CRC_32 0x2AB104B3, computed 0x2AB104B2 at 00:00:00.296"}},
      // The PAT of packet 353 ends the gap; the limit ran out at packet 304,
      // 0.5007 s after the PAT of packet 51.
      {"fault-pat-gap.ts",
       {"Error: PAT_error: PID 0x0000, " + At(304) + ", no PAT section for 0.598 s (limit 0.5 s) at 00:00:00.595"}},
      {"fault-pid-missing.ts",
       {"Error: PID_error: PID 0x0102, " + At(2) + ", named by the PMT on PID 0x1000 and never present"}},
      {"fault-sync.ts",
       {"Error: Sync_byte_error: " + At(7) + ", sync_byte 0x00 at 00:00:00.007",
        "Error: Sync_byte_error: " + At(114) + ", sync_byte 0x00 at 00:00:00.219",
        "Error: Sync_byte_error: " + At(115) + ", sync_byte 0x00 at 00:00:00.221",
        "Error: TS_sync_loss: " + At(114) + ", sync regained at " + At(117) + " after 564 bytes at 00:00:00.219"}},
      // 59.368 ms: the PCRs of packets 11 and 41, 19490874 and 21093821 ticks of 27 MHz.
      {"fault-pcr-gap.ts",
       {"Error: PCR_repetition_error: PID 0x0100, " + At(41) +
        ", 59.368 ms since the last PCR (limit 40 ms) at 00:00:00.075"}},
      // 27 ticks late; its neighbours move by 12.6 and 12.8 ticks, within the 13.5 of 500 ns.
      {"fault-pcr-accuracy.ts",
       {"Error: PCR_accuracy_error: PID 0x0100, " + At(395) +
        ", PCR +1000 ns from the value its neighbours predict (limit 500 ns) at 00:00:00.775"}},
      // The SI streams: packet k at 19.5 ms * k. A limit runs out at the first
      // packet past it, and SI_repetition_error comes besides the table's own.
      {"fault-nit-gap.ts",
       {SIError("NIT_actual_error", "", 538,
                "no NIT actual section (table_id 0x40) on PID 0x0010 within 10 s of the last at " + At(25)),
        SIError("SI_repetition_error", "", 538,
                "no NIT actual section 0 (table_id 0x40, table_id_extension 0x0001) on PID 0x0010 within 10 s of "
                "the last at " +
                    At(25))}},
      {"fault-sdt-gap.ts",
       {SIError("SDT_actual_error", "", 112,
                "no SDT actual section (table_id 0x42) on PID 0x0011 within 2 s of the last at " + At(9)),
        SIError("SI_repetition_error", "", 112,
                "no SDT actual section 0 (table_id 0x42, table_id_extension 0x0001) on PID 0x0011 within 2 s of "
                "the last at " +
                    At(9))}},
      {"fault-eit-gap.ts",
       {SIError("EIT_actual_error", "", 116,
                "no EIT actual present/following section 0 (table_id 0x4E) on PID 0x0012 within 2 s of the last at " +
                    At(13)),
        SIError("SI_repetition_error", "", 116,
                "no EIT actual present/following section 0 (table_id 0x4E, table_id_extension 0x0001) on PID "
                "0x0012 within 2 s of the last at " +
                    At(13)),
        SIError("EIT_actual_error", "", 120,
                "no EIT actual present/following section 1 (table_id 0x4E) on PID 0x0012 within 2 s of the last at " +
                    At(17)),
        SIError("SI_repetition_error", "", 120,
                "no EIT actual present/following section 1 (table_id 0x4E, table_id_extension 0x0001) on PID "
                "0x0012 within 2 s of the last at " +
                    At(17))}},
      // The TDT of packet 1 comes before the clock's second PCR, at stream time 0.
      {"fault-tdt-gap.ts",
       {SIError("TDT_error", "", 1539,
                "no TDT section (table_id 0x70) on PID 0x0014 within 30 s of the last at " + At(1)),
        SIError("SI_repetition_error", "", 1539,
                "no TDT section (table_id 0x70) on PID 0x0014 within 30 s of the last at " + At(1))}},
      {"fault-si-fast.ts",
       {SIError("SDT_actual_error", "PID 0x0011, ", 109,
                "SDT actual section (table_id 0x42) 0.0 ms after the one before it (least 25 ms)"),
        SIError("SI_repetition_error", "PID 0x0011, ", 109,
                "SDT actual section (table_id 0x42) 0.0 ms after the one before it (least 25 ms)")}},
      {"fault-unreferenced-pid.ts",
       {SIError("Unreferenced_PID", "PID 0x0200, ", 91,
                "not named by a PMT or the CAT within 0.5 s of its first packet at " + At(41))}},
      {"fault-rst-table.ts", {SIError("RST_error", "PID 0x0013, ", 91, "table_id 0x70 on PID 0x0013")}},
  };
  for (const auto& [name, expected] : cases) {
    const TRun run = Check(test::TestDataPath(name));
    EXPECT_EQ(run.findings, expected) << name;
    EXPECT_EQ(run.summary.rfind("Summary: TS_sync_loss ", 0), 0u) << name;
  }
  EXPECT_EQ(Check(test::TestDataPath("fault-cc-gap.ts")).summary,
            "Summary: TS_sync_loss 0, Sync_byte_error 0, PAT_error 0, Continuity_count_error 1, PMT_error 0, "
            "PID_error 0, Transport_error 0, CRC_error 0, PCR_repetition_error 0, "
            "PCR_discontinuity_indicator_error 0, PCR_accuracy_error 0, PTS_error 0, CAT_error 0, NIT_actual_error 0, "
            "NIT_other_error 0, SI_repetition_error 0, Unreferenced_PID 0, SDT_actual_error 0, SDT_other_error 0, "
            "EIT_actual_error 0, EIT_other_error 0, EIT_PF_error 0, RST_error 0, TDT_error 0; 613 packets in 115244 "
            "bytes");
}

TEST(StreamChecker, CleanStreamsYieldNoFinding) {
  for (const auto& [name, slot] : std::vector<std::pair<std::string, int>>{
           {"one-program.ts", 188}, {"slots-192.ts", 192}, {"slots-204.ts", 204}, {"si-clean.ts", 188}}) {
    const TRun run = Check(test::TestDataPath(name), {}, slot);
    EXPECT_EQ(run.findings, std::vector<std::string>{}) << name;
    EXPECT_NE(run.summary.find("Continuity_count_error 0,"), std::string::npos) << name;
  }
}

// One duplicate is allowed, a third copy is not; packets without payload,
// null packets and a signalled discontinuity do not count; a packet flagged
// with transport_error_indicator is passed over.
TEST(StreamChecker, ContinuityCounterRules) {
  const auto video = [](uint8_t cc) { return MakePacket({.pid = 0x100, .cc = cc}); };
  Bytes flagged = video(0);
  flagged[1] |= 0x80;
  const std::vector<Bytes> packets{
      video(0),
      video(1),
      video(1),
      video(2),
      video(2),
      video(2),
      video(3),
      MakePacket({.pid = 0x100, .cc = 9, .afc = 2, .adaptation = {0x00}, .adaptationLength = 183}),
      MakePacket({.pid = 0x1FFF, .cc = 5}),
      video(4),
      MakePacket({.pid = 0x100, .cc = 12, .afc = 3, .adaptation = {0x80}}),
      video(13),
      MakePacket({.pid = 0x1FFF, .cc = 9}),
      video(15),
      flagged,
      video(0),
  };
  const TRun run = Check(test::Slots(packets));
  EXPECT_EQ(
      run.Of(TIndicator::Continuity_count_error),
      (std::vector<std::string>{"Error: Continuity_count_error: PID 0x0100, " + At(5) + ", expected 3, found 2",
                                "Error: Continuity_count_error: PID 0x0100, " + At(13) + ", expected 14, found 15"}));
  EXPECT_EQ(run.Of(TIndicator::Transport_error), std::vector<std::string>{"Error: Transport_error: PID 0x0100, " +
                                                                          At(14) + ", transport_error_indicator set"});
  // No PCR, no PAT.
  EXPECT_EQ(run.Of(TIndicator::PAT_error),
            std::vector<std::string>{"Error: PAT_error: PID 0x0000, " + At(0) + ", no PAT section in the stream"});
  EXPECT_EQ(run.findings.back(),
            "Warning: No PCR in the stream: PAT, PMT, PID, PTS and SI table intervals were not measured.");
  EXPECT_NE(run.summary.find("; 16 packets in 3008 bytes; 1 packets with transport_error_indicator set"),
            std::string::npos);
}

TEST(StreamChecker, TablesOnTheirPIDsCRCsAndScrambling) {
  const Bytes pat = Section({0x00, 0xB0, 0, 0x00, 0x01, 0xC1, 0, 0}, {0x00, 0x01, 0xF0, 0x00});
  const Bytes pmt =
      Section({0x02, 0xB0, 0, 0x00, 0x01, 0xC1, 0, 0}, {0xE1, 0x00, 0xF0, 0x00, 0x02, 0xE1, 0x00, 0xF0, 0x00});
  Bytes badCat = Section({0x01, 0xB0, 0, 0xFF, 0xFF, 0xC1, 0, 0}, {});
  badCat.back() ^= 0xFF;
  // An SDT longer than a packet, whole across two of them, and one whose second packet is lost.
  const Bytes sdt = Section({0x42, 0xF0, 0, 0x00, 0x01, 0xC1, 0, 0, 0x00, 0x01, 0xFF}, Bytes(300, 0x20));
  const Bytes sdtPayload = test::SectionPayload(sdt);
  const Bytes first(sdtPayload.begin(), sdtPayload.begin() + 184);
  const Bytes rest(sdtPayload.begin() + 184, sdtPayload.end());
  Bytes scrambledPAT = MakePacket({.pid = 0, .pusi = true, .cc = 2, .payload = test::SectionPayload(pat)});
  scrambledPAT[3] |= 0x80;
  const std::vector<Bytes> packets{
      MakePacket({.pid = 0, .pusi = true, .cc = 0, .payload = test::SectionPayload(pat)}),
      MakePacket({.pid = 0x1000, .pusi = true, .cc = 0, .payload = test::SectionPayload(pmt)}),
      MakePacket({.pid = 0, .pusi = true, .cc = 1, .payload = test::SectionPayload(pmt)}),
      MakePacket({.pid = 1, .pusi = true, .cc = 0, .payload = test::SectionPayload(pat)}),
      MakePacket({.pid = 1, .pusi = true, .cc = 1, .payload = test::SectionPayload(badCat)}),
      MakePacket({.pid = 0x11, .pusi = true, .cc = 0, .payload = first}),
      MakePacket({.pid = 0x11, .cc = 1, .payload = rest}),
      MakePacket({.pid = 0x11, .pusi = true, .cc = 2, .payload = first}),
      MakePacket({.pid = 0x11, .cc = 4, .payload = rest}),
      scrambledPAT,
      MakePacket({.pid = 0x100, .cc = 0}),
  };
  const TRun run = Check(test::Slots(packets));
  EXPECT_EQ(run.Of(TIndicator::PAT_error),
            (std::vector<std::string>{
                "Error: PAT_error: PID 0x0000, " + At(2) + ", table_id 0x02 on PID 0x0000",
                "Error: PAT_error: PID 0x0000, " + At(9) + ", transport_scrambling_control 2 on PID 0x0000"}));
  EXPECT_EQ(run.Of(TIndicator::CAT_error),
            std::vector<std::string>{"Error: CAT_error: PID 0x0001, " + At(3) + ", table_id 0x00 on PID 0x0001"});
  const std::vector<std::string> crc = run.Of(TIndicator::CRC_error);
  ASSERT_EQ(crc.size(), 1u);
  EXPECT_EQ(crc[0].rfind("Error: CRC_error: PID 0x0001, " + At(4) + ", CAT section (table_id 0x01): CRC_32 0x", 0), 0u);
  EXPECT_EQ(run.Of(TIndicator::Continuity_count_error),
            std::vector<std::string>{"Error: Continuity_count_error: PID 0x0011, " + At(8) + ", expected 3, found 4"});
  // A CAT with a wrong CRC_32 is still a CAT, so scrambling here wants none;
  // without one, it does.
  const TRun noCAT = Check(test::Slots({packets[0], packets[1], scrambledPAT}));
  EXPECT_EQ(noCAT.Of(TIndicator::CAT_error),
            std::vector<std::string>{"Error: CAT_error: " + At(2) +
                                     ", scrambled packets (the first on PID 0x0000) and no CAT section"});
}

// The stream twice: the PCR goes back where the copies meet, which only a
// discontinuity_indicator allows (and then the counter may jump too).
TEST(StreamChecker, PCRDiscontinuityAndPTSLimit) {
  const Bytes one = test::ReadFileBytes(test::TestDataPath("one-program.ts"));
  Bytes twice = one;
  twice.insert(twice.end(), one.begin(), one.end());
  const TRun joined = Check(twice);
  const std::vector<std::string> jumps = joined.Of(TIndicator::PCR_discontinuity_indicator_error);
  ASSERT_EQ(jumps.size(), 1u);
  EXPECT_EQ(jumps[0].rfind(
                "Error: PCR_discontinuity_indicator_error: PID 0x0100, " + At(613 + 3) + ", PCR moves by -1195.", 0),
            0u)
      << jumps[0];
  EXPECT_EQ(joined.Count(TIndicator::PCR_repetition_error), 0);
  EXPECT_EQ(joined.Count(TIndicator::PTS_error), 0);

  twice[(613 + 3) * 188 + 5] |= 0x80;  // discontinuity_indicator in the first PCR packet of the second copy
  const TRun signalled = Check(twice);
  EXPECT_EQ(signalled.Count(TIndicator::PCR_discontinuity_indicator_error), 0);
  for (const std::string& f : signalled.Of(TIndicator::Continuity_count_error))
    EXPECT_EQ(f.find("PID 0x0100"), std::string::npos) << f;

  // Video and audio carry a PTS every 24 to 40 ms: a 20 ms limit finds gaps on both.
  TCheckSettings tight;
  tight.ptsRepetitionLimit = 0.020;
  const TRun pts = Check(test::TestDataPath("one-program.ts"), tight);
  ASSERT_GT(pts.Count(TIndicator::PTS_error), 10);
  bool video = false;
  bool audio = false;
  for (const std::string& f : pts.Of(TIndicator::PTS_error)) {
    video = video || f.find("PID 0x0100") != std::string::npos;
    audio = audio || f.find("PID 0x0101") != std::string::npos;
    EXPECT_NE(f.find("since the last PTS (limit 20 ms)"), std::string::npos) << f;
  }
  EXPECT_TRUE(video && audio);
}

// Every packet a counter error: 1,000 reported, one Warning, every one counted.
TEST(StreamChecker, AFaultAllTheWayThroughIsReportedAThousandTimesAndCounted) {
  std::vector<Bytes> packets;
  for (int i = 0; i < 2500; ++i)
    packets.push_back(MakePacket({.pid = 0x200, .cc = static_cast<uint8_t>((2 * i) & 15)}));
  const TRun run = Check(test::Slots(packets));
  const std::vector<std::string> cc = run.Of(TIndicator::Continuity_count_error);
  ASSERT_EQ(cc.size(), 1001u);
  EXPECT_EQ(cc[999], "Error: Continuity_count_error: PID 0x0200, " + At(1000) + ", expected 15, found 0");
  EXPECT_EQ(cc[1000], "Warning: Continuity_count_error: PID 0x0200, " + At(1001) +
                          ", 1000 findings reported; further ones are only counted");
  EXPECT_EQ(run.Count(TIndicator::Continuity_count_error), 2499);

  // The limit of the whole run holds across PIDs and indicators.
  TCheckSettings few;
  few.findingsPerRun = 3;
  packets.insert(packets.begin() + 1, MakePacket({.pid = 0x300, .cc = 0}));
  packets.insert(packets.begin() + 2, MakePacket({.pid = 0x300, .cc = 5}));
  const TRun capped = Check(test::Slots(packets), few);
  ASSERT_EQ(capped.findings.size(), 5u);  // three, the Warning, and the one about the PCR
  EXPECT_EQ(capped.findings[3],
            "Warning: Continuity_count_error: PID 0x0200, " + At(5) +
                ", 3 findings reported in this run; further ones of every indicator are only counted");
  EXPECT_EQ(capped.Count(TIndicator::Continuity_count_error), 2500);
}

TEST(StreamChecker, SecondPriorityChecksCanBeSwitchedOffOrGivenOtherLimits) {
  const std::string gap = test::TestDataPath("fault-pcr-gap.ts");
  TCheckSettings off;
  off.enabled[static_cast<size_t>(TIndicator::PCR_repetition_error)] = false;
  // First-priority checks cannot be switched off.
  off.enabled[static_cast<size_t>(TIndicator::Sync_byte_error)] = false;
  const TRun run = Check(gap, off);
  EXPECT_EQ(run.findings, std::vector<std::string>{});
  EXPECT_NE(run.summary.find("PCR_repetition_error off,"), std::string::npos);
  EXPECT_NE(run.summary.find("Sync_byte_error 0,"), std::string::npos);
  TCheckSettings wider;
  wider.pcrRepetitionLimit = 0.060;
  EXPECT_EQ(Check(gap, wider).findings, std::vector<std::string>{});
  EXPECT_EQ(Check(test::TestDataPath("fault-sync.ts"), off).Count(TIndicator::Sync_byte_error), 3);
}

// si-clean.ts with some of its table packets replaced (each PID keeping its
// counter): tables on the wrong SI PIDs, a present/following sub-table without
// section 1, and a NIT of another network that is not sent again. The third
// priority switched off as a whole finds none of it.
TEST(StreamChecker, ThirdPriorityRulesOnCraftedSections) {
  Bytes stream = test::ReadFileBytes(test::TestDataPath("si-clean.ts"));
  const auto replace = [&](int64_t k, uint16_t pid, const Bytes& section) {
    const uint8_t cc = stream[static_cast<size_t>(k * 188 + 3)] & 0x0F;
    const Bytes packet = MakePacket({.pid = pid, .pusi = true, .cc = cc, .payload = test::SectionPayload(section)});
    std::copy(packet.begin(), packet.end(), stream.begin() + k * 188);
  };
  const Bytes tdt{0x70, 0x70, 0x05, 0xEA, 0x60, 0x12, 0x00, 0x00};
  const Bytes sdt = Section({0x42, 0xF0, 0, 0x00, 0x01, 0xC1, 0, 0, 0x00, 0x01, 0xFF}, {});
  replace(75, 0x10, Section({0x41, 0xF0, 0, 0x00, 0x02, 0xC1, 0, 0}, {0xF0, 0x00, 0xF0, 0x00}));
  replace(151, 0x14, sdt);
  replace(159, 0x11, Section({0x40, 0xF0, 0, 0x00, 0x01, 0xC1, 0, 0}, {0xF0, 0x00, 0xF0, 0x00}));
  replace(163, 0x12, tdt);
  replace(175, 0x10, sdt);
  replace(313, 0x12, Section({0x4E, 0xF0, 0, 0x00, 0x01, 0xC1, 0, 0}, {0, 1, 0, 1, 0, 0x4E}));
  const std::string nitOther =
      "no NIT other section 0 (table_id 0x41, table_id_extension 0x0002) on PID 0x0010 within 10 s of the last at " +
      At(75);
  EXPECT_EQ(Check(stream).findings,
            (std::vector<std::string>{
                SIError("TDT_error", "PID 0x0014, ", 151, "table_id 0x42 on PID 0x0014"),
                SIError("SDT_actual_error", "PID 0x0011, ", 159, "table_id 0x40 on PID 0x0011"),
                SIError("EIT_actual_error", "PID 0x0012, ", 163, "table_id 0x70 on PID 0x0012"),
                SIError("NIT_actual_error", "PID 0x0010, ", 175, "table_id 0x42 on PID 0x0010"),
                SIError("EIT_PF_error", "PID 0x0012, ", 313,
                        "EIT actual present/following sub-table (table_id 0x4E, service_id 0x0001) without section 1 "
                        "(last_section_number 0)"),
                SIError("NIT_other_error", "", 588, nitOther),
                SIError("SI_repetition_error", "", 588, nitOther),
            }));
  TCheckSettings off;
  off.thirdPriority = false;
  const TRun run = Check(stream, off);
  EXPECT_EQ(run.findings, std::vector<std::string>{});
  EXPECT_NE(run.summary.find("CAT_error 0, NIT_actual_error off, "), std::string::npos) << run.summary;
  EXPECT_NE(run.summary.find("RST_error off, TDT_error off;"), std::string::npos) << run.summary;
}

// A program whose PAT (every 50 packets), PMT (every 50) and audio (every 5)
// stop after packets 200, 401 and 602 and come back at packet 1200, or never.
// Packets last 0.75 ms, but 0.25 ms from the PCR of packet 863 to the next: a
// limit the rate before foresees there runs out later. Each finding keeps its
// text and is at the first packet whose PCR time is past the limit.
TEST(StreamChecker, GapsAreFoundWhereTheirLimitRanOut) {
  std::vector<int64_t> us{-2250};  // each packet's time in microseconds from the first PCR (packet 3)
  for (int k = 1; k < 1600; ++k) us.push_back(us.back() + (k - 1 >= 863 && k - 1 < 873 ? 250 : 750));
  const Bytes pat = Section({0x00, 0xB0, 0, 0x00, 0x01, 0xC1, 0, 0}, {0x00, 0x01, 0xF0, 0x00});
  const Bytes pmt = Section({0x02, 0xB0, 0, 0x00, 0x01, 0xC1, 0, 0},
                            {0xE1, 0x00, 0xF0, 0x00, 0x02, 0xE1, 0x00, 0xF0, 0x00, 0x04, 0xE1, 0x01, 0xF0, 0x00});
  const auto stream = [&](int count, int resume) {
    std::vector<Bytes> packets;
    std::map<uint16_t, uint8_t> cc;
    const auto packet = [&](uint16_t pid, Bytes payload, Bytes adaptation = {}) {
      packets.push_back(MakePacket({.pid = pid,
                                    .pusi = !payload.empty(),
                                    .cc = static_cast<uint8_t>(cc[pid]++ & 15),
                                    .afc = static_cast<uint8_t>(adaptation.empty() ? 1 : 3),
                                    .adaptation = adaptation,
                                    .payload = payload}));
    };
    for (int k = 0; k < count; ++k) {
      const auto on = [&](int stop) { return k <= stop || k >= resume; };
      const uint64_t pcr = 27000000 + static_cast<uint64_t>(us[static_cast<size_t>(k)]) * 27;
      const uint64_t base = pcr / 300;
      if (k % 50 == 0 && on(200))
        packet(0, test::SectionPayload(pat));
      else if (k % 50 == 1 && on(401))
        packet(0x1000, test::SectionPayload(pmt));
      else if (k % 5 == 2 && on(602))
        packet(0x101, {});
      else if (k % 10 == 3)
        packet(0x100, {},
               {0x10, static_cast<uint8_t>(base >> 25), static_cast<uint8_t>(base >> 17),
                static_cast<uint8_t>(base >> 9), static_cast<uint8_t>(base >> 1),
                static_cast<uint8_t>((base & 1) << 7 | 0x7E | (pcr % 300) >> 8), static_cast<uint8_t>(pcr % 300)});
      else
        packet(0x100, {});
    }
    TCheckSettings settings;
    settings.pidPeriod = 0.2;
    return Check(test::Slots(packets), settings);
  };
  const auto place = [&](int last, int64_t limit) {
    size_t k = static_cast<size_t>(last);
    while (us[k] - us[static_cast<size_t>(last)] <= limit) ++k;
    char time[40];
    std::snprintf(time, sizeof time, " at 00:00:%02lld.%03lld", static_cast<long long>(us[k] / 1000000),
                  static_cast<long long>(us[k] / 1000 % 1000));
    return std::make_pair(At(static_cast<int64_t>(k)), std::string(time));
  };
  const auto expect = [&](const TRun& run, TIndicator indicator, const std::string& pid, int last, int64_t limit,
                          const std::string& detail) {
    const auto [offset, time] = place(last, limit);
    EXPECT_EQ(run.Of(indicator), std::vector<std::string>{"Error: " + std::string(IndicatorName(indicator)) + ": PID " +
                                                          pid + ", " + offset + ", " + detail + time});
  };
  const TRun back = stream(1600, 1200);
  expect(back, TIndicator::PAT_error, "0x0000", 200, 500000, "no PAT section for 0.745 s (limit 0.5 s)");
  expect(back, TIndicator::PMT_error, "0x1000", 401, 500000, "no PMT section for 0.595 s (limit 0.5 s)");
  expect(back, TIndicator::PID_error, "0x0101", 602, 200000, "not present for 0.445 s (limit 0.2 s)");
  const TRun gone = stream(1502, 1502);
  expect(gone, TIndicator::PAT_error, "0x0000", 200, 500000, "no PAT section for 0.971 s until the end (limit 0.5 s)");
  expect(gone, TIndicator::PMT_error, "0x1000", 401, 500000, "no PMT section for 0.820 s until the end (limit 0.5 s)");
  expect(gone, TIndicator::PID_error, "0x0101", 602, 200000, "not present for 0.669 s until the end (limit 0.2 s)");
}

// The module runs the checks through the contract, with the limits its
// dialog stored. (Its stored choice of checks: ValidateCommand and the
// window's TheModulesSettingsDialogKeepsTheChoice.)
TEST(ValidatorModule, ReportsTheCheckerFindingsWithItsStoredSettings) {
  TESSARO_REQUIRE_VALIDATOR_MODULE();
  const std::string settings = test::IsolateValidatorSettings();
  const auto run = [](const std::string& name) {
    TMediaValidation validation;
    EXPECT_TRUE(validation.LoadPlugin(test::ValidatorModulePath()));
    EXPECT_TRUE(validation.StartValidation(test::TestDataPath(name)));
    for (int i = 0; i < 2000 && !TMediaValidation::IsFinished(validation.Progress().value_or(0)); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(validation.StopValidation());
    std::vector<std::string> texts;
    for (const TCustomReport& r : validation.Reports().Items())
      texts.push_back(ReportTypeName(r.ReportType) + ": " + r.Message);
    return texts;
  };
  std::ofstream(settings) << "[Limits]\nPTSRepetitionLimitMs=20\n";
  const std::vector<std::string> tight = run("one-program.ts");
  ASSERT_FALSE(tight.empty());
  EXPECT_EQ(tight.front().find("PTS_error"), 7u) << tight.front();
}

}  // namespace
}  // namespace tessaro
