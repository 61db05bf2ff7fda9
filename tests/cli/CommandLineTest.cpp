// The tessaro-cli contract: outputs, messages and exit codes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::RunCli;
using test::TestDataPath;

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(CommandLine, ProbeReportsSlotSizeOrRefuses) {
  auto r = RunCli("probe " + Quote(TestDataPath("slots-204.ts")));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "packet_size=204 start_offset=0 slots=600\n");
  test::TempFile notStream(test::Bytes(5000, 0x47 ^ 0xFF));
  r = RunCli("probe " + Quote(notStream.Path()));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "Not valid transport stream\n");
  EXPECT_EQ(r.out, "");
  test::TempFile empty({});
  EXPECT_EQ(RunCli("probe " + Quote(empty.Path())).exitCode, 2);
  EXPECT_EQ(RunCli("probe /nonexistent.ts").exitCode, 2);
  EXPECT_EQ(RunCli("probe").exitCode, 2);
}

TEST(CommandLine, ListPagesAndChecksItsArguments) {
  const std::string file = Quote(TestDataPath("one-program.ts"));
  auto r = RunCli("list " + file + " --rows 5 --offset 0x178");
  ASSERT_EQ(r.exitCode, 0);
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].substr(0, 18), "0x0000000000000178");
  // A decimal offset off a packet start is re-synchronised to the next sync byte.
  EXPECT_EQ(Lines(RunCli("list " + file + " --rows 1 --offset 377").out)[0].substr(0, 18), "0x0000000000000234");
  EXPECT_EQ(RunCli("list " + file + " --rows 0").exitCode, 2);
  EXPECT_EQ(RunCli("list " + file + " --rows 101").exitCode, 2);
  EXPECT_EQ(RunCli("list " + file + " --offset banana").exitCode, 2);
  EXPECT_EQ(RunCli("list " + file + " --offset 0xFFFFFFFFFF").exitCode, 1);
}

TEST(CommandLine, OutputThatCannotBeWrittenIsAFailure) {
  const auto r = RunCli("list " + Quote(TestDataPath("one-program.ts")) + " --all >/dev/full");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "tessaro-cli: cannot write the output\n");
}

TEST(CommandLine, FindPrintsTheHitOrNotFound) {
  const std::string file = Quote(TestDataPath("two-programs.ts"));
  // The first PAT is the second packet; Find Next PAT from it goes on to the next one.
  auto r = RunCli("find " + file + " --pid 0x0000");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "0x00000000000000BC\n");
  r = RunCli("find " + file + " --next pat --from 0xBC");
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_EQ(r.out.size(), 19u);
  EXPECT_GT(std::stoll(r.out.substr(2), nullptr, 16), 0xBC);
  r = RunCli("find " + file + " --pid 0x1ABC");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "Not found\n");
  r = RunCli("find " + file + " --pid 0X0100");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(RunCli("find " + file + " --next sit").exitCode, 2);
  EXPECT_EQ(RunCli("find " + file).exitCode, 2);
  EXPECT_EQ(RunCli("find " + file + " --pid 0x0000 --next pat").exitCode, 2);
}

// PIDs as people type them (0x and 1 to 4 hex digits, or decimal) and KIND
// words in any case, with the window's messages for the rest.
TEST(CommandLine, PIDsAndKindsAsPeopleTypeThem) {
  const std::string find = "find " + Quote(TestDataPath("two-programs.ts"));
  const std::string hit = RunCli(find + " --pid 0x0100").out;
  for (const char* typed : {"0x100", "256", "0256"}) EXPECT_EQ(RunCli(find + " --pid " + typed).out, hit) << typed;
  for (const auto& [pid, message] :
       std::vector<std::pair<std::string, std::string>>{{"0x1FFFF", "0x1FFFF is invalid PID."},
                                                        {"0x", "0x is invalid PID."},
                                                        {"12a", "PID must be in 0xXXXX format."}})
    EXPECT_EQ(RunCli(find + " --pid " + pid).err, message + "\n");
  EXPECT_EQ(RunCli(find + " --next PMT").out, RunCli(find + " --next pmt").out);
}

