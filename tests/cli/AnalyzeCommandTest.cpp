// tessaro-cli analyze: the JSON object and its keys, the summary, the exit statuses.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>

#include "support/TestSupport.h"

namespace tessaro::test {
namespace {

std::string Quote(const std::string& path) { return "'" + path + "'"; }

TEST(AnalyzeCli, JSONHasEveryKey) {
  const CliResult r = RunCli("analyze --json " + Quote(TestDataPath("two-programs.ts")));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  for (const char* key : {"file", "size", "packet_size", "start_offset", "packets", "duration", "bitrate", "pcr_pid",
                          "partial", "reached", "services", "pids", "pcr", "timestamps", "timeline"})
    EXPECT_TRUE(j.contains(key)) << key;
  EXPECT_FALSE(j["partial"].get<bool>());
  EXPECT_EQ(j["reached"], j["size"]);
  ASSERT_FALSE(j["pids"].empty());
  int previous = -1;
  for (const auto& pid : j["pids"]) {
    for (const char* key : {"pid", "packets", "share", "bitrate", "bitrate_min", "bitrate_max", "cc_errors",
                            "scrambled", "pcrs", "pes_starts", "first_offset", "last_offset", "description"})
      EXPECT_TRUE(pid.contains(key)) << key;
    EXPECT_GT(pid["pid"].get<int>(), previous);
    previous = pid["pid"].get<int>();
  }
  ASSERT_FALSE(j["pcr"].empty());
  for (const char* key : {"pid", "count", "interval_min", "interval_avg", "interval_max", "accuracy_max",
                          "accuracy_rms", "discontinuities"})
    EXPECT_TRUE(j["pcr"][0].contains(key)) << key;

  ASSERT_EQ(j["services"].size(), 2u);
  const auto& service = j["services"][1];
  EXPECT_EQ(service["service_type"], 1);
  ASSERT_EQ(service["streams"].size(), 2u);
  EXPECT_EQ(service["streams"][0]["stream_type"], 2);
  EXPECT_TRUE(service["streams"][0]["language"].is_null());
  EXPECT_TRUE(service["streams"][1].contains("stream_type_name"));

  ASSERT_EQ(j["timestamps"].size(), 4u);
  for (const char* key : {"pid", "pts_pcr_min", "pts_pcr_max", "dts_pcr_min", "dts_pcr_max", "pts_first", "pts_last"})
    EXPECT_TRUE(j["timestamps"][0][key].is_number()) << key;

  // The rows' packets, keyed by the PID in decimal, add up to each PID's.
  EXPECT_TRUE(j["timeline"]["bucket"].is_number());
  std::map<std::string, int64_t> sums;
  for (const auto& row : j["timeline"]["rows"]) {
    EXPECT_TRUE(row["time"].is_number() && row["offset"].is_number());
    for (const auto& [pid, count] : row["pids"].items()) sums[pid] += count.get<int64_t>();
  }
  for (const auto& pid : j["pids"]) EXPECT_EQ(sums[std::to_string(pid["pid"].get<int>())], pid["packets"]);
}

TEST(AnalyzeCli, WithoutPCRsTheTimesAreNull) {
  std::vector<Bytes> packets;
  for (int i = 0; i < 20; ++i) packets.push_back(MakePacket({.pid = 0x101, .cc = static_cast<uint8_t>(i & 15)}));
  TempFile file(Slots(packets));
  const CliResult r = RunCli("analyze --json " + Quote(file.Path()));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_TRUE(j["duration"].is_null());
  EXPECT_TRUE(j["pcr_pid"].is_null());
  EXPECT_TRUE(j["timeline"]["rows"][0]["time"].is_null());
}

TEST(AnalyzeCli, SummaryAndFailures) {
  CliResult r = RunCli("analyze " + Quote(TestDataPath("one-program.ts")));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("PCR PID:"), std::string::npos);
  EXPECT_NE(r.out.find("\nPID      Packets    Share"), std::string::npos);
  EXPECT_NE(r.out.find("\nService 1 \"Fixture One\" (Tessaro), type 0x01, PMT 0x1000, PCR 0x0100\n"),
            std::string::npos);
  EXPECT_NE(r.out.find(" 30  video MPEG-2 of program 1\n"), std::string::npos);
  EXPECT_NE(r.out.find("\nPTS PID  PTS-PCR min s"), std::string::npos);

  TempFile notStream(Bytes(4000, 0x11));
  r = RunCli("analyze " + Quote(notStream.Path()));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "Not valid transport stream\n");
  EXPECT_TRUE(r.out.empty());
}

// A file cut to 1 MiB during the run (by a library preloaded into the
// program), read or mapped: the figures up to the cut are printed, marked
// partial, and the run fails.
TEST(AnalyzeCli, AFileThatShrinksGivesAPartialResultAndFails) {
  const Bytes one = ReadFileBytes(TestDataPath("one-program.ts"));
  Bytes bytes;
  while (bytes.size() < 2 * 1024 * 1024) bytes.insert(bytes.end(), one.begin(), one.end());
  const std::string size = std::to_string(bytes.size());
  for (const std::string way : {"read", "map"}) {
    const TempFile stream(bytes);
    const CliResult r = RunCommand("env ASAN_OPTIONS=verify_asan_link_order=0 TESSARO_READ_WAY=" + way +
                                   " TESSARO_TEST_SHRINK=1048576:" + Quote(stream.Path()) +
                                   " LD_PRELOAD=" + Quote(TESSARO_SHRINK_PRELOAD) + " " + Quote(TESSARO_CLI_PATH) +
                                   " analyze --json " + Quote(stream.Path()));
    ASSERT_EQ(std::filesystem::file_size(stream.Path()), 1048576u) << "the file was not cut: " << way;
    EXPECT_EQ(r.exitCode, 2) << way;
    EXPECT_EQ(r.err, "Cannot read " + stream.Path() + ": only 1048576 of " + size + " bytes could be read\n") << way;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_TRUE(j["partial"].get<bool>()) << way;
    EXPECT_EQ(j["reached"].get<int64_t>(), 1048576) << way;
    EXPECT_EQ(j["packets"].get<int64_t>(), 1048576 / 188) << way;
  }
}

}  // namespace
}  // namespace tessaro::test
