// The benchmark kit: a registry of benchmark functions, the run context they
// share (paths, the large stream files made once per run), PASS/FAIL/SKIP
// reporting, timing statistics and a child-process runner that reports wall
// time and peak resident memory.
//
// A new benchmark is one function registered in its own source file:
//
//   void BenchSomething(TBenchContext& context) { ... context.Pass(...); }
//   const bool registered = RegisterBenchmark("something", BenchSomething);
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessaro::bench {

inline constexpr int64_t kMiB = int64_t{1} << 20;
inline constexpr int64_t kGiB = int64_t{1} << 30;

class TBenchContext;
using TBenchFunction = std::function<void(TBenchContext&)>;

struct TBenchmark {
  std::string name;
  TBenchFunction run;
};

// Adds a benchmark; they run sorted by name. Returns true so the call can
// initialise a namespace-scope constant.
bool RegisterBenchmark(const std::string& name, TBenchFunction run);
std::vector<TBenchmark> RegisteredBenchmarks();

// Outcome of a child process run through RunMeasured.
struct TProcessResult {
  bool started = false;   // false: the command could not be run at all
  int exitCode = -1;      // when it exited normally
  int signal = 0;         // when a signal ended it
  double seconds = 0;     // wall time from start to exit
  int64_t maxRssKiB = 0;  // peak resident set of the command alone
  double cpuSeconds = 0;  // processor time of the command, user and system (not waits for a busy machine)
  bool ExitedWith(int code) const { return started && signal == 0 && exitCode == code; }
  std::string Describe() const;
};

class TBenchContext {
 public:
  TBenchContext(std::string cliPath, std::string streamsDir, std::string dataDir, std::string tempDir);
  ~TBenchContext();
  TBenchContext(const TBenchContext&) = delete;
  TBenchContext& operator=(const TBenchContext&) = delete;

  const std::string& CliPath() const { return cliPath_; }
  // Folder of the real broadcast captures; empty when it is absent.
  const std::string& StreamsDir() const { return streamsDir_; }
  const std::string& DataDir() const { return dataDir_; }

  // A stream file of whole 188-byte packets, as close below `bytes` as the
  // packet size allows, made by repeating tests/data/one-program.ts. Written
  // once per run (real blocks, flushed to disk) and deleted at the end of the
  // run. Empty with the reason in `whyNot` when it cannot be made (too little
  // free disk space, fixture missing, write error).
  std::string StreamFile(int64_t bytes, std::string& whyNot);
  void RemoveStreamFiles();

  // Result lines. Every target a benchmark checks ends in exactly one of
  // Pass, Fail or Skip; Note adds an indented detail line.
  void Pass(const std::string& target, const std::string& numbers);
  void Fail(const std::string& target, const std::string& numbers);
  void Skip(const std::string& target, const std::string& reason);
  void Check(bool passed, const std::string& target, const std::string& numbers) {
    passed ? Pass(target, numbers) : Fail(target, numbers);
  }
  void Note(const std::string& text);

  int PassCount() const { return passes_; }
  int FailCount() const { return fails_; }
  int SkipCount() const { return skips_; }

 private:
  bool EnoughDiskSpace(std::string& whyNot);

  std::string cliPath_;
  std::string streamsDir_;
  std::string dataDir_;
  std::string tempDir_;
  std::map<int64_t, std::string> streamFiles_;
  std::optional<std::string> spaceProblem_;
  int passes_ = 0;
  int fails_ = 0;
  int skips_ = 0;
};

// Runs argv[0] (looked up in PATH) with standard output, and standard error
// unless keepStderr, sent to /dev/null. The command is started from a freshly
// started copy of this program, so its peak RSS is its own and not inflated by
// the memory of the benchmark process.
TProcessResult RunMeasured(const std::vector<std::string>& argv, bool keepStderr = false);
// The child side of RunMeasured; main() hands over when asked to.
int ChildProbeMain(int argc, char** argv);
inline constexpr const char* kChildProbeFlag = "--child-probe";

// Seconds taken by body().
template <class Body>
double TimeSeconds(Body&& body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Wall and processor seconds of body(): the processor time is this process's
// (user and system, all threads), which a busy machine does not stretch.
struct TTimed {
  double wall = 0;
  double processor = 0;
};
double ProcessorSeconds();
template <class Body>
TTimed TimeWallAndProcessor(Body&& body) {
  const double processor = ProcessorSeconds();
  const double wall = TimeSeconds(body);
  return {wall, ProcessorSeconds() - processor};
}

// The bytes of the files in folder (not below it); an output folder made empty.
int64_t FolderBytes(const std::filesystem::path& folder);
void EmptyFolder(const std::filesystem::path& folder);

double Median(std::vector<double> values);
double Best(const std::vector<double>& values);
double Worst(const std::vector<double>& values);

// "1.234 ms", "0.412 s", "2.0 GiB" and the like.
std::string Millis(double seconds);
std::string Secs(double seconds);
std::string Bytes(int64_t bytes);
std::string Fixed(double value, int decimals);
std::string BaseName(const std::string& path);

}  // namespace tessaro::bench
