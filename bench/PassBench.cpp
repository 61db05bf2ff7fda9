// The whole-file passes against a plain read of the same 1 GiB stream, in one
// run: five rounds, each command in turn within a round, the median of each.
// find of an absent PID, validate and analyze against dd reading the file;
// extract-es against dd reading the file plus dd writing an output of the
// size extract-es wrote. The established tools doing the same jobs are shown
// beside them (each skipped when it is not installed). With the right to drop
// the page cache (root), the same passes are timed again from a cold cache,
// and checked on the least time of each (see Report).
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "BenchKit.h"

namespace tessaro::bench {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kStreamBytes = 1 * kGiB;
constexpr int kRounds = 5;
constexpr const char* kAbsentPID = "0x1FFE";  // no packet of the repeated fixture has it
constexpr const char* kVideoPID = "0x0100";
constexpr int64_t kMemoryLimitKiB = 64 * 1024;

struct TPass {
  TPass(std::string name_, std::vector<std::string> argv_, std::vector<int> exits_, double limit_ = 0,
        bool writes_ = false)
      : name(std::move(name_)), argv(std::move(argv_)), exits(std::move(exits_)), limit(limit_), writes(writes_) {}
  std::string name;
  std::vector<std::string> argv;
  std::vector<int> exits;  // the exit statuses of a pass that ran to the end
  double limit = 0;        // of the ratio to the floor, page-cached; 0: a peer, shown only
  bool writes = false;     // its floor adds a write of what it wrote
  std::vector<double> times;
  std::vector<double> cpuTimes;
  int64_t written = 0;
  int64_t peakKiB = 0;
  std::string failure;
};

bool Installed(const std::string& program) {
  return RunMeasured({"sh", "-c", "command -v " + program + " >/dev/null"}).ExitedWith(0);
}

// Writes back what is dirty and empties the page cache; false when this
// process may not (it needs root, and a writable /proc/sys).
bool DropCaches() {
  if (!RunMeasured({"sync"}).ExitedWith(0)) return false;
  std::ofstream drop("/proc/sys/vm/drop_caches");
  drop << "1\n";
  drop.flush();
  return static_cast<bool>(drop);
}

// Runs every pass once per round, in turn, each into an emptied folder. Each
// round starts one pass later than the one before, so no pass always runs
// right after the same other one: on a virtual machine, memory that one run
// frees costs the next run that takes it (the host backs it again), and from
// a cold cache that cost is as large as the read itself.
void Rounds(std::vector<TPass>& passes, const fs::path& folder, bool cold) {
  for (int round = 0; round < kRounds; ++round) {
    for (size_t i = 0; i < passes.size(); ++i) {
      TPass& p = passes[(i + static_cast<size_t>(round)) % passes.size()];
      if (!p.failure.empty()) continue;
      EmptyFolder(folder);
      if (cold && !DropCaches()) {
        p.failure = "the page cache could not be dropped";
        continue;
      }
      const TProcessResult r = RunMeasured(p.argv);
      if (!std::any_of(p.exits.begin(), p.exits.end(), [&](int code) { return r.ExitedWith(code); })) {
        p.failure = r.Describe();
        continue;
      }
      p.times.push_back(r.seconds);
      p.cpuTimes.push_back(r.cpuSeconds);
      p.peakKiB = std::max(p.peakKiB, r.maxRssKiB);
      p.written = FolderBytes(folder);
    }
  }
}

std::vector<std::string> WriteCommand(int64_t bytes, const fs::path& folder) {
  return {"dd",
          "if=/dev/zero",
          "of=" + (folder / "floor").string(),
          "bs=1M",
          "count=" + std::to_string(bytes),
          "iflag=count_bytes"};
}

// Page-cached, a pass and dd wait for nothing but the processor, so their
// processor times are what their wall times would be on an idle machine and
// the check uses their medians (a busy machine stretches wall times
// unevenly); the wall-time ratio is shown beside. From a cold cache the
// waits for the disk are the point, and the check uses the least wall time
// of each: on a virtual machine some runs, whichever command they are, find
// the page cache's new pages no longer backed by the host and take two to
// three times as long (seen here in a third of the runs, dd's too), so a
// median of five falls on them as often as not; the medians are shown
// beside.
void Report(TBenchContext& context, std::vector<TPass>& passes, const TPass& read, const fs::path& folder, bool cold) {
  const std::string how = cold ? ", cold cache" : ", page-cached";
  const auto checked = [cold](const std::vector<double>& times) { return cold ? Best(times) : Median(times); };
  const std::string statistic = cold ? "least" : "median";
  const double readWall = checked(read.times);
  const double readCpu = checked(read.cpuTimes);
  context.Note("dd read of " + Bytes(kStreamBytes) + how + ": " + statistic + " " + Secs(readWall) + " wall (" +
               Fixed(static_cast<double>(kStreamBytes) / kMiB / readWall, 0) + " MiB/s), " + Secs(readCpu) +
               " processor, over " + std::to_string(kRounds) + " rounds" +
               (cold ? "; median " + Secs(Median(read.times)) + " wall" : ""));
  for (TPass& p : passes) {
    const std::string target = p.name + " / " + (p.writes ? "(dd read + dd write)" : "dd read") + how;
    if (!p.failure.empty()) {
      if (p.limit > 0)
        context.Fail(target, p.failure);
      else
        context.Note("peer " + p.name + ": " + p.failure);
      continue;
    }
    double wallFloor = readWall;
    double cpuFloor = readCpu;
    double medianFloor = Median(read.times);  // shown beside a cold check
    std::string floorText = "dd read";
    if (p.writes) {
      // The write of what the pass wrote, timed in rounds of its own.
      std::vector<TPass> write{{"dd write", WriteCommand(p.written, folder), {0}, 0}};
      Rounds(write, folder, false);
      if (!write[0].failure.empty()) {
        context.Skip(target, "dd could not write " + Bytes(p.written) + ": " + write[0].failure);
        continue;
      }
      wallFloor += checked(write[0].times);
      cpuFloor += checked(write[0].cpuTimes);
      medianFloor += Median(write[0].times);
      floorText += " + dd write of " + Bytes(p.written);
    }
    const double wallRatio = checked(p.times) / wallFloor;
    const double cpuRatio = checked(p.cpuTimes) / cpuFloor;
    const double ratio = cold ? wallRatio : cpuRatio;
    const double limit = cold ? 1 / 0.95 : p.limit;
    const std::string numbers =
        "ratio " + Fixed(ratio, 2) + (p.limit > 0 ? " (limit " + Fixed(limit, 2) + ")" : "") + "; " +
        (cold ? "of medians " + Fixed(Median(p.times) / medianFloor, 2) + "; processor " + Fixed(cpuRatio, 2)
              : "wall " + Fixed(wallRatio, 2)) +
        "; " + statistic + " " + Secs(checked(p.times)) + " wall, " + Secs(checked(p.cpuTimes)) +
        " processor, against " + floorText + " " + Secs(wallFloor) + " wall, " + Secs(cpuFloor) + " processor; peak " +
        Fixed(static_cast<double>(p.peakKiB) / 1024, 1) + " MiB";
    if (p.limit > 0)
      context.Check(ratio <= limit, target, numbers);
    else
      context.Note("peer " + target + ": " + numbers);
    if (p.limit > 0 && p.writes && !cold)
      context.Check(p.peakKiB < kMemoryLimitKiB, "peak memory of " + p.name,
                    Fixed(static_cast<double>(p.peakKiB) / 1024, 1) + " MiB (limit " +
                        std::to_string(kMemoryLimitKiB / 1024) + " MiB)");
  }
}

void BenchPasses(TBenchContext& context) {
  std::string whyNot;
  const std::string file = context.StreamFile(kStreamBytes, whyNot);
  const std::vector<std::string> names{"find --pid absent", "extract-es", "validate", "analyze"};
  if (file.empty()) {
    for (const std::string& name : names) context.Skip(name + " / dd", whyNot);
    return;
  }
  const fs::path folder = fs::path(file).parent_path() / "passes-out";
  const std::string out = (folder / "out.es").string();
  const std::string& cli = context.CliPath();
  TPass read{"dd", {"dd", "if=" + file, "of=/dev/null", "bs=1M"}, {0}, 0};
  std::vector<TPass> passes{
      {"find --pid absent", {cli, "find", file, "--pid", kAbsentPID}, {1}, 1.1},
      {"extract-es", {cli, "extract-es", file, "--pid", kVideoPID, "-o", out}, {0}, 1.15, true},
      // Exit 1: the repeated fixture has continuity errors where it joins itself.
      {"validate", {cli, "validate", file}, {0, 1}, 1.5},
      {"analyze", {cli, "analyze", file}, {0}, 1.5},
  };
  // The peers, when installed: the same elementary stream, and the analysis.
  if (Installed("ffmpeg"))
    passes.push_back(
        {"ffmpeg -c copy",
         {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", file, "-map", "0:0", "-c", "copy", "-f", "data", out},
         {0},
         0,
         true});
  if (Installed("ts2es")) passes.push_back({"ts2es", {"ts2es", "-pid", kVideoPID, file, out}, {0}, 0, true});
  if (Installed("tsreport")) passes.push_back({"tsreport -b", {"tsreport", "-b", file}, {0}, 0});
  for (const char* peer : {"ffmpeg", "ts2es", "tsreport"})
    if (!Installed(peer)) context.Note("peer " + std::string(peer) + " is not installed: not measured");

  // Warm the page cache, then the rounds, dd in turn with the passes.
  RunMeasured(read.argv);
  std::vector<TPass> all{read};
  all.insert(all.end(), passes.begin(), passes.end());
  Rounds(all, folder, false);
  if (!all[0].failure.empty()) {
    for (const std::string& name : names) context.Skip(name + " / dd", "dd: " + all[0].failure);
    fs::remove_all(folder);
    return;
  }
  std::vector<TPass> measured(all.begin() + 1, all.end());
  Report(context, measured, all[0], folder, false);

  // The same from a cold cache, when this process may drop it.
  if (!DropCaches()) {
    context.Note("cold cache: not measured, this machine does not let the page cache be dropped (needs root)");
    fs::remove_all(folder);
    return;
  }
  std::vector<TPass> cold{read};
  for (const TPass& p : passes)
    if (p.limit > 0) cold.push_back({p.name, p.argv, p.exits, p.limit, p.writes});
  Rounds(cold, folder, true);
  if (!cold[0].failure.empty()) {
    context.Skip("passes from a cold cache", "dd: " + cold[0].failure);
  } else {
    std::vector<TPass> coldPasses(cold.begin() + 1, cold.end());
    Report(context, coldPasses, cold[0], folder, true);
  }
  fs::remove_all(folder);
}

[[maybe_unused]] const bool registered = RegisterBenchmark("passes", BenchPasses);

}  // namespace
}  // namespace tessaro::bench
