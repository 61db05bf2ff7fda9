// Extraction on a 1 GiB page-cached stream, each command run as a whole
// tessaro-cli process. The floor is the cost of moving the bytes at all: dd
// reading the input plus dd writing an output of the input's size to a file
// on the same disk, timed in turn with the command (each command's ratio to the read plus a write of just the
// bytes it wrote is shown beside it). Targets: the single-PID and single-program commands
// at most 1.2 times the floor, the demultiplexers at most 1.5 times; extract-es
// at most 0.8 times the faster of ts2es (tstools) and ffmpeg doing the same
// job; peak memory of every extraction below 64 MiB.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchKit.h"

namespace tessaro::bench {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kStreamBytes = 1 * kGiB;
constexpr double kSingleLimit = 1.2;
constexpr double kDemuxLimit = 1.5;
constexpr double kToolsLimit = 0.8;
constexpr int64_t kMemoryLimitKiB = 64 * 1024;
constexpr int kRounds = 5;

// The video PID of the repeated fixture, and its stream index for ffmpeg.
constexpr const char* kVideoPID = "0x0100";

struct TCommand {
  std::string name;
  std::vector<std::string> args;  // after the input file
  double limit;
};

// Best of kRounds of a command writing into folder; the bytes it wrote; its peak memory.
struct TTimed {
  double seconds = 0;
  int64_t written = 0;
  int64_t peakKiB = 0;
  std::string failure;
};

std::vector<std::string> WriteCommand(int64_t bytes, const fs::path& folder) {
  return {"dd",
          "if=/dev/zero",
          "of=" + (folder / "floor").string(),
          "bs=1M",
          "count=" + std::to_string(bytes),
          "iflag=count_bytes"};
}

// Best of kRounds of each command, run in turn within every round into an
// emptied folder, so that each sees the same machine (the writeback of the
// rounds before, the page cache) as the others.
std::vector<TTimed> TimeInTurn(const std::vector<std::vector<std::string>>& commands, const fs::path& folder) {
  std::vector<TTimed> best(commands.size());
  std::vector<std::vector<double>> times(commands.size());
  for (int round = 0; round < kRounds; ++round) {
    for (size_t i = 0; i < commands.size(); ++i) {
      if (!best[i].failure.empty()) continue;
      EmptyFolder(folder);
      const std::vector<std::string>& argv = commands[i];
      const TProcessResult r = RunMeasured(argv);
      if (!r.ExitedWith(0)) {
        best[i].failure = argv[0] + " " + (argv.size() > 1 ? argv[1] : "") + ": " + r.Describe();
        continue;
      }
      times[i].push_back(r.seconds);
      best[i].peakKiB = std::max(best[i].peakKiB, r.maxRssKiB);
      best[i].written = FolderBytes(folder);
    }
  }
  for (size_t i = 0; i < commands.size(); ++i)
    if (best[i].failure.empty()) best[i].seconds = Best(times[i]);
  return best;
}

TTimed Time(const std::vector<std::string>& argv, const fs::path& folder) { return TimeInTurn({argv}, folder)[0]; }

double WriteFloor(int64_t bytes, const fs::path& folder) {
  const TTimed d = Time(WriteCommand(bytes, folder), folder);
  return d.failure.empty() ? d.seconds : -1;
}

void BenchExtraction(TBenchContext& context) {
  const std::vector<TCommand> commands{
      {"extract-pes --pid " + std::string(kVideoPID), {"extract-pes", "--pid", kVideoPID}, kSingleLimit},
      {"extract-es --pid " + std::string(kVideoPID), {"extract-es", "--pid", kVideoPID}, kSingleLimit},
      {"extract-pids --pid " + std::string(kVideoPID), {"extract-pids", "--pid", kVideoPID}, kSingleLimit},
      {"extract-program --program 1", {"extract-program", "--program", "1"}, kSingleLimit},
      {"demux-pes", {"demux-pes"}, kDemuxLimit},
      {"demux-es", {"demux-es"}, kDemuxLimit},
  };
  std::string whyNot;
  const std::string file = context.StreamFile(kStreamBytes, whyNot);
  if (file.empty()) {
    for (const TCommand& c : commands) context.Skip(c.name + " vs floor", whyNot);
    return;
  }
  const fs::path folder = fs::path(file).parent_path() / "extraction-out";
  // Warm the page cache.
  const TTimed read = Time({"dd", "if=" + file, "of=/dev/null", "bs=1M"}, folder);
  if (!read.failure.empty()) {
    for (const TCommand& c : commands) context.Skip(c.name + " vs floor", "dd: " + read.failure);
    return;
  }
  int64_t peakKiB = 0;
  std::string peakOf;
  TTimed es;
  for (const TCommand& c : commands) {
    const std::string target = c.name + " vs floor";
    std::vector<std::string> argv{context.CliPath(), c.args[0], file};
    argv.insert(argv.end(), c.args.begin() + 1, c.args.end());
    argv.insert(argv.end(), {"-o", (folder / "out.ts").string()});
    // The floor's write is timed in turn with the command.
    const std::vector<TTimed> timed = TimeInTurn({WriteCommand(kStreamBytes, folder), argv}, folder);
    const TTimed& t = timed[1];
    if (!timed[0].failure.empty()) {
      context.Skip(target, "dd could not write the floor's file: " + timed[0].failure);
      continue;
    }
    if (!t.failure.empty()) {
      context.Fail(target, t.failure);
      continue;
    }
    const double floor = read.seconds + timed[0].seconds;
    const double ratio = t.seconds / floor;
    const double written = WriteFloor(t.written, folder);
    const std::string own = written > 0 ? "; to read + write of its own " + Bytes(t.written) + " (" +
                                              Secs(read.seconds + written) +
                                              "): " + Fixed(t.seconds / (read.seconds + written), 2)
                                        : "";
    context.Check(ratio <= c.limit, target,
                  "ratio " + Fixed(ratio, 2) + " (limit " + Fixed(c.limit, 1) + "); " + Secs(t.seconds) +
                      " against dd read " + Secs(read.seconds) + " + write " + Secs(timed[0].seconds) + ", " +
                      Fixed(static_cast<double>(kStreamBytes) / kMiB / t.seconds, 0) + " MiB/s" + own);
    if (t.peakKiB > peakKiB) {
      peakKiB = t.peakKiB;
      peakOf = c.name;
    }
    if (c.args[0] == "extract-es") es = t;
  }
  if (!peakOf.empty())
    context.Check(peakKiB < kMemoryLimitKiB, "peak memory of the extractions on 1 GiB",
                  "largest " + Fixed(static_cast<double>(peakKiB) / 1024, 1) + " MiB (" + peakOf + "), limit " +
                      std::to_string(kMemoryLimitKiB / 1024) + " MiB");

  // The established tools on the same job: the video PID's elementary stream into a file.
  const std::string target = "extract-es vs the faster of ts2es and ffmpeg";
  if (es.seconds <= 0) {
    context.Skip(target, "extract-es did not run");
    fs::remove_all(folder);
    return;
  }
  const std::string out = (folder / "tool.es").string();
  const TTimed ts2es = Time({"ts2es", "-pid", kVideoPID, file, out}, folder);
  const TTimed ffmpeg = Time(
      {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", file, "-map", "0:0", "-c", "copy", "-f", "data", out}, folder);
  std::vector<std::pair<std::string, double>> tools;
  if (ts2es.failure.empty()) tools.emplace_back("ts2es", ts2es.seconds);
  if (ffmpeg.failure.empty()) tools.emplace_back("ffmpeg", ffmpeg.seconds);
  fs::remove_all(folder);
  if (tools.empty()) {
    context.Skip(target, "neither ts2es nor ffmpeg could be run (not installed?)");
    return;
  }
  const auto fastest =
      *std::min_element(tools.begin(), tools.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  std::string numbers;
  for (const auto& [name, seconds] : tools) numbers += ", " + name + " " + Secs(seconds);
  const double ratio = es.seconds / fastest.second;
  context.Check(ratio <= kToolsLimit, target,
                "ratio " + Fixed(ratio, 2) + " to " + fastest.first + " (limit " + Fixed(kToolsLimit, 1) +
                    "); extract-es " + Secs(es.seconds) + numbers);
  if (!ts2es.failure.empty()) context.Note("ts2es: " + ts2es.failure);
  if (!ffmpeg.failure.empty()) context.Note("ffmpeg: " + ffmpeg.failure);
}

[[maybe_unused]] const bool registered = RegisterBenchmark("extraction", BenchExtraction);

}  // namespace
}  // namespace tessaro::bench
