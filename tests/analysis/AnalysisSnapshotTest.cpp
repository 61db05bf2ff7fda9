// The figures a running pass hands out, and the two texts made from the
// analysis: the PID table's CSV and the JSON.

#include <gtest/gtest.h>

#include <atomic>
#include <map>

#include "analysis/AnalysisJSON.h"
#include "analysis/AnalysisTable.h"
#include "analysis/StreamAnalysis.h"
#include "support/TestSupport.h"

namespace tessaro::test {
namespace {

// Small unaligned reads, a snapshot after each.
TAnalysisOptions EveryRead() {
  TAnalysisOptions options;
  options.blockSize = 188 * 40 + 7;
  options.snapshotBytes = 0;
  options.snapshotInterval = std::chrono::milliseconds(0);
  return options;
}

TStreamAnalysis Analyze(const std::string& path, const TAnalysisOptions& options) {
  const auto stream = TFileStream::Open(path, TFileStream::Mode::Read);
  EXPECT_TRUE(stream) << path;
  return stream ? AnalyzeStream(*stream, options) : TStreamAnalysis{};
}

std::map<int32_t, int64_t> TimelinePackets(const TStreamAnalysis& a) {
  std::map<int32_t, int64_t> packets;
  for (const TTimelineRow& row : a.timeline.rows)
    for (const TTimelinePID& p : row.pids) packets[p.pid] += p.packets;
  return packets;
}

// Snapshots grow towards the end's figures and never pass them, each is
// whole in itself (its PIDs and its timeline add up to its packets), and
// taking them changes nothing of the result.
TEST(AnalysisSnapshots, GrowTowardsTheResultAndLeaveItUnchanged) {
  const std::string path = TestDataPath("two-programs.ts");
  std::vector<TStreamAnalysis> snapshots;
  TAnalysisOptions options = EveryRead();
  options.snapshot = [&](const TStreamAnalysis& a) { snapshots.push_back(a); };
  const TStreamAnalysis final = Analyze(path, options);
  const TStreamAnalysis plain = Analyze(path, {});
  EXPECT_EQ(AnalysisJSONText(path, final), AnalysisJSONText(path, plain));
  ASSERT_GT(snapshots.size(), 20u);

  std::map<int32_t, int64_t> finalPackets;
  for (const TPIDFigures& f : final.pids) finalPackets[f.pid] = f.packets;
  int64_t previous = -1;
  for (const TStreamAnalysis& s : snapshots) {
    SCOPED_TRACE("snapshot at " + std::to_string(s.reached));
    EXPECT_TRUE(s.partial);
    EXPECT_GE(s.packets, previous);
    previous = s.packets;
    EXPECT_LE(s.packets, final.packets);
    int64_t sum = 0;
    for (const TPIDFigures& f : s.pids) {
      EXPECT_LE(f.packets, finalPackets[f.pid]) << f.pid;
      EXPECT_EQ(TimelinePackets(s)[f.pid], f.packets) << f.pid;
      sum += f.packets;
    }
    EXPECT_EQ(sum, s.packets);
  }
  EXPECT_LT(snapshots.back().packets, final.packets);
}

// A snapshot is what a pass stopped at that place gives: the pass stopped
// at the read before the snapshot's (the packets of that read walked, then
// the cancel seen) ends with exactly the snapshot's figures. Checked for the
// second snapshot, a middle one and the last.
TEST(AnalysisSnapshots, EachIsTheResultOfAPassStoppedThere) {
  const std::string path = TestDataPath("two-programs.ts");
  std::vector<std::string> snapshots;
  TAnalysisOptions options = EveryRead();
  options.snapshot = [&](const TStreamAnalysis& a) { snapshots.push_back(AnalysisJSONText(path, a)); };
  Analyze(path, options);
  ASSERT_GT(snapshots.size(), 3u);
  for (const size_t k : {size_t{1}, snapshots.size() / 2, snapshots.size() - 1}) {
    std::atomic<bool> cancel{false};
    size_t seen = 0;
    TAnalysisOptions stopping = EveryRead();
    stopping.cancel = &cancel;
    stopping.snapshot = [&](const TStreamAnalysis&) {
      if (++seen == k) cancel = true;
    };
    EXPECT_EQ(AnalysisJSONText(path, Analyze(path, stopping)), snapshots[k]) << "snapshot " << k;
  }
}

TEST(AnalysisSnapshots, AreSpacedByBytesAndWallTime) {
  const std::string path = TestDataPath("two-programs.ts");
  int count = 0;
  TAnalysisOptions options = EveryRead();
  options.snapshot = [&](const TStreamAnalysis&) { ++count; };
  options.snapshotBytes = 64 * 1024;
  Analyze(path, options);
  // 227,668 bytes: one snapshot per 64 KiB walked, none before the first.
  EXPECT_GE(count, 2);
  EXPECT_LE(count, 3);
  count = 0;
  options.snapshotBytes = 0;
  options.snapshotInterval = std::chrono::hours(1);
  Analyze(path, options);
  EXPECT_EQ(count, 0);
}

// RFC 4180: a field with a comma, a quote or a line break is quoted, its
// quotes doubled; lines end in CR LF; a missing figure is an empty field.
TEST(AnalysisTable, QuotesWhatNeedsItAndLeavesMissingFiguresEmpty) {
  EXPECT_EQ(CSVField("two\nlines"), "\"two\nlines\"");
  TStreamAnalysis a;
  TPIDFigures f;
  f.pid = 0x1FFF;
  f.packets = 12;
  f.share = 0.123456;
  f.bitrate = 1504000.4;
  f.ccErrors = 3;
  f.firstOffset = 376;
  f.description = "video, \"main\"";
  a.pids.push_back(f);
  EXPECT_EQ(PIDTableCSV(a),
            "PID,Description,Packets,Share %,Bitrate,Bitrate min,Bitrate max,CC errors,Scrambled,PCRs,PES starts,"
            "First offset\r\n"
            "0x1FFF,\"video, \"\"main\"\"\",12,12.35,1504000,,,3,0,0,0,376\r\n");
}

}  // namespace
}  // namespace tessaro::test
