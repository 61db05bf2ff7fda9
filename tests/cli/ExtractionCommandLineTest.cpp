// The extraction commands of tessaro-cli: the window's results and messages,
// exit statuses, --force, the progress bar only on a terminal, the process
// limits a real run meets (file size, file handles), and the faults that must
// never cost the user a file: an output that is the input, a full disk under
// --force, and a run ended by a signal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "browser/ExtractionCommands.h"
#include "cli/TerminalRun.h"
#include "core/SafeReplace.h"
#include "support/SmallTmpfs.h"
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
  r = RunCli("extract-program " + Quote(TestDataPath("two-programs.ts")) + " --program 2 -o " + Out("p.ts"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(RunCli("demux-es " + file + " -o " + Out("d.ts")).exitCode, 0);
  EXPECT_TRUE(fs::exists(Out("d.$0100")));
  EXPECT_FALSE(fs::exists(Out("d.ts")));
  EXPECT_EQ(RunCli("extract-pids --help").exitCode, 0);
}

TEST_F(ExtractionCli, BadArgumentsAndExistingOutputsAreRefused) {
  const std::string file = Quote(TestDataPath("two-programs.ts"));
  auto r = RunCli("extract-pids " + file + " --pid 0x0100 --pid 0x2000 -o " + Out("x"));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "0x2000 is out of range.\n");
  r = RunCli("extract-program " + file + " --program 7x -o " + Out("x"));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "7x is invalid program number.\n");
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
}

TEST_F(ExtractionCli, TheInputIsNeverAnOutputByAnyName) {
  const std::string input = Out("input.ts");
  fs::copy_file(TestDataPath("one-program.ts"), input);
  const Bytes original = test::ReadFileBytes(input);
  fs::create_hard_link(input, Out("hard.ts"));
  fs::create_symlink(input, Out("soft.ts"));
  for (const char* name : {"input.ts", "hard.ts", "soft.ts"}) {
    for (const char* command : {"extract-pids", "extract-es"}) {
      const auto r = RunCli(std::string(command) + " " + Quote(input) + " --pid 0x0100 --force -o " + Out(name));
      EXPECT_EQ(r.exitCode, 2) << command << " -o " << name;
      EXPECT_EQ(r.err, std::string(kOutputIsInput) + "\n");
    }
    const auto r = RunCli("extract-program " + Quote(Out(name)) + " --program 1 --force -o " + Quote(input));
    EXPECT_EQ(r.err, std::string(kOutputIsInput) + "\n");
  }
  // A per-PID name of the demultiplexer that is the input: nothing is written.
  fs::rename(input, Out("d.$0100"));
  const auto r = RunCli("demux-pes " + Quote(Out("d.$0100")) + " --force -o " + Out("d.ts"));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, std::string(kOutputIsInput) + "\n");
  EXPECT_EQ(test::ReadFileBytes(Out("d.$0100")), original);
  EXPECT_EQ(FileCount(), 3u) << "the input, its hard link and the dangling symbolic link";
}

TEST_F(ExtractionCli, APIDWithoutPacketsIsNoResultAndLeavesNoFile) {
  const std::string file = TestDataPath("one-program.ts");
  auto r = RunCli("extract-pes " + Quote(file) + " --pid 0x0200 -o " + Out("x.ts"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "No packet of PID 0x0200 in " + file + "\n");
  r = RunCli("extract-pids " + Quote(file) + " --pid 0x0200 --pid 0x0300 -o " + Out("x.ts"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "No packet of PID 0x0200 in " + file + "\nNo packet of PID 0x0300 in " + file + "\n");
  EXPECT_EQ(FileCount(), 0u);
  // Nothing found replaces nothing.
  test::TempFile existing({1, 2, 3});
  r = RunCli("extract-es " + Quote(file) + " --pid 0x0200 --force -o " + Quote(existing.Path()));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(test::ReadFileBytes(existing.Path()), (Bytes{1, 2, 3}));
  // One PID of two is enough for a result.
  r = RunCli("extract-pids " + Quote(file) + " --pid 0x0200 --pid 0x0101 -o " + Out("y.ts"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_GT(fs::file_size(Out("y.ts")), 0u);
}

TEST_F(ExtractionCli, DemultiplexingRefusesExistingPerPIDFilesWithoutForce) {
  const std::string file = Quote(TestDataPath("one-program.ts"));
  test::TempFile stale({7});
  fs::copy_file(stale.Path(), Out("d.$0101"));
  fs::copy_file(stale.Path(), Out("d.$2000"));  // not a PID's name
  auto r = RunCli("demux-es " + file + " -o " + Out("d.ts"));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "The file " + Out("d.$0101") + " already exists; --force replaces it.\n");
  EXPECT_EQ(FileCount(), 2u);
  r = RunCli("demux-es " + file + " --force -o " + Out("d.ts"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_GT(fs::file_size(Out("d.$0101")), 1u);
  // A folder is not a file to write.
  r = RunCli("extract-pids " + file + " --pid 0x0100 --force -o " + Quote(dir_.Path("")));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, dir_.Path("") + " is a folder\n");
}

TEST_F(ExtractionCli, AFullDiskUnderForceKeepsTheOldFile) {
  test::SmallTmpfs disk(256 * 1024);
  if (!disk.Ok()) GTEST_SKIP() << disk.Why();
  const std::string old = disk.Path("old.ts");
  const Bytes oldBytes(100000, 0x5A);
  fs::copy_file(test::TempFile(oldBytes).Path(), old);
  ASSERT_EQ(test::ReadFileBytes(old), oldBytes);
  ASSERT_TRUE(disk.FillUp());
  const std::string file = Quote(TestDataPath("one-program.ts"));
  auto r = RunCli("extract-pids " + file + " --pid 0x0100 --force -o " + Quote(old));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "Cannot write file " + old + ": No space left on device\n");
  EXPECT_EQ(test::ReadFileBytes(old), oldBytes);
  // The demultiplexer's files the same way: the old one intact, no new one.
  fs::rename(old, disk.Path("d.$0100"));
  r = RunCli("demux-pes " + file + " --force -o " + Quote(disk.Path("d.ts")));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(test::ReadFileBytes(disk.Path("d.$0100")), oldBytes);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(disk.Path(""))) left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"d.$0100", "filler"}));
}

