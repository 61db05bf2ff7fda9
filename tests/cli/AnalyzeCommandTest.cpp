// tessaro-cli analyze: the JSON object and its keys, the summary, the exit statuses.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>

#include "support/TestSupport.h"

namespace tessaro::test {
namespace {

std::string Quote(const std::string& path) { return "'" + path + "'"; }

TEST(AnalyzeCli, JSONHasTheStreamPIDAndPCRKeys) {
  const CliResult r = RunCli("analyze --json " + Quote(TestDataPath("two-programs.ts")));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  for (const char* key : {"file", "size", "packet_size", "start_offset", "packets", "duration", "bitrate", "pcr_pid",
                          "partial", "reached", "pids", "pcr"})
    EXPECT_TRUE(j.contains(key)) << key;
  EXPECT_FALSE(j["partial"].get<bool>());
  EXPECT_EQ(j["reached"], j["size"]);
  EXPECT_TRUE(j["duration"].is_number());
  ASSERT_FALSE(j["pids"].empty());
  int64_t packets = 0;
  int previous = -1;
  for (const auto& pid : j["pids"]) {
    for (const char* key : {"pid", "packets", "share", "bitrate", "bitrate_min", "bitrate_max", "cc_errors",
                            "scrambled", "pcrs", "pes_starts", "first_offset", "last_offset"})
      EXPECT_TRUE(pid.contains(key)) << key;
    EXPECT_GT(pid["pid"].get<int>(), previous);
    previous = pid["pid"].get<int>();
    packets += pid["packets"].get<int64_t>();
  }
  EXPECT_EQ(packets, j["packets"].get<int64_t>());
  ASSERT_FALSE(j["pcr"].empty());
  for (const char* key : {"pid", "count", "interval_min", "interval_avg", "interval_max", "accuracy_max",
                          "accuracy_rms", "discontinuities"})
    EXPECT_TRUE(j["pcr"][0].contains(key)) << key;
}

TEST(AnalyzeCli, WithoutPCRsTheTimesAreNull) {
  std::vector<Bytes> packets;
  for (int i = 0; i < 20; ++i) packets.push_back(MakePacket({.pid = 0x101, .cc = static_cast<uint8_t>(i & 15)}));
  TempFile file(Slots(packets));
  const CliResult r = RunCli("analyze --json " + Quote(file.Path()));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_TRUE(j["duration"].is_null());
  EXPECT_TRUE(j["bitrate"].is_null());
  EXPECT_TRUE(j["pcr_pid"].is_null());
  EXPECT_TRUE(j["pids"][0]["bitrate"].is_null());
}

TEST(AnalyzeCli, SummaryAndFailures) {
  CliResult r = RunCli("analyze " + Quote(TestDataPath("one-program.ts")));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("PCR PID:"), std::string::npos);
  EXPECT_NE(r.out.find("\nPID      Packets    Share"), std::string::npos);

  TempFile notStream(Bytes(4000, 0x11));
  r = RunCli("analyze " + Quote(notStream.Path()));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "Not valid transport stream\n");
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(RunCli("analyze /nonexistent.ts").exitCode, 2);
}

// A file cut to 1 MiB during the run (by a library preloaded into the
// program): the figures up to the cut are printed, marked partial, and the
// run fails.
TEST(AnalyzeCli, AFileThatShrinksGivesAPartialResultAndFails) {
  const Bytes one = ReadFileBytes(TestDataPath("one-program.ts"));
  Bytes bytes;
  while (bytes.size() < 2 * 1024 * 1024) bytes.insert(bytes.end(), one.begin(), one.end());
  const TempFile stream(bytes);
  const std::string size = std::to_string(bytes.size());
  const CliResult r =
      RunCommand("env ASAN_OPTIONS=verify_asan_link_order=0 TESSARO_TEST_SHRINK=1048576:" + Quote(stream.Path()) +
                 " LD_PRELOAD=" + Quote(TESSARO_SHRINK_PRELOAD) + " " + Quote(TESSARO_CLI_PATH) + " analyze --json " +
                 Quote(stream.Path()));
  ASSERT_EQ(std::filesystem::file_size(stream.Path()), 1048576u) << "the file was not cut";
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "Cannot read " + stream.Path() + ": only 1048576 of " + size + " bytes could be read\n");
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_TRUE(j["partial"].get<bool>());
  EXPECT_EQ(j["reached"].get<int64_t>(), 1048576);
  EXPECT_EQ(j["packets"].get<int64_t>(), 1048576 / 188);
}

}  // namespace
}  // namespace tessaro::test
