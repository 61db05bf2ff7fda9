// The analysis pass on crafted streams with known PCRs.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>

#include "analysis/StreamAnalysis.h"
#include "analysis/StreamClock.h"
#include "support/Builders.h"
#include "support/TestSupport.h"

namespace tessaro::test {
namespace {

constexpr int64_t kStep = 27000;  // 1 ms between PCRs, ten packets apart: 15.04 Mbit/s
constexpr double kRate = 1504.0 * 10 / 0.001;

Bytes PCRPacket(uint16_t pid, int64_t pcr) {
  const Bytes af = Bits{}.Put(8, 0x10).Put(33, pcr / 300).Put(6, 0x3F).Put(9, pcr % 300).bytes;
  return MakePacket({.pid = pid, .afc = 2, .adaptation = af, .adaptationLength = 183});
}

// Groups of ten packets: a PCR of PID 0x100, then nine of PID 0x101 (a PES
// start in the first). shape may move a group's PCR.
struct Stream {
  int groups = 2100;
  int64_t movedGroup = -1;
  int64_t moveTicks = 0;
  bool uneven = false;  // odd groups: a PCR and four packets, half a millisecond

  Bytes Make() const {
    std::vector<Bytes> packets;
    uint8_t cc = 0;
    int64_t pcr = 0;
    for (int g = 0; g < groups; ++g) {
      packets.push_back(PCRPacket(0x100, pcr + (g == movedGroup ? moveTicks : 0)));
      const bool half = uneven && g % 2 == 1;
      pcr += half ? kStep / 2 : kStep;
      for (int k = 0; k < (half ? 4 : 9); ++k) {
        Bytes payload = k == 0 ? Bytes{0, 0, 1, 0xE0} : Bytes{};
        packets.push_back(
            MakePacket({.pid = 0x101, .pusi = k == 0, .cc = static_cast<uint8_t>(cc++ & 15), .payload = payload}));
      }
    }
    return Slots(packets);
  }
};

TStreamAnalysis Analyze(const Bytes& bytes, const TAnalysisOptions& options = {}) {
  TempFile file(bytes);
  const auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::Read);
  EXPECT_TRUE(stream);
  return stream ? AnalyzeStream(*stream, options) : TStreamAnalysis{};
}

// Uneven groups, the PCR of group moved by one microsecond (27 ticks).
Bytes UnevenWithMovedPCR(int groups, int64_t group) {
  Stream shape;
  shape.groups = groups;
  shape.uneven = true;
  shape.movedGroup = group;
  shape.moveTicks = 27;
  return shape.Make();
}

const TPIDFigures* FindPID(const TStreamAnalysis& a, int32_t pid) {
  for (const auto& f : a.pids)
    if (f.pid == pid) return &f;
  return nullptr;
}

// The pass counts the packets before the limit without their time: every
// byte before it must lie before the edge, and the limit must not stop short
// of the edge by more than a few bytes (each byte short costs the full path).
TEST(StreamClock, TimeLimitIsWhereTheTimeReachesTheEdge) {
  TStreamClock clock;
  EXPECT_EQ(clock.TimeLimit(1.0), std::numeric_limits<int64_t>::min());
  clock.Reference(1000, 0, false);
  EXPECT_EQ(clock.TimeLimit(1.0), std::numeric_limits<int64_t>::max());  // no rate yet: the time stands
  EXPECT_EQ(clock.TimeLimit(0.0), std::numeric_limits<int64_t>::min());
  clock.Reference(1000 + 1880, 27000, false);  // 1 ms over ten packets
  for (const double edge : {0.0010000001, 0.0123456789, 1.0, 3600.5, 1e7}) {
    const int64_t limit = clock.TimeLimit(edge);
    EXPECT_LT(clock.Time(limit - 1), edge) << edge;
    int64_t first = limit;
    while (clock.Time(first) < edge) ++first;
    EXPECT_LE(first - limit, 2) << edge;
  }
  EXPECT_EQ(clock.TimeLimit(0.001), std::numeric_limits<int64_t>::min());  // the last PCR's own time
}

TEST(StreamAnalysis, ConstantRateStreamGivesExactFigures) {
  const Stream shape;
  const TStreamAnalysis a = Analyze(shape.Make());
  ASSERT_TRUE(a.isStream);
  EXPECT_EQ(a.packets, 21000);
  ASSERT_TRUE(a.pcrPID && a.duration && a.bitrate);
  EXPECT_EQ(*a.pcrPID, 0x100);
  EXPECT_NEAR(*a.duration, 2.099, 1e-9);
  EXPECT_NEAR(*a.bitrate, kRate, 1e-3);

  const TPIDFigures* video = FindPID(a, 0x101);
  ASSERT_TRUE(video && video->bitrate);
  EXPECT_NEAR(*video->bitrate, kRate * 0.9, 1e-3);
  EXPECT_DOUBLE_EQ(video->share, 0.9);
  EXPECT_EQ(video->pcrs, 0);
  EXPECT_EQ(video->pesStarts, 2100);
  EXPECT_EQ(video->ccErrors, 0);
  EXPECT_EQ(video->firstOffset, 188);
  EXPECT_EQ(video->lastOffset, 20999 * 188);
  // Two whole one-second windows of 1000 groups each; a packet may fall on
  // either side of a window edge.
  ASSERT_TRUE(video->bitrateMin && video->bitrateMax);
  EXPECT_NEAR(*video->bitrateMin, 9000 * 1504.0, 9 * 1504.0);
  EXPECT_NEAR(*video->bitrateMax, 9000 * 1504.0, 9 * 1504.0);

  ASSERT_EQ(a.pcr.size(), 1u);
  const TPCRFigures& p = a.pcr[0];
  EXPECT_EQ(p.count, 2100);
  EXPECT_EQ(p.discontinuities, 0);
  EXPECT_DOUBLE_EQ(*p.intervalMin, 0.001);
  EXPECT_DOUBLE_EQ(*p.intervalAvg, 0.001);
  EXPECT_DOUBLE_EQ(*p.intervalMax, 0.001);
  EXPECT_NEAR(*p.accuracyMax, 0, 1e-12);
}

TEST(StreamAnalysis, PCRMovedByOneMicrosecondIsFoundAtItsPacket) {
  const TStreamAnalysis a = Analyze(UnevenWithMovedPCR(200, 50));
  EXPECT_NEAR(*a.bitrate, kRate, 1e-3);
  ASSERT_EQ(a.pcr.size(), 1u);
  const TPCRFigures& p = a.pcr[0];
  ASSERT_TRUE(p.accuracyMax && p.accuracyRMS);
  EXPECT_NEAR(*p.accuracyMax, 1e-6, 50e-9);
  EXPECT_EQ(p.accuracyMaxOffset, 25 * (1880 + 940));
  // Its neighbours, predicted across it, are off by the share of the move
  // their bytes give them: two thirds before it, one third after.
  EXPECT_NEAR(*p.accuracyRMS, std::sqrt((27.0 * 27 + 18 * 18 + 9 * 9) / 198) / 27e6, 1e-12);
  EXPECT_NEAR(*p.intervalMin, 0.0005, 1e-12);
}

// 4.5 s outgrow the first bucket span, so buckets merge: what each row keeps
// of its worst PCRs must survive the merging. The moved PCR's bucket is the
// later of a merged pair, the earlier one holding PCRs of smaller error.
TEST(StreamAnalysis, TimelineRowsKeepThePacketsOfTheirWorstPCRs) {
  const TStreamAnalysis a = Analyze(UnevenWithMovedPCR(6000, 2997));
  ASSERT_TRUE(a.timeline.bucket);
  EXPECT_GT(*a.timeline.bucket, 1.0 / 1024);
  // Even groups are ten packets, odd ones five; a PCR opens each group.
  auto groupOffset = [](int64_t g) { return g / 2 * 15 * 188 + g % 2 * 10 * 188; };
  double worst = 0;
  int64_t worstOffset = -1;
  double longest = 0;
  int64_t longestOffset = -1;
  for (const TTimelineRow& row : a.timeline.rows) {
    int64_t first = INT64_MAX;
    for (const TTimelinePID& p : row.pids) {
      first = std::min(first, p.offset);
      if (p.pid != 0x100) continue;
      ASSERT_TRUE(p.intervalMax);
      // The 1 ms intervals, the longest, are closed by the PCRs of odd groups.
      EXPECT_EQ((p.intervalOffset - 10 * 188) % (15 * 188), 0) << p.intervalOffset;
      if (*p.intervalMax > longest) longest = *p.intervalMax, longestOffset = p.intervalOffset;
      if (!p.accuracyMin) continue;
      const double magnitude = std::max(std::fabs(*p.accuracyMin), std::fabs(*p.accuracyMax));
      if (magnitude > worst) worst = magnitude, worstOffset = p.accuracyOffset;
    }
    EXPECT_EQ(first, row.offset);
  }
  EXPECT_EQ(worstOffset, groupOffset(2997));
  EXPECT_NEAR(longest, 0.001 + 1e-6, 1e-12);
  EXPECT_EQ(longestOffset, groupOffset(2997));
}

TEST(StreamAnalysis, ContinuityCounterAllowsOneRepeatAndFollowsTheDiscontinuityIndicator) {
  struct Step {
    uint8_t cc;
    uint8_t afc = 1;
    bool discontinuity = false;
  };
  // Errors: a second repeat of 1, the jumps 2 to 5 and 11 to 15, a third 0;
  // the rest is allowed (a repeat, a jump the indicator announces, a packet
  // without payload, 15 to 0).
  const std::vector<Step> steps{{0},          {1},  {1},    {1},  {2},  {5}, {6}, {6},
                                {9, 3, true}, {10}, {3, 2}, {11}, {15}, {0}, {0}, {0}};
  std::vector<Bytes> packets;
  for (const Step& s : steps)
    packets.push_back(
        MakePacket({.pid = 0x200,
                    .cc = s.cc,
                    .afc = s.afc,
                    .adaptation = s.afc & 2 ? Bytes{static_cast<uint8_t>(s.discontinuity ? 0x80 : 0)} : Bytes{}}));
  const TStreamAnalysis a = Analyze(Slots(packets));
  ASSERT_NE(FindPID(a, 0x200), nullptr);
  EXPECT_EQ(FindPID(a, 0x200)->ccErrors, 4);
}

TEST(StreamAnalysis, GarbageIsCountedAsBytesNotPackets) {
  Stream shape;
  shape.groups = 20;
  Bytes bytes = shape.Make();
  bytes.insert(bytes.begin() + 50 * 188, 100, 0x00);
  const TStreamAnalysis a = Analyze(bytes);
  EXPECT_EQ(a.packets, 200);
  EXPECT_EQ(a.garbageBytes, 100);
  EXPECT_FALSE(a.partial);
}

TEST(StreamAnalysis, CancelGivesPartialFiguresUpToTheOffsetReached) {
  Stream shape;
  shape.groups = 20;
  std::atomic<bool> cancel{false};
  TAnalysisOptions options;
  // The first read holds ten packets and part of the eleventh.
  options.blockSize = 2000;
  options.cancel = &cancel;
  options.progress = [&](int64_t done, int64_t) {
    if (done >= 2000) cancel = true;
  };
  const TStreamAnalysis a = Analyze(shape.Make(), options);
  EXPECT_TRUE(a.partial);
  EXPECT_EQ(a.reached, 1880);
  EXPECT_EQ(a.packets, 10);
}

// A PES header (ISO/IEC 13818-1, Table 2-21) with PTS and DTS.
Bytes PESHeader(int64_t pts, int64_t dts) {
  return Cat({{0, 0, 1, 0xE0, 0, 0, 0x80, 0xC0, 10}, TimeStamp(3, pts), TimeStamp(1, dts)});
}

TEST(StreamAnalysis, TimestampsAreMeasuredAgainstTheProgramsPCRAcrossTheWrap) {
  // Program 1: PMT on 0x1000, PCR on 0x100, one stream 0x101.
  std::vector<Bytes> packets{SectionPacket(0, PATSection(1, {{1, 0x1000}})),
                             SectionPacket(0x1000, PMTSection(1, 0x0100, {}, {{0x02, 0x0101, {}}}))};
  const int64_t wrap = (int64_t{1} << 33) * 300;
  int64_t pcr = wrap - 50 * kStep;
  uint8_t cc = 0;
  for (int g = 0; g < 100; ++g, pcr = (pcr + kStep) % wrap) {
    packets.push_back(PCRPacket(0x100, pcr));
    // One packet after the PCR (a tenth of a millisecond), presented 0.5 s
    // later and decoded 40 ms before that.
    const int64_t pts = (pcr + kStep / 10 + 13500000) % wrap / 300;
    packets.push_back(MakePacket({.pid = 0x101, .pusi = true, .cc = cc++, .payload = PESHeader(pts, pts - 3600)}));
    for (int k = 0; k < 8; ++k) packets.push_back(MakePacket({.pid = 0x101, .cc = static_cast<uint8_t>(cc++ & 15)}));
    cc &= 15;
  }
  const TStreamAnalysis a = Analyze(Slots(packets));
  ASSERT_EQ(a.timestamps.size(), 1u);
  const TTimestampFigures& t = a.timestamps[0];
  EXPECT_EQ(t.pid, 0x101);
  EXPECT_NEAR(*t.ptsPCRMin, 0.5, 1e-9);
  EXPECT_NEAR(*t.ptsPCRMax, 0.5, 1e-9);
  EXPECT_NEAR(*t.dtsPCRMin, 0.46, 1e-9);
  EXPECT_NEAR(*t.dtsPCRMax, 0.46, 1e-9);
  // The timeline's rows carry the same figures.
  int rows = 0;
  for (const auto& row : a.timeline.rows)
    for (const auto& p : row.pids)
      if (p.pid == 0x101 && p.ptsPCRMax) {
        ++rows;
        EXPECT_NEAR(*p.ptsPCRMax, 0.5, 1e-9);
      }
  EXPECT_GT(rows, 50);
}

}  // namespace
}  // namespace tessaro::test