// Runs tessaro-cli, and once its unfinished output shows up, stops it, sends
// the signal and lets it go on: the signal always arrives in the middle of
// the run. The exit status; standard error in err.
int RunAndSignal(const std::vector<std::string>& arguments, const test::TempDir& watched, int signal,
                 std::string& err) {
  const std::string errFile = watched.Path("").substr(0, watched.Path("").size() - 1) + ".err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv{const_cast<char*>(TESSARO_CLI_PATH)};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = -1;
  if (posix_spawn(&child, TESSARO_CLI_PATH, &actions, nullptr, argv.data(), environ) != 0) return -1;
  posix_spawn_file_actions_destroy(&actions);
  const auto unfinished = [&] {
    for (const std::string& name : watched.Names())
      if (name.size() > 5 && name.front() == '.' && name.ends_with(".part")) return true;
    return false;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int status = 0;
  while (!unfinished() && std::chrono::steady_clock::now() < deadline && waitpid(child, &status, WNOHANG) == 0)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  ::kill(child, SIGSTOP);
  ::kill(child, signal);
  ::kill(child, SIGCONT);
  waitpid(child, &status, 0);
  const Bytes written = test::ReadFileBytes(errFile);
  err.assign(written.begin(), written.end());
  std::filesystem::remove(errFile);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(ExtractionCli, EverySignalThatEndsARunLeavesTheOldFilesAndNoOther) {
  // 48 MiB: long enough that the run is still reading when it is stopped.
  const Bytes one = test::ReadFileBytes(TestDataPath("one-program.ts"));
  Bytes big;
  while (big.size() < 48u * 1024 * 1024) big.insert(big.end(), one.begin(), one.end());
  test::TempFile input(big);
  const std::string cancelled = std::string(kExtractionCancelled) + "\n";
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    test::TempDir out;
    const std::string old = out.Path("old.ts");
    fs::copy_file(TestDataPath("two-programs.ts"), old);
    std::string err;
    EXPECT_EQ(RunAndSignal({"extract-pids", input.Path(), "--pid", "0x0100", "--force", "-o", old}, out, signal, err),
              2)
        << strsignal(signal);
    EXPECT_EQ(err, cancelled) << strsignal(signal);
    EXPECT_EQ(test::ReadFileBytes(old), test::ReadFileBytes(TestDataPath("two-programs.ts")));
    EXPECT_EQ(out.Names(), std::vector<std::string>{"old.ts"});
  }
  test::TempDir out;
  fs::copy_file(TestDataPath("two-programs.ts"), out.Path("d.$0100"));
  std::string err;
  EXPECT_EQ(RunAndSignal({"demux-pes", input.Path(), "--force", "-o", out.Path("d.ts")}, out, SIGHUP, err), 2);
  EXPECT_EQ(err, cancelled);
  EXPECT_EQ(out.Names(), std::vector<std::string>{"d.$0100"});
  EXPECT_EQ(test::ReadFileBytes(out.Path("d.$0100")), test::ReadFileBytes(TestDataPath("two-programs.ts")));
}

}  // namespace
}  // namespace tessaro
