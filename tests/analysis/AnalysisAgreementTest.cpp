// The analysis against independent readings: ffprobe's programs, PIDs,
// stream types and service names for every fixture and real capture, and
// the PCR arithmetic of the fixture script for the crafted timing faults.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "analysis/StreamAnalysis.h"
#include "support/TestSupport.h"

namespace tessaro::test {
namespace {

nlohmann::json ReadJSON(const std::string& path) {
  std::ifstream in(path);
  return nlohmann::json::parse(in);
}

TStreamAnalysis AnalyzeFile(const std::string& path) {
  const auto stream = TFileStream::Open(path, TFileStream::Mode::Read);
  EXPECT_TRUE(stream) << path;
  return stream ? AnalyzeStream(*stream) : TStreamAnalysis{};
}

const TPIDFigures* FindPID(const TStreamAnalysis& a, int32_t pid) {
  for (const auto& f : a.pids)
    if (f.pid == pid) return &f;
  return nullptr;
}

class AnalysisAgreement : public ::testing::TestWithParam<std::string> {};

TEST_P(AnalysisAgreement, ProgramsStreamsAndNamesAreFFprobes) {
  std::string path = TestDataPath(GetParam() + ".ts");
  if (!std::filesystem::exists(path)) {
    TESSARO_REQUIRE_SHARED_STREAMS();
    path = SharedStreamPath(GetParam() + ".ts");
  }
  const nlohmann::json expected = ReadJSON(TestDataPath("expected/" + GetParam() + ".programs.json"));
  const TStreamAnalysis a = AnalyzeFile(path);
  ASSERT_TRUE(a.isStream);

  // ffprobe lists the programs of the PAT; services named by the SDT alone
  // have no PMT PID.
  std::vector<const TServiceFigures*> listed;
  for (const auto& s : a.services)
    if (s.pmtPID) listed.push_back(&s);
  ASSERT_EQ(listed.size(), expected["programs"].size());
  for (size_t i = 0; i < listed.size(); ++i) {
    const TServiceFigures& s = *listed[i];
    const nlohmann::json& p = expected["programs"][i];
    SCOPED_TRACE("program " + std::to_string(s.programNumber));
    EXPECT_EQ(s.programNumber, p["program_number"].get<int>());
    EXPECT_EQ(*s.pmtPID, p["pmt_pid"].get<int>());
    if (p["pcr_pid"].get<int>() != 0) {
      EXPECT_EQ(s.pcrPID.value_or(-1), p["pcr_pid"].get<int>());
    }
    if (!p["name"].is_null()) {
      EXPECT_EQ(s.name, p["name"].get<std::string>());
    }
    if (!p["provider"].is_null()) {
      EXPECT_EQ(s.provider, p["provider"].get<std::string>());
    }
    std::vector<std::pair<int, int>> ours, theirs;
    for (const auto& es : s.streams) ours.emplace_back(es.pid, es.streamType);
    for (const auto& es : p["streams"]) theirs.emplace_back(es[0].get<int>(), es[1].get<int>());
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(ours, theirs);
    for (const auto& es : s.streams) {
      if (const TPIDFigures* f = FindPID(a, es.pid)) {
        EXPECT_NE(f->description, "unreferenced") << es.pid;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, AnalysisAgreement, ::testing::ValuesIn(ExpectationNames(".programs.json")),
                         ParamName);

// Durations of the clean constant-rate streams: the fixture script's sum of
// PCR steps, the mux rate, and ffprobe's first and last PTS of each stream.
TEST(AnalysisFixtures, ConstantRateDurationsAgree) {
  const nlohmann::json pcr = ReadJSON(TestDataPath("expected/analysis.pcr.json"));
  for (const char* name : {"analysis-cbr", "analysis-m2ts"}) {
    SCOPED_TRACE(name);
    const TStreamAnalysis a = AnalyzeFile(TestDataPath(std::string(name) + ".ts"));
    const nlohmann::json& script = pcr[std::string(name) + ".ts"];
    const nlohmann::json probe = ReadJSON(TestDataPath("expected/" + std::string(name) + ".programs.json"));
    ASSERT_TRUE(a.duration && a.bitrate && a.pcrPID);
    EXPECT_EQ(*a.pcrPID, script["pcr_pid"].get<int>());
    EXPECT_NEAR(*a.duration, script["duration"].get<double>(), 1e-3);
    EXPECT_NEAR(*a.bitrate, 600000, 1);
    ASSERT_EQ(a.timestamps.size(), probe["pts"].size());
    for (const auto& t : a.timestamps) {
      const nlohmann::json& firstLast = probe["pts"][std::to_string(t.pid)];
      EXPECT_NEAR(*t.ptsFirst, firstLast[0].get<double>(), 1e-3) << t.pid;
      EXPECT_NEAR(*t.ptsLast, firstLast[1].get<double>(), 1e-3) << t.pid;
      // The decoder holds each access unit for a while after it arrives.
      ASSERT_TRUE(t.dtsPCRMin && t.ptsPCRMax);
      EXPECT_GT(*t.dtsPCRMin, 0.1);
      EXPECT_LT(*t.ptsPCRMax, 1.0);
    }
  }
}

TEST(AnalysisFixtures, CraftedTimingFaultsAreFound) {
  const nlohmann::json pcr = ReadJSON(TestDataPath("expected/analysis.pcr.json"));

  const TStreamAnalysis moved = AnalyzeFile(TestDataPath("analysis-pcr-moved.ts"));
  ASSERT_EQ(moved.pcr.size(), 1u);
  EXPECT_NEAR(*moved.pcr[0].accuracyMax, 1e-6, 50e-9);
  EXPECT_EQ(moved.pcr[0].accuracyMaxOffset, pcr["analysis-pcr-moved.ts"]["moved_offset"].get<int64_t>());

  const TStreamAnalysis gap = AnalyzeFile(TestDataPath("analysis-pcr-gap.ts"));
  EXPECT_NEAR(*gap.pcr[0].intervalMax, pcr["analysis-pcr-gap.ts"]["interval_max"].get<double>(), 1e-9);
  EXPECT_GE(*gap.pcr[0].intervalMax, 0.1);

  const TStreamAnalysis jump = AnalyzeFile(TestDataPath("analysis-discontinuity.ts"));
  EXPECT_EQ(jump.pcr[0].discontinuities, 1);
  EXPECT_NEAR(*jump.pcr[0].accuracyMax, 0, 1e-12);
  EXPECT_NEAR(*jump.bitrate, 600000, 1);
  EXPECT_NEAR(*jump.duration, pcr["analysis-discontinuity.ts"]["duration"].get<double>(), 1e-6);

  const TStreamAnalysis stray = AnalyzeFile(TestDataPath("analysis-unreferenced.ts"));
  const TPIDFigures* unnamed = FindPID(stray, 0x0777);
  ASSERT_TRUE(unnamed);
  EXPECT_EQ(unnamed->packets, 20);
  EXPECT_EQ(unnamed->description, "unreferenced");
  EXPECT_EQ(FindPID(stray, 0x0101)->description, "audio AAC of program 1");

  const TStreamAnalysis none = AnalyzeFile(TestDataPath("analysis-no-pcr.ts"));
  EXPECT_FALSE(none.duration || none.bitrate || none.pcrPID || none.timeline.bucket);
  ASSERT_FALSE(none.timeline.rows.empty());
  EXPECT_FALSE(none.timeline.rows[0].time);
  EXPECT_EQ(none.timeline.rows[0].offset, 0);
  for (const auto& t : none.timestamps) EXPECT_FALSE(t.ptsPCRMin) << t.pid;
}

}  // namespace
}  // namespace tessaro::test