// What cannot be read is named for what it is; so is a command that does not exist.
TEST(CommandLine, MessagesNameTheRealProblem) {
  test::TempDir folder;
  ASSERT_EQ(::mkfifo(folder.Path("fifo").c_str(), 0600), 0);
  for (const std::string& path : {folder.Path(""), folder.Path("fifo"), std::string("/dev/null")})
    for (const char* command : {"probe ", "validate ", "version "})
      EXPECT_EQ(RunCli(command + Quote(path)).err, "Not a regular file: " + path + "\n") << command;
  for (const char* command : {"pids ", "version "})
    EXPECT_EQ(RunCli(command + std::string("/nonexistent.ts")).err, "File not found: /nonexistent.ts\n");
  const auto r = RunCli("info x");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err.rfind("Unknown command 'info'\nCommands:\n  probe ", 0), 0u) << r.err;

  // A file this process may not open: root opens any, so the program then runs as nobody.
  const std::string locked = folder.Path("locked.ts");
  std::filesystem::copy_file(TestDataPath("one-program.ts"), locked);
  ::chmod(locked.c_str(), 0);
  const bool root = ::geteuid() == 0;
  if (root && test::RunCommand("command -v setpriv").exitCode != 0) GTEST_SKIP() << "root, and no setpriv";
  const std::string as = root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  EXPECT_EQ(test::RunCommand(as + Quote(TESSARO_CLI_PATH) + " probe " + Quote(locked)).err,
            "Cannot open " + locked + ": Permission denied\n");
}

TEST(CommandLine, TreeRefusesAnOffsetWithoutAPacket) {
  const std::string file = Quote(TestDataPath("one-program.ts"));
  const auto r = RunCli("tree " + file + " --offset 5");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "No packet starts at offset 5\n");
  EXPECT_EQ(RunCli("tree " + file).exitCode, 2);
}

TEST(CommandLine, PidsListsBothSeenLists) {
  const auto r = RunCli("pids " + Quote(TestDataPath("two-programs.ts")));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "Seen PIDs:\n0x0000\n0x0011\n0x0100\n0x0101\n0x0102\n0x0103\n0x1000\n0x1001\n"
            "Seen Programs:\n# 1\n# 2\n");
}

// --positions adds each node's spans after a TAB and changes nothing else.
TEST(CommandLine, TreePositionsFollowEachNodeAfterATab) {
  const std::string tree = "tree " + Quote(TestDataPath("one-program.ts")) + " --offset 0x234";
  const auto plain = RunCli(tree);
  const auto placed = RunCli(tree + " --positions");
  ASSERT_EQ(placed.exitCode, 0);
  const std::vector<std::string> plainLines = Lines(plain.out);
  const std::vector<std::string> placedLines = Lines(placed.out);
  ASSERT_EQ(plainLines.size(), placedLines.size());
  const std::regex spans(R"(0x[0-9A-F]{16}\.[0-7]\+[0-9]+(,0x[0-9A-F]{16}\.[0-7]\+[0-9]+)*)");
  for (size_t i = 0; i < placedLines.size(); ++i) {
    const size_t tab = placedLines[i].find('\t');
    EXPECT_EQ(placedLines[i].substr(0, tab), plainLines[i]);
    if (tab != std::string::npos) {
      EXPECT_TRUE(std::regex_match(placedLines[i].substr(tab + 1), spans)) << placedLines[i];
    }
  }
  // The PID of the packet at 0x234: the low 5 bits of byte 0x235 and all of byte 0x236.
  EXPECT_NE(placed.out.find(" : 0x0100 (13 bits)\t0x0000000000000235.3+13\n"), std::string::npos) << placed.out;
}

TEST(CommandLine, HexPrintsTheViewsLinesAndNothingPastTheEnd) {
  const std::string file = Quote(TestDataPath("one-program.ts"));
  auto r = RunCli("hex " + file + " --offset 188 --lines 2");
  ASSERT_EQ(r.exitCode, 0);
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 21 + 39), "0x00000000000000B0   FF FF FF FF FF FF FF FF FF FF FF FF 47 ");
  EXPECT_EQ(RunCli("hex " + file).exitCode, 2);
  r = RunCli("hex " + file + " --offset " + std::to_string(613 * 188));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace tessaro
