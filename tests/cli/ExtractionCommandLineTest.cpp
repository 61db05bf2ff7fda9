// The extraction commands of tessaro-cli: the window's results and messages,
// exit statuses, --force, the progress bar only on a terminal, and the
// process limits a real run meets (file size, file handles).
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/TerminalRun.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::RunCli;
using test::TestDataPath;
namespace fs = std::filesystem;

std::string Quote(const std::string& path) { return "'" + path + "'"; }

class ExtractionCli : public ::testing::Test {
 protected:
  std::string Out(const std::string& name) const { return dir_.Path(name); }
  size_t FileCount() const { return dir_.Names().size(); }
  // tessaro-cli under bash with the given limits set first (ulimit syntax).
  test::CliResult RunLimited(const std::string& limits, const std::string& arguments) const {
    return test::RunCommand("bash -c " + Quote(limits + "; exec '" + std::string(TESSARO_CLI_PATH) + "' " + arguments));
  }
  test::TempDir dir_;
};

TEST_F(ExtractionCli, EachCommandWritesWhatTheWindowWrites) {
  const std::string file = Quote(TestDataPath("one-program.ts"));
  auto r = RunCli("extract-pids " + file + " --pid 0x0100 --pid 0x0101 -o " + Out("a.ts"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
  r = RunCli("extract-pes " + file + " --pid 0x0101 -o " + Out("a.pes"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  r = RunCli("extract-es " + file + " --pid 0x0101 -o " + Out("a.es"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "Done\n");
  EXPECT_LT(fs::file_size(Out("a.es")), fs::file_size(Out("a.pes")));
  r = RunCli("extract-program " + Quote(TestDataPath("two-programs.ts")) + " --program 2 -o " + Out("p.ts"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "Done\n");
  r = RunCli("demux-es " + file + " -o " + Out("d.ts"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "Done\n");
  EXPECT_TRUE(fs::exists(Out("d.$0100")));
  EXPECT_FALSE(fs::exists(Out("d.ts")));
  EXPECT_EQ(RunCli("extract-pids --help").exitCode, 0);
}

TEST_F(ExtractionCli, BadArgumentsAndExistingOutputsAreRefused) {
  const std::string file = Quote(TestDataPath("two-programs.ts"));
  auto r = RunCli("extract-pes " + file + " --pid 0X0100 -o " + Out("x"));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "PID must be in 0xXXXX format.\n");
  r = RunCli("extract-pids " + file + " --pid 0x0100 --pid 0x2000 -o " + Out("x"));
  EXPECT_EQ(r.err, "0x2000 is out of range.\n");
  r = RunCli("extract-program " + file + " --program 7x -o " + Out("x"));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "7x is invalid program number.\n");
  EXPECT_EQ(RunCli("extract-program " + file + " --program 65536 -o " + Out("x")).err, "65536 is out of range.\n");
  EXPECT_EQ(FileCount(), 0u);

  // A program no PMT carries: no result, and no file left.
  r = RunCli("extract-program " + file + " --program 9 -o " + Out("p.ts"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "PMT not found.\n");
  EXPECT_EQ(FileCount(), 0u);

  // An existing output stays untouched without --force, and is replaced with it.
  test::TempFile existing({1, 2, 3});
  r = RunCli("extract-pids " + file + " --pid 0x0000 -o " + Quote(existing.Path()));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "The file " + existing.Path() + " already exists; --force replaces it.\n");
  EXPECT_EQ(test::ReadFileBytes(existing.Path()), (Bytes{1, 2, 3}));
  r = RunCli("extract-pids " + file + " --pid 0x0000 --force -o " + Quote(existing.Path()));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(fs::file_size(existing.Path()) % 188, 0u);
  EXPECT_GT(fs::file_size(existing.Path()), 0u);
}

TEST_F(ExtractionCli, AFullDiskOrAFileSizeLimitIsAFailureThatLeavesNothing) {
  const std::string file = Quote(TestDataPath("one-program.ts"));
  // A device given with --force is written in place, never deleted.
  auto r = RunCli("extract-es " + file + " --pid 0x0100 --force -o /dev/full");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "Cannot write file /dev/full: No space left on device\n");
  EXPECT_TRUE(fs::exists("/dev/full"));
  // 16 KiB at most per file: the video PID's file cannot be written whole.
  r = RunLimited("ulimit -f 16", "demux-pes " + file + " -o " + Out("d.ts"));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "Cannot write file " + Out("d.$0100") + ": File too large\n");
  EXPECT_EQ(FileCount(), 0u);
}

TEST_F(ExtractionCli, ThreeThousandPIDsWithAFileHandleLimitOf256) {
  std::vector<Bytes> packets;
  for (int round = 0; round < 2; ++round)
    for (int pid = 0; pid < 3000; ++pid)
      packets.push_back(test::MakePacket({.pid = static_cast<uint16_t>(pid + 16),
                                          .cc = static_cast<uint8_t>(round),
                                          .payload = Bytes(184, static_cast<uint8_t>(pid + round))}));
  test::TempFile input(test::Slots(packets));
  const auto r = RunLimited("ulimit -n 256", "demux-pes " + Quote(input.Path()) + " -o " + Out("many.ts"));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "Done\n");
  EXPECT_EQ(FileCount(), 3000u);
  for (int pid : {0, 1500, 2999}) {
    char name[16];
    std::snprintf(name, sizeof name, "many.$%04X", pid + 16);
    Bytes expected(184, static_cast<uint8_t>(pid));
    expected.insert(expected.end(), 184, static_cast<uint8_t>(pid + 1));
    EXPECT_EQ(test::ReadFileBytes(Out(name)), expected) << name;
  }
}

TEST_F(ExtractionCli, TheProgressBarIsShownOnATerminalOnly) {
  const std::string args = "demux-pes " + Quote(TestDataPath("two-programs.ts")) + " -o " + Out("t.ts");
  const std::string shown = test::RunCliOnTerminal(args);
  EXPECT_NE(shown.find("\r["), std::string::npos) << shown;
  EXPECT_NE(shown.find("] 100%"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Done"), std::string::npos);
  EXPECT_EQ(shown.find('\n'), shown.size() - 1) << "one line of output, \"Done\"";
  // Standard error to a file: the message alone.
  EXPECT_EQ(RunCli(args).err, "Done\n");
}

}  // namespace
}  // namespace tessaro
