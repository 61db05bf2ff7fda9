// Benchmarks on the large stream files made for the run: how opening scales
// with file size, how a PID search compares with reading the file, and that
// memory stays flat as files grow.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "BenchKit.h"
#include "browser/StreamBrowser.h"
#include "core/PacketScanner.h"

namespace tessaro::bench {
namespace {

constexpr int64_t kSmall = 2 * kMiB;
constexpr int64_t kLarge = 2 * kGiB;
constexpr int64_t kSearched = 1 * kGiB;
// No packet of the repeated fixture carries this PID, so the search reads the whole file.
constexpr uint16_t kAbsentPID = 0x1FFE;
constexpr const char* kAbsentPIDText = "0x1FFE";

constexpr double kOpenRatioLimit = 1.5;
constexpr double kFindRatioLimit = 2.0;
// Past the size where whole-file passes map the file, the mapped window (a
// fixed number of the file's cached pages) is resident too; files of any
// larger size add nothing.
constexpr int64_t kMemoryGrowthLimitKiB = 2048 + TPacketScanner::kMapWindow / 1024;

std::string MiBText(int64_t kib) { return Fixed(static_cast<double>(kib) / 1024, 2) + " MiB"; }

// ---- Opening: LoadFile on 2 GiB at most 1.5 times LoadFile on 2 MiB ----

void BenchFileOpen(TBenchContext& context) {
  const std::string target = "open 2 GiB vs 2 MiB (LoadFile)";
  std::string whyNot;
  const std::string small = context.StreamFile(kSmall, whyNot);
  const std::string large = small.empty() ? "" : context.StreamFile(kLarge, whyNot);
  if (small.empty() || large.empty()) {
    context.Skip(target, whyNot);
    return;
  }
  // Alternating opens, each with a new browser (its construction is not
  // timed); the first round only warms up.
  constexpr int kRounds = 21;
  std::vector<double> smallTimes;
  std::vector<double> largeTimes;
  bool opened = true;
  for (int round = 0; round <= kRounds; ++round) {
    for (const std::string* path : {&small, &large}) {
      TStreamBrowser browser;
      browser.SetVisibleRows(TStreamBrowser::kPageSlots);
      bool ok = false;
      const double seconds = TimeSeconds([&] { ok = browser.LoadFile(*path); });
      opened = opened && ok;
      if (round > 0) (path == &small ? smallTimes : largeTimes).push_back(seconds);
    }
  }
  if (!opened) {
    context.Fail(target, "LoadFile refused one of the files");
    return;
  }
  const double ratio = Median(largeTimes) / Median(smallTimes);
  context.Check(ratio <= kOpenRatioLimit, target,
                "ratio " + Fixed(ratio, 2) + " (limit " + Fixed(kOpenRatioLimit, 1) + "); median 2 GiB " +
                    Millis(Median(largeTimes)) + ", 2 MiB " + Millis(Median(smallTimes)) + " over " +
                    std::to_string(kRounds) + " opens each");
}

// ---- Searching: find --pid over 1 GiB at most 2 times dd of the file ----

void BenchFindPID(TBenchContext& context) {
  const std::string target = "find --pid absent, 1 GiB page-cached, vs dd bs=1M";
  std::string whyNot;
  const std::string file = context.StreamFile(kSearched, whyNot);
  if (file.empty()) {
    context.Skip(target, whyNot);
    return;
  }
  const std::vector<std::string> dd{"dd", "if=" + file, "of=/dev/null", "bs=1M"};
  const std::vector<std::string> find{context.CliPath(), "find", file, "--pid", kAbsentPIDText};

  // Warm the page cache and check the tools run at all.
  const TProcessResult warm = RunMeasured(dd);
  if (!warm.ExitedWith(0)) {
    context.Skip(target, "dd: " + warm.Describe());
    return;
  }
  TStreamBrowser browser;
  if (!browser.LoadFile(file)) {
    context.Fail(target, "LoadFile refused " + file);
    return;
  }

  // Best of three for each, the three kinds interleaved so they see the same machine.
  std::vector<double> ddTimes;
  std::vector<double> cliTimes;
  std::vector<double> scanTimes;
  TProcessResult cliResult;
  bool scanFound = false;
  for (int round = 0; round < 3; ++round) {
    const TProcessResult d = RunMeasured(dd);
    if (!d.ExitedWith(0)) {
      context.Fail(target, "dd: " + d.Describe());
      return;
    }
    ddTimes.push_back(d.seconds);
    cliResult = RunMeasured(find, true);
    cliTimes.push_back(cliResult.seconds);
    int64_t found = -1;
    scanTimes.push_back(
        TimeSeconds([&] { scanFound = browser.SearchPIDFromPos(kAbsentPID, browser.StartOffset(), found); }));
  }
  // "Not found" is exit status 1; anything else means the search did not run to the end.
  if (!cliResult.ExitedWith(1) || scanFound) {
    context.Fail(target, "the search did not scan the whole file: tessaro-cli " + cliResult.Describe() +
                             (scanFound ? ", SearchPIDFromPos found the PID" : ""));
    return;
  }
  const double ddBest = Best(ddTimes);
  const double cliRatio = Best(cliTimes) / ddBest;
  const double scanRatio = Best(scanTimes) / ddBest;
  const double mbps = static_cast<double>(browser.FileSize()) / kMiB;
  context.Check(cliRatio <= kFindRatioLimit, target,
                "tessaro-cli find / dd = " + Fixed(cliRatio, 2) + " (limit " + Fixed(kFindRatioLimit, 1) +
                    "); in-process SearchPIDFromPos / dd = " + Fixed(scanRatio, 2));
  context.Note("best of 3: dd " + Secs(ddBest) + " (" + Fixed(mbps / ddBest, 0) + " MiB/s), tessaro-cli find " +
               Secs(Best(cliTimes)) + ", SearchPIDFromPos " + Secs(Best(scanTimes)) + " (" +
               Fixed(mbps / Best(scanTimes), 0) + " MiB/s)");
}

// ---- Memory: peak RSS of list --all and find does not grow with file size ----

void MeasureCommandMemory(TBenchContext& context, const std::string& label, const std::vector<std::string>& args,
                          int expectedExit, const std::vector<std::pair<std::string, std::string>>& files) {
  const std::string target = "peak RSS of tessaro-cli " + label;
  std::vector<int64_t> peaks;
  std::string numbers;
  for (const auto& [name, path] : files) {
    std::vector<std::string> argv{context.CliPath(), args[0], path};
    argv.insert(argv.end(), args.begin() + 1, args.end());
    const TProcessResult r = RunMeasured(argv, true);
    if (!r.ExitedWith(expectedExit)) {
      context.Fail(target, name + " file: " + r.Describe() + ", expected exit status " + std::to_string(expectedExit));
      return;
    }
    peaks.push_back(r.maxRssKiB);
    numbers += (numbers.empty() ? "" : ", ") + name + " file " + MiBText(r.maxRssKiB) + " (" + Secs(r.seconds) + ")";
  }
  int64_t growth = 0;
  for (size_t i = 1; i < peaks.size(); ++i) growth = std::max(growth, peaks[i] - peaks[0]);
  context.Check(growth <= kMemoryGrowthLimitKiB, target,
                numbers + "; growth " + std::to_string(growth) + " KiB (limit " +
                    std::to_string(kMemoryGrowthLimitKiB) + " KiB, of which " +
                    std::to_string(TPacketScanner::kMapWindow / 1024) + " KiB for the mapped window)");
}

void BenchPeakMemory(TBenchContext& context) {
  const std::string listLabel = "list --all > /dev/null";
  const std::string findLabel = "find --pid " + std::string(kAbsentPIDText);
  std::string whyNot;
  std::vector<std::pair<std::string, std::string>> files;
  for (auto [name, bytes] : {std::pair{"2 MiB", kSmall}, {"1 GiB", kSearched}, {"2 GiB", kLarge}}) {
    const std::string path = context.StreamFile(bytes, whyNot);
    if (path.empty()) break;
    files.emplace_back(name, path);
  }
  const TProcessResult floor = RunMeasured({"true"});
  if (files.size() < 3 || !floor.ExitedWith(0)) {
    const std::string reason = files.size() < 3 ? whyNot : "cannot run child processes: " + floor.Describe();
    context.Skip("peak RSS of tessaro-cli " + listLabel, reason);
    context.Skip("peak RSS of tessaro-cli " + findLabel, reason);
    return;
  }
  context.Note("peak RSS of `true` started the same way: " + MiBText(floor.maxRssKiB) + " (the floor of this method)");
  MeasureCommandMemory(context, listLabel, {"list", "--all"}, 0, files);
  MeasureCommandMemory(context, findLabel, {"find", "--pid", kAbsentPIDText}, 1, files);
}

[[maybe_unused]] const bool registeredOpen = RegisterBenchmark("file-open", BenchFileOpen);
[[maybe_unused]] const bool registeredFind = RegisterBenchmark("find-pid", BenchFindPID);
[[maybe_unused]] const bool registeredMemory = RegisterBenchmark("peak-memory", BenchPeakMemory);

}  // namespace
}  // namespace tessaro::bench
